// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/sessionlog.h"

#include <QObject>

#include <functional>

class QLabel;
class QPushButton;
class QWidget;

namespace varnix {

class Desktop;
class PageHost;

// The window's control of the session log: "Lo&g…" asks for a file and
// starts the log, pressed again it stops it; beside it, the file's name
// while a log runs. A log that fails is told once, after the action that
// was running has finished, and the session goes on without it.
class LogControl : public QObject
{
    Q_OBJECT
public:
    // `device` names the device the log is about, for the file name it
    // proposes ("ttyUSB0", "virtual-board").
    LogControl(QWidget* window, PageHost& host, Desktop& desktop, script::SessionLog& log,
               std::function<QString()> device, QObject* parent = nullptr);

    QWidget* widget() const { return m_widget; }
    // The file the dialog proposes: varnix-<device>-<yyyymmdd-hhmmss>.log in
    // the home folder.
    QString proposedPath() const;

    void cmdLog_Click();

private:
    void showRunning();

    QWidget* m_window;
    PageHost& m_host;
    Desktop& m_desktop;
    script::SessionLog& m_log;
    std::function<QString()> m_device;
    QWidget* m_widget;
    QPushButton* m_cmdLog;
    QLabel* m_lblLog;
};

} // namespace varnix

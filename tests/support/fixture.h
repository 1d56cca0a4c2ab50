// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/window/mainwindow.h"
#include "widgets/desktop.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/serialport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QButtonGroup;
class QTabWidget;
class QWidget;

namespace varnix {
class LineField;
class TextArea;
}

namespace varnix::test {

struct Message {
    QString text;
    QString title;
    QStringList buttons;
};

// Records message boxes, beeps and the clipboard instead of showing them.
class RecordingDesktop : public Desktop
{
public:
    void message(QWidget* parent, const QString& text, const QString& title,
                 const QStringList& buttons) override;
    void beep() override { ++beeps; }
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString& text) override { clipboard = text; }
    // Answers a save dialog at once with `savePath` (empty: cancelled) and
    // keeps the path it proposed.
    QString saveFileName(QWidget*, const QString&, const QString& proposed, const QString&) override
    {
        proposedPaths << proposed;
        return savePath;
    }

    // Answers an open dialog at once with `openPath`.
    QString openFileName(QWidget*, const QString&, const QString&) override { return openPath; }
    // Answers a question with `answer`, after running `whileAsked`.
    bool question(QWidget*, const QString& text, const QString&) override
    {
        questions << text;
        if (whileAsked)
            whileAsked();
        return answer;
    }

    QStringList texts() const;

    QList<Message> messages;
    int beeps = 0;
    QString clipboard;
    QString savePath;
    QStringList proposedPaths;
    QString openPath;
    bool answer = true;
    QStringList questions;
    std::function<void()> whileAsked;
    // Runs while a message box would be open.
    std::function<void(const Message&)> onMessage;
};

// A port in memory, for logic that does not need a device.
class FakePort : public link::SerialPort
{
    Q_OBJECT
public:
    bool isOpen() const override { return m_open; }
    bool open() override;
    bool close() override;
    void setPortNumber(int number) override { portNumberSet = number; }
    int portNumber() const override { return portNumberSet; }
    void setSettings(const QString& text) override { settingsSet = text; }
    QString settings() const override { return settingsSet; }
    bool write(QChar character) override;
    QString readAll() override;

    void loseDevice(const QString& reason);

    bool failOpen = false;
    // Close reports a failure, though the port ends up closed.
    bool failClose = false;
    int failWriteAt = -1;  // index of the write that fails, -1 for none
    int portNumberSet = 0;
    QString settingsSet;
    QString written;
    QString incoming;
    int opens = 0;

private:
    bool m_open = false;
    bool m_lastWords = false;
};

// Records where a transmission waits instead of waiting.
class RecordingPause : public link::Pause
{
public:
    struct Wait {
        int position;  // characters written before the wait
        int milliseconds;
    };
    void wait(int milliseconds) override;

    std::function<int()> position;
    std::function<void()> duringWait;
    QList<Wait> waits;
};

// What the fixtures share: the window, and its widgets found by name.
class WindowFixture
{
public:
    Main& main() { return *window; }
    template <typename T>
    T* find(const QString& name) const
    {
        return window->findChild<T*>(name);
    }
    // Clicks a named button as the user would.
    void click(const QString& buttonName);
    // Sets a one-line field of the window as an action would.
    void setField(const QString& name, const QString& text);
    LineField* txmText() const;
    TextArea* rcvText() const;
    QTabWidget* tabs() const;
    QWidget* page(int index) const;
    // The group the six options on the tab control form.
    QButtonGroup* pageOptions() const;

    std::unique_ptr<Main> window;
};

// The window on a fake port, a recording desktop and a recording pause.
class Fixture : public WindowFixture
{
public:
    Fixture();
    ~Fixture();

    // Opens the fake port through the window's Open button.
    void openPort();

    RecordingDesktop desktop;
    link::PortMap ports;
    FakePort port;
    RecordingPause pause;
};

} // namespace varnix::test

#include "link/core/qtserialport.h"
#include "support/pty.h"

namespace varnix::test {

// The window on the program's real serial port class, whose port 1 is the
// slave of a pseudo-terminal, and on the program's real pause.
class PtyFixture : public WindowFixture
{
public:
    PtyFixture();
    ~PtyFixture();

    Pty pty;
    RecordingDesktop desktop;
    link::PortMap ports;
    link::QtSerialPort port{ports};
    link::EventLoopPause pause;
};

} // namespace varnix::test

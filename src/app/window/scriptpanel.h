// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "script/runner.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QGroupBox;
class QPushButton;
class QWidget;

namespace varnix {

class Desktop;
class InputHold;
class PageHost;
class PortPanel;
class Sender;
class Terminal;

namespace board {
class BoardShadow;
}
namespace link {
class Connection;
class Pause;
}
namespace script {
class EventLoopClock;
class Recorder;
}

// The window's script controls: record what is sent and save it as a
// script, run a script after showing what it will draw, stop a run, and
// compare the board's display memory with what it should be showing.
class ScriptPanel : public QObject
{
    Q_OBJECT
public:
    struct Parts {
        PageHost& host;
        // The file dialogs and the question before a run.
        Desktop& desktop;
        Sender& sender;
        link::Connection& connection;
        link::Pause& pause;
        Terminal& terminal;
        PortPanel& portPanel;
        board::BoardShadow& shadow;
        QWidget* window;
    };

    explicit ScriptPanel(const Parts& parts, QObject* parent = nullptr);
    ~ScriptPanel() override;

    QGroupBox* group() const { return m_group; }

    // What the display view shows over what the board should be showing:
    // while a run is asked about and goes on, what the script will draw; after
    // a comparison, what the board showed. Nothing otherwise.
    std::optional<board::Display> overDisplay() const;
    // The window's view has changed (a frame sent, a page or field changed):
    // a comparison shown is out of date.
    void dropComparison();

    bool running() const;
    void stop();

    void cmdRecord_Click(bool on);
    void cmdSaveScript_Click();
    void cmdRunScript_Click();
    void cmdStop_Click();
    void cmdCompare_Click();

signals:
    void overDisplayChanged();

private:
    // Runs a script as one long send of the window, Stop alone taking clicks.
    script::Runner::Result runInWindow(const script::Script& script, int delay, std::optional<QChar> pacing);
    void showRunning(bool running);
    // The pacing delay and character of the window, or nothing (and told)
    // when the delay cannot be used.
    std::optional<int> windowDelay();

    Parts m_parts;
    QGroupBox* m_group;
    QPushButton* m_cmdRecord;
    QPushButton* m_cmdSaveScript;
    QPushButton* m_cmdRunScript;
    QPushButton* m_cmdStop;
    QPushButton* m_cmdCompare;
    std::unique_ptr<script::EventLoopClock> m_clock;
    script::Runner* m_runner;
    script::Recorder* m_recorder;
    InputHold* m_hold;
    std::optional<board::Display> m_target;
    std::optional<board::Display> m_comparison;
};

} // namespace varnix

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "script/runner.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
class SessionLog;
}

// The window's script controls: record what is sent and save it as a
// script, with the board's display checked against a picture where asked;
// run a script after showing what it will draw, stop a run, and compare the
// board's display memory with what it should be showing (or a screen line's
// picture), keep it as a picture, or take it as what the board shows. The
// board's display memory is read on its own after a reconnect and when the
// board says it has started again, since nothing the window drew before need
// be on it then.
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
        // A failed screen line's pictures go beside it while it runs.
        const script::SessionLog& log;
    };

    explicit ScriptPanel(const Parts& parts, QObject* parent = nullptr);
    ~ScriptPanel() override;

    QGroupBox* group() const { return m_group; }

    // What the display view shows over what the board should be showing:
    // while a run is asked about and goes on, what the script will draw; after
    // a comparison, what the board showed. Nothing otherwise.
    std::optional<board::Display> overDisplay() const;
    // What the display view shows in place of what the board should be
    // showing: the picture a failed screen line compared the board with.
    // Nothing otherwise.
    std::optional<board::Display> underDisplay() const;
    // The window's view has changed (a frame sent, a page or field changed):
    // a comparison shown is out of date.
    void dropComparison();

    // Why the display view may not show what the board shows (the board did
    // not answer a read); empty while it should.
    const QString& uncertainty() const { return m_uncertainty; }

    bool running() const;
    void stop();

    // The pacing delay of the window, or nothing (and told) when the delay
    // cannot be used.
    std::optional<int> windowDelay();

    // Runs a script as Run Script... runs a file: what it will draw, the
    // question, the run, what went wrong; `name` names it.
    void runScript(const script::Script& script, const QString& name);
    // The board's display memory read as Compare with Board reads it; a
    // failure is told.
    std::optional<board::Display> readBoardDisplay();
    // Reads the board's display into the view as after a reconnect, then
    // calls `done` with whether it was read.
    void followBoardThen(std::function<void(bool read)> done);

    void cmdRecord_Click(bool on);
    void cmdSaveScript_Click();
    void cmdExport_Click();
    void cmdRunScript_Click();
    void cmdStop_Click();
    void cmdCompare_Click();
    void cmdReadBoard_Click();
    void cmdCheckScreen_Click();
    void cmdSaveReference_Click();

signals:
    void overDisplayChanged();

private:
    // Runs a script as one long send of the window, Stop alone taking clicks.
    script::Runner::Result runInWindow(const script::Script& script, int delay, std::optional<QChar> pacing);
    void showRunning(bool running);
    // The comparison shown: the board's display, over `under` or else over
    // what the board should be showing; a failed screen line's picture.
    void showComparison(const board::Display& shown, const std::optional<board::Display>& under,
                        const QString& picture);
    // A folder to propose a picture in: the last one used, else the home folder.
    QString pictureFolder() const;

    // The board's display memory, read through the window's paced send
    // once the port guard has passed. Without a display, why not: empty
    // when the read ended without an answer to tell (stopped, port lost).
    struct BoardRead {
        std::optional<board::Display> display;
        QString failure;
    };
    BoardRead readBoard(int delay);
    // A read clicked for: nothing when the port guard or the delay refused it.
    std::optional<BoardRead> readByHand(bool clearReceived);
    // Takes a read into the view, or marks the view uncertain; true when read.
    bool takeIntoView(const BoardRead& read);
    void setUncertainty(const QString& why);
    // The board may show something else now: read it once the port is idle.
    void followBoard(bool reconnected);
    void readAfterChange(bool reconnected);
    void tellFollowed(bool read);
    void watchForStart(const QString& characters);

    Parts m_parts;
    QGroupBox* m_group;
    QPushButton* m_cmdRecord;
    QPushButton* m_cmdSaveScript;
    QPushButton* m_cmdExport;
    QPushButton* m_cmdRunScript;
    QPushButton* m_cmdStop;
    QPushButton* m_cmdCompare;
    QPushButton* m_cmdReadBoard;
    QPushButton* m_cmdCheckScreen;
    QPushButton* m_cmdSaveReference;
    std::unique_ptr<script::EventLoopClock> m_clock;
    script::Runner* m_runner;
    script::Recorder* m_recorder;
    InputHold* m_hold;
    std::optional<board::Display> m_target;
    std::optional<board::Display> m_comparison;
    std::optional<board::Display> m_under;
    // The picture of the screen line that failed, for Save as Reference.
    QString m_failedPicture;
    QString m_lastPictureFolder;
    // Screen lines recorded into the recording.
    int m_screensRecorded = 0;
    QString m_uncertainty;
    // A read of the board on its own is waiting or under way, and who waits
    // for it.
    bool m_following = false;
    std::vector<std::function<void(bool read)>> m_followed;
    // Characters received since the port opened. A start-up line that comes
    // first is what the board said before the port was opened, not news of
    // a restart.
    qint64 m_heardSinceOpen = 0;
    // The end of what came, where the start-up line may be split.
    QString m_startTail;
};

} // namespace varnix

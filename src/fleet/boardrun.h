// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/displaycheck.h"
#include "fleet/portsfile.h"
#include "link/core/task.h"
#include "script/script.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace varnix::board {
class BoardShadow;
}
namespace varnix::link {
class Pause;
class SerialPort;
}
namespace varnix::script {
class Clock;
class Runner;
}

namespace varnix::fleet {

// An answer or a frame on one line: line breaks as " | ", other control
// characters escaped, a long one cut.
QString shown(const QString& text);

// The line a single run prints and a fleet keeps for a frame's answer
// ("7: ]c]402014 -> Ready:", "verify: ..." for line 0), and for the board's
// own text ("board: Lumdra demo firmware ... | Ready:").
QString answerLine(int line, const QString& frame, const QString& answer);
QString saidLine(const QString& text);

// What a script's screen line found, given what came since its read began.
using ScreenJudge = std::function<board::ScreenVerdict(const script::Step& step, const QString& answer)>;

// What every board of a run is sent, and how.
struct Plan {
    script::Script script;
    int delay = script::kDefaultDelay;
    // Then read the board's display memory and compare it with the drawing.
    bool verify = false;
    // The judge of the script's screen lines on a board, made in the board's
    // run from the name its files take (BoardRun::setFileName()).
    std::function<ScreenJudge(const QString& fileName)> screens = {};
};

// How a board's run ended: the one way both a single run and a fleet say
// why a board stopped.
struct Ending {
    enum class Kind {
        Passed,
        Unreachable,  // the port did not open
        BoardError,   // the board answered "Error:"
        ExpectMissed, // an expect's text did not come in time
        NoAnswer,     // a frame's "Ready:" did not come in time
        Refused,      // the port refused a frame
        Lost,         // the port went away
        NoDisplay,    // the board did not send its display memory to verify
        Differs,      // its display differs from the drawing
        CutShort,     // stopped from outside, while connecting or at a frame's end
        ScreenDiffers, // a screen line's picture differs from the board's display
        ScreenMissing, // a screen line's picture is not there
    };
    Kind kind = Kind::Passed;
    // Ended in the read of the display memory that verifies.
    bool verifying = false;
    // The script's line it ended on; 0 where no line is to blame.
    int line = 0;
    // Frames of the script the board took: each answered "Ready:" after it
    // ended, without an error (with "ready off", sent whole and not
    // refused). Every count of frames a person reads is of these.
    int framesAnswered = 0;
    // Why, as a phrase; empty when passed.
    QString reason;
    // The comparison, when the display was read.
    std::optional<board::Difference> difference;
    // The pictures a failed screen line wrote: the board's display, the
    // difference.
    QStringList pictures;

    bool passed() const { return kind == Kind::Passed; }
    // "line 7: the board answered: Error: …", "verify: 3 pixels differ; …",
    // or the reason alone where no line is to blame.
    QString describe() const;
};

// One board's run: opens its port, sends the script, verifies, and closes.
// A single run does it all in the calling thread, whose event loop keeps
// running meanwhile (run()); a fleet drives the same coroutine (running())
// with its thread's pacer, beside many others.
class BoardRun : public QObject
{
    Q_OBJECT
public:
    BoardRun(Board board, Plan plan, QObject* parent = nullptr);

    // Keeps the session log in this file; none when empty.
    void setLogFile(const QString& path) { m_logFile = path; }
    // The board's name in the files it shares a folder with others' in
    // ("rack3-01"); empty for a board run on its own.
    void setFileName(const QString& name) { m_fileName = name; }

    // Returns when the board's run has ended.
    Ending run();
    // The run as a coroutine, waiting on the given pause (the frames'
    // pacing) and clock (everything else).
    link::Task<Ending> running(link::Pause& pause, script::Clock& clock);
    // Ends the run at the next frame boundary, once the board has answered
    // the frame, or at once; a connection still being made is given up at
    // once either way. Called from the run's own thread (its events).
    void stop(bool now);

    // Writes the session log of a board whose run never began, saying so.
    static void logNotStarted(const Board& board, const QString& path);

signals:
    // The port opened and the script begins.
    void opened();
    // A frame's answer came, or its time is up; line 0 is the read that
    // verifies.
    void answered(int line, const QString& frame, const QString& answer);
    // Text of the board's own that answers no frame (its greeting).
    void said(const QString& text);
    // Frames of the script the board has taken so far.
    void framesAnswered(int count);
    void verifying();
    // The session log could not be opened or written; the run goes on.
    void logFailed(const QString& message);

private:
    link::Task<Ending> sendAndVerify(script::Runner& runner, const board::BoardShadow& model,
                                     const QString& lostReason);

    Board m_board;
    Plan m_plan;
    QString m_logFile;
    QString m_fileName;
    script::Runner* m_runner = nullptr;
    // The port, while the run has one.
    link::SerialPort* m_port = nullptr;
    // Stop asked for before the runner began.
    bool m_stopAsked = false;
    bool m_stopNow = false;
};

} // namespace varnix::fleet

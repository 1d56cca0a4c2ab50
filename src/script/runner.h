// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/task.h"
#include "link/core/transmitter.h"
#include "script/answers.h"
#include "script/script.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace varnix::link {
class Connection;
}

namespace varnix::script {

class Clock;

// Sends a script over the connection: each frame paced, then (unless
// "ready off") waits for the board's answer to it before the next, each
// answer matched to its frame by an AnswerMatcher. The window, the command
// line and every board of a fleet share it: the run is one coroutine
// (running()), which waits only on its clock and the connection's pause.
// A single run's clock holds its thread (run()); a fleet's hands the run to
// the thread's pacer, which drives many. The window sends through its own
// paced send.
class Runner : public QObject
{
    Q_OBJECT
public:
    static constexpr char kPrompt[] = "Ready:";
    static constexpr char kError[] = "Error:";
    // Answers still on their way when a run begins (a board's greeting)
    // are taken before the first frame: until the line has been quiet this
    // long, and a greeting that has begun has come whole, at most
    // kLongestSettleMs.
    static constexpr int kSettleMs = 30;
    static constexpr int kLongestSettleMs = 1000;

    enum class Outcome {
        Done,            // every line carried out, every frame answered
        Stopped,         // stop() or stopAtFrameEnd() ended it
        BoardError,      // the board answered "Error:"
        NoAnswer,        // a frame's "Ready:" did not come in time
        ExpectTimedOut,  // an expect's text did not come in time
        Lost,            // the port closed or went away
        Failed,          // the port refused a frame
        ScreenFailed,    // a screen line's check failed; Result::answer says why
    };

    struct Result {
        Outcome outcome = Outcome::Done;
        int line = 0;          // the line the run ended on, 0 when done
        QString answer;        // the refusal, or what came since that line's frame
        // Frames the board took: answered "Ready:" without an error, or,
        // with the prompt off, sent whole and not refused.
        int framesAnswered = 0;
        QString lastAnswer;    // the last frame's answer
        bool ok() const { return outcome == Outcome::Done; }
    };

    // Sends one frame paced, holding the thread; by default the run awaits
    // the connection's own transmission instead.
    using Transmit = std::function<link::Transmitter::Outcome(
        const QString& frame, std::optional<QChar> pacing, std::int32_t delay,
        const std::function<void(const link::Progress&)>& progress)>;

    Runner(link::Connection& connection, Clock& clock, QObject* parent = nullptr);

    void setTransmit(Transmit transmit) { m_transmit = std::move(transmit); }
    // Takes what waits at the port; it reaches the runner through the
    // connection's received(). By default the runner reads itself; the
    // window lets its receive window read, so that the answers show there.
    void setReader(std::function<void()> reader) { m_reader = std::move(reader); }
    void setPacing(std::optional<QChar> pacing) { m_pacing = pacing; }
    // The first words of the board's start-up line, by which its greeting
    // is known; none by default.
    void setStartLine(const QString& startLine) { m_matcher = AnswerMatcher(startLine); }

    // Runs the script from its first line with the given pacing delay;
    // returns when it has ended.
    Result run(const Script& script, int startDelay);
    // The same run as a coroutine, for a driver of many; the script must
    // outlive it.
    link::Task<Result> running(const Script& script, int startDelay);
    // Ends a run between two characters, or its wait.
    void stop();
    // Ends a run as stop() does, but lets a frame that is going out go out
    // whole and waits for its answer, so that the board is not left in the
    // middle of a command.
    void stopAtFrameEnd();
    bool running() const { return m_running; }
    // The delay in force when the last run ended.
    int delay() const { return m_delay; }

    // How long an answer may keep the board's prompt waiting while nothing
    // arrives.
    void setReadyTimeout(int milliseconds) { m_readyTimeoutMs = milliseconds; }
    // Whether an answer is the whole answer of the frames that follow; by
    // default any is. A read whose answer can be told by its shape (a
    // dump, then the prompt) takes one that is not for a late prompt of a
    // frame before it: shown as the board's own text, and the frame waits on.
    using Answered = std::function<bool(const QString& answer)>;
    void setAnswered(Answered answered) { m_answered = std::move(answered); }

    // How a script's screen lines are checked. A screen line's read of the
    // display goes out as a frame of its line, `finished` telling its whole
    // answer as setAnswered() does; then `judge` is given what came since
    // the read began and says why the line fails, or nothing when it passes.
    // Without a judge, a screen line fails.
    struct ScreenCheck {
        Answered finished;
        std::function<QString(const Step& step, const QString& answer)> judge;
    };
    void setScreenCheck(ScreenCheck check) { m_screenCheck = std::move(check); }

signals:
    // A frame's answer came, or the time for it is up (answer empty); with
    // the prompt off, when its answer comes or the run ends without it.
    void answered(int line, const QString& frame, const QString& answer);
    // Text of the board's own that answers no frame: its greeting, or a
    // prompt that no frame was owed.
    void boardSaid(const QString& text);
    // Frames the board took so far (Result::framesAnswered).
    void framesAnsweredChanged(int count);
    // Characters sent of the whole script and the time its pauses and waits
    // still take.
    void progress(const link::Progress& whole);

private:
    enum class Wait { Met, TimedOut, Ended };
    // Waits until met() or the time is up; with restartOnAnswer, the time
    // starts again whenever characters come.
    // A stop at the frame's end ends the wait too when stoppable.
    link::Task<Wait> waitFor(std::function<bool()> met, int milliseconds, bool restartOnAnswer, bool stoppable);
    // The run is to end now: stopped at once, the port lost or closed; or,
    // once the frame going out has been answered, stopped at its end.
    bool ended() const;
    void pull();
    link::Task<void> settle();
    // Waits for the answers still owed: a frame awaited for the ready
    // timeout, one sent with the prompt off until the line is quiet.
    link::Task<Wait> awaitOwed();
    // The run's result, ending it.
    Result finish(Outcome outcome, int line);
    // Stopped (once what the board owes has come, unless at once) or lost.
    link::Task<Result> endedAt(int line);
    void onReceived(const QString& characters);
    void tell(std::size_t step, int sentInStep, std::int64_t leftInStep);

    link::Connection& m_connection;
    Clock& m_clock;
    Transmit m_transmit;
    std::function<void()> m_reader;
    std::optional<QChar> m_pacing = QChar(u']');
    int m_readyTimeoutMs = kReadyTimeoutMs;
    AnswerMatcher m_matcher;
    Answered m_answered;
    ScreenCheck m_screenCheck;
    QString m_screenFailure;
    bool m_running = false;
    bool m_stopped = false;
    bool m_stopAtFrameEnd = false;
    bool m_lost = false;
    // A frame is going out.
    bool m_sending = false;
    // Something went to the board outside a run and its prompt has not
    // been seen since; the end of what came, where a prompt may be split.
    bool m_promptOwed = false;
    QString m_tail;
    int m_delay = kDefaultDelay;
    // Everything that came since the last frame began, for expect.
    QString m_sinceFrame;
    qint64 m_receivedCount = 0;
    // This run's frames by their turn (AnswerMatcher's ordinal less one).
    struct Sent {
        int line = 0;
        QString frame;
        bool awaited = true; // the prompt was on
        bool whole = false;
        bool answered = false;
    };
    std::vector<Sent> m_frames;
    int m_taken = 0;
    // The first refusal, which ends the run.
    std::optional<AnswerMatcher::Answer> m_refusal;
    QString m_lastAnswer;
    // Per step: characters before it, and the milliseconds of pauses and
    // waits from it to the end.
    std::vector<int> m_charactersBefore;
    std::vector<std::int64_t> m_timeFrom;
    int m_totalCharacters = 0;
};

} // namespace varnix::script

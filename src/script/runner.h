// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/transmitter.h"
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
// "ready off") waits for the board's prompt before the next. The window and
// the command line share it; the window sends through its own paced send.
class Runner : public QObject
{
    Q_OBJECT
public:
    static constexpr char kPrompt[] = "Ready:";
    static constexpr char kError[] = "Error:";
    // Answers still on their way when a run begins (a board's banner) are
    // taken before the first frame, so that they are not read as its prompt:
    // until the line has been quiet this long, at most kLongestSettleMs.
    static constexpr int kSettleMs = 30;
    static constexpr int kLongestSettleMs = 1000;

    enum class Outcome {
        Done,            // every line carried out
        Stopped,         // stop() ended it
        BoardError,      // the board answered "Error:"
        ExpectTimedOut,  // an expect's text did not come in time
        Lost,            // the port closed or went away
        Failed,          // the port refused a frame
    };

    struct Result {
        Outcome outcome = Outcome::Done;
        int line = 0;          // the line the run ended on, 0 when done
        QString answer;        // the answers to that line's frame so far
        int framesSent = 0;
        QList<int> unanswered; // lines of frames whose prompt did not come
        QString lastAnswer;    // everything the last frame was answered
        bool ok() const { return outcome == Outcome::Done && unanswered.isEmpty(); }
    };

    // Sends one frame paced; the connection's own transmission by default.
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

    // Runs the script from its first line with the given pacing delay;
    // returns when it has ended.
    Result run(const Script& script, int startDelay);
    // Ends a run between two characters, or its wait.
    void stop();
    // Ends a run as stop() does, but lets a frame that is going out go out
    // whole, so that the board is not left in the middle of a command.
    void stopAtFrameEnd();
    bool running() const { return m_running; }
    // The delay in force when the last run ended.
    int delay() const { return m_delay; }

    // How long an answer may keep the board's prompt waiting while nothing
    // arrives.
    void setReadyTimeout(int milliseconds) { m_readyTimeoutMs = milliseconds; }
    // When a frame's answers are all there; by default once they hold the
    // prompt. A read whose answer can be told complete (a dump, then the
    // prompt) is not fooled by a late prompt of the frame before.
    using Answered = std::function<bool(const QString& answers)>;
    void setAnswered(Answered answered) { m_answered = std::move(answered); }

signals:
    // A frame went out and its answers came (or the time for them is up).
    void answered(int line, const QString& frame, const QString& answer);
    // Characters sent of the whole script and the time its pauses and waits
    // still take.
    void progress(const link::Progress& whole);

private:
    enum class Wait { Met, TimedOut, Ended };
    Wait waitFor(const std::function<bool()>& met, int milliseconds, bool restartOnAnswer);
    bool ended() const;
    void pull();
    void settle();
    void tell(std::size_t step, int sentInStep, std::int64_t leftInStep);

    link::Connection& m_connection;
    Clock& m_clock;
    Transmit m_transmit;
    std::function<void()> m_reader;
    std::optional<QChar> m_pacing = QChar(u']');
    int m_readyTimeoutMs = kReadyTimeoutMs;
    bool m_running = false;
    bool m_stopped = false;
    bool m_lost = false;
    Answered m_answered;
    // Something went to the board and its prompt has not been seen since;
    // the end of what came, where a prompt may be split.
    bool m_promptOwed = false;
    QString m_tail;
    int m_delay = kDefaultDelay;
    QString m_answers;
    // Per step: characters before it, and the milliseconds of pauses and
    // waits from it to the end.
    std::vector<int> m_charactersBefore;
    std::vector<std::int64_t> m_timeFrom;
    int m_totalCharacters = 0;
};

} // namespace varnix::script

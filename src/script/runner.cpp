// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/runner.h"

#include "link/core/connection.h"
#include "protocol/frames.h"
#include "script/clock.h"

#include <algorithm>

namespace varnix::script {

namespace {
// A frame sent before the run, or with the prompt off, may still be
// answered: the board gives a frame ending in a number 40 ms of quiet
// before it answers, and a real one may be busy drawing. This much quiet
// means no answer is coming.
constexpr int kOwedSettleMs = 250;
// How often a wait looks at the port when nothing tells it that data came.
constexpr int kLookEveryMs = 20;

// A screen line's read of the display goes out as a frame of its own line,
// just before the line judges what came.
QList<Step> withScreenReads(const QList<Step>& steps)
{
    QList<Step> out;
    for (const Step& step : steps) {
        if (step.kind == Step::Kind::Screen)
            out.append(Step{Step::Kind::Send, step.line, step.frame()});
        out.append(step);
    }
    return out;
}
} // namespace

Runner::Runner(link::Connection& connection, Clock& clock, QObject* parent)
    : QObject(parent), m_connection(connection), m_clock(clock)
{
    m_reader = [this] { m_connection.readAll(); };
    connect(&m_connection, &link::Connection::sent, this, [this] {
        m_promptOwed = true;
        m_tail.clear();
    });
    connect(&m_connection, &link::Connection::received, this, &Runner::onReceived);
    connect(&m_connection, &link::Connection::readyRead, this, [this] {
        if (!m_running)
            return;
        // Read at once while a frame goes out: what comes then cannot be
        // its answer, and is known for that.
        if (m_sending)
            pull();
        m_clock.wake();
    });
    auto lost = [this] {
        if (!m_running)
            return;
        m_lost = true;
        m_clock.wake();
    };
    connect(&m_connection, &link::Connection::lost, this, lost);
    connect(&m_connection, &link::Connection::closed, this, lost);
}

void Runner::onReceived(const QString& characters)
{
    const QLatin1String prompt(kPrompt);
    m_tail += characters;
    if (m_tail.contains(prompt))
        m_promptOwed = false;
    m_tail = m_tail.right(prompt.size() - 1);
    if (!m_running)
        return;
    m_sinceFrame += characters;
    m_receivedCount += characters.size();
    for (const AnswerMatcher::Answer& answer : m_matcher.take(characters)) {
        const Answered& whole = m_screenCheck.finished && answer.frame == QLatin1String(protocol::kWholeDisplayRead)
            ? m_screenCheck.finished
            : m_answered;
        if (answer.kind == AnswerMatcher::Answer::Kind::Frame && whole && !whole(answer.text)) {
            m_matcher.putBack(answer);
            emit boardSaid(answer.text);
            continue;
        }
        if (answer.kind != AnswerMatcher::Answer::Kind::Frame) {
            emit boardSaid(answer.text);
            continue;
        }
        Sent& sent = m_frames[std::size_t(answer.ordinal - 1)];
        sent.answered = true;
        m_lastAnswer = answer.text;
        if (answer.refused()) {
            if (!m_refusal)
                m_refusal = answer;
        } else if (sent.awaited) {
            emit framesAnsweredChanged(++m_taken);
        }
        emit answered(answer.line, answer.frame, answer.text);
    }
    m_clock.wake();
}

bool Runner::ended() const
{
    return m_stopped || m_lost || !m_connection.isOpen();
}

void Runner::pull()
{
    if (m_connection.isOpen())
        m_reader();
}

void Runner::stop()
{
    if (!m_running)
        return;
    m_stopped = true;
    m_connection.cancel();
    m_clock.wake();
}

void Runner::stopAtFrameEnd()
{
    if (!m_running)
        return;
    // The transmission goes on to its end and its answer is awaited; the
    // loop stops behind it.
    m_stopAtFrameEnd = true;
    m_clock.wake();
}

link::Task<Runner::Wait> Runner::waitFor(std::function<bool()> met, int milliseconds, bool restartOnAnswer,
                                         bool stoppable)
{
    std::int64_t deadline = m_clock.now() + milliseconds;
    qint64 seen = m_receivedCount;
    pull();
    while (true) {
        if (met())
            co_return Wait::Met;
        if (ended() || (stoppable && m_stopAtFrameEnd))
            co_return Wait::Ended;
        const std::int64_t now = m_clock.now();
        if (restartOnAnswer && m_receivedCount != seen) {
            // A long answer (a block of display memory on a slow line) is
            // still coming.
            seen = m_receivedCount;
            deadline = now + milliseconds;
        }
        if (now >= deadline)
            co_return Wait::TimedOut;
        co_await m_clock.sleeping(int(std::min<std::int64_t>(deadline - now, kLookEveryMs)));
        pull();
    }
}

link::Task<void> Runner::settle()
{
    const std::int64_t until = m_clock.now() + kLongestSettleMs;
    pull();
    while (!ended() && m_clock.now() < until) {
        const qint64 before = m_receivedCount;
        // A wake ends the sleep early when something comes.
        co_await m_clock.sleeping(m_promptOwed ? kOwedSettleMs : kSettleMs);
        pull();
        if (m_receivedCount == before && !m_matcher.greetingComing())
            break;
    }
    m_sinceFrame.clear();
}

link::Task<Runner::Wait> Runner::awaitOwed()
{
    if (m_matcher.owed() == 0)
        co_return Wait::Met;
    const bool awaited = std::any_of(m_frames.begin() + (m_matcher.oldestOwed() - 1), m_frames.end(),
                                     [](const Sent& sent) { return sent.whole && !sent.answered && sent.awaited; });
    co_return co_await waitFor([this] { return m_matcher.owed() == 0 || m_refusal; },
                               awaited ? m_readyTimeoutMs : kOwedSettleMs, true, false);
}

void Runner::tell(std::size_t step, int sentInStep, std::int64_t leftInStep)
{
    const std::int64_t after = step + 1 < m_timeFrom.size() ? m_timeFrom[step + 1] : 0;
    emit progress(link::Progress{m_charactersBefore[step] + sentInStep, m_totalCharacters, leftInStep + after});
}

Runner::Result Runner::run(const Script& script, int startDelay)
{
    return link::runNow(running(script, startDelay));
}

Runner::Result Runner::finish(Outcome outcome, int line)
{
    // A refusal is what the board said of the run, however it ended.
    if (m_refusal) {
        outcome = Outcome::BoardError;
        line = m_refusal->line;
    }
    // Frames sent with the prompt off whose answer never came are told as
    // unanswered, in their turn.
    for (const Sent& sent : m_frames) {
        if (sent.whole && !sent.awaited && !sent.answered)
            emit answered(sent.line, sent.frame, QString());
    }
    Result result;
    result.outcome = outcome;
    result.line = line;
    result.answer = outcome == Outcome::BoardError ? m_refusal->text
        : outcome == Outcome::ScreenFailed         ? m_screenFailure
                                                   : m_sinceFrame;
    result.framesAnswered = m_refusal ? std::min(m_taken, m_refusal->ordinal - 1) : m_taken;
    result.lastAnswer = m_lastAnswer;
    m_running = false;
    return result;
}

link::Task<Runner::Result> Runner::endedAt(int line)
{
    if (m_stopped || m_stopAtFrameEnd) {
        // Stopped at a frame's end: what the board still owes is awaited
        // first, so that it has taken each frame whole.
        if (!m_stopped)
            co_await awaitOwed();
        co_return finish(Outcome::Stopped, line);
    }
    co_return finish(Outcome::Lost, line);
}

link::Task<Runner::Result> Runner::running(const Script& script, int startDelay)
{
    if (m_running) {
        Result result;
        result.outcome = Outcome::Failed;
        co_return result;
    }
    m_running = true;
    m_stopped = false;
    m_stopAtFrameEnd = false;
    m_lost = false;
    m_delay = std::max(startDelay, 0);
    m_sinceFrame.clear();
    m_matcher.reset();
    m_frames.clear();
    m_taken = 0;
    m_refusal.reset();
    m_lastAnswer.clear();

    // What the progress shows: characters, and the time still to go.
    const QList<Step> steps = withScreenReads(script.steps);
    m_charactersBefore.assign(steps.size() + 1, 0);
    m_timeFrom.assign(steps.size() + 1, 0);
    std::vector<std::int64_t> stepTime(steps.size(), 0);
    {
        std::int64_t delay = m_delay;
        int characters = 0;
        for (std::size_t i = 0; i < std::size_t(steps.size()); ++i) {
            const Step& step = steps[qsizetype(i)];
            m_charactersBefore[i] = characters;
            if (step.kind == Step::Kind::Send) {
                characters += int(step.text.size());
                stepTime[i] = m_pacing ? step.text.count(*m_pacing) * delay : 0;
            } else if (step.kind == Step::Kind::Delay) {
                delay = step.milliseconds;
            } else if (step.kind == Step::Kind::Wait) {
                stepTime[i] = step.milliseconds;
            }
        }
        m_charactersBefore[steps.size()] = characters;
        m_totalCharacters = characters;
        for (std::size_t i = steps.size(); i-- > 0;)
            m_timeFrom[i] = m_timeFrom[i + 1] + stepTime[i];
    }

    co_await settle();
    bool readyOn = true;
    for (std::size_t i = 0; i < std::size_t(steps.size()); ++i) {
        const Step& step = steps[qsizetype(i)];
        if (m_refusal)
            co_return finish(Outcome::BoardError, m_refusal->line);
        if (m_stopped || m_stopAtFrameEnd || ended())
            co_return co_await endedAt(step.line);
        tell(i, 0, stepTime[i]);
        switch (step.kind) {
        case Step::Kind::Delay:
            m_delay = step.milliseconds;
            break;
        case Step::Kind::Ready:
            readyOn = step.on;
            break;
        case Step::Kind::Wait: {
            const std::int64_t until = m_clock.now() + step.milliseconds;
            while (!ended() && !m_stopAtFrameEnd && !m_refusal) {
                const std::int64_t left = until - m_clock.now();
                if (left <= 0)
                    break;
                co_await m_clock.sleeping(int(std::min<std::int64_t>(left, 100)));
                pull();
                tell(i, 0, std::max<std::int64_t>(until - m_clock.now(), 0));
            }
            if (!m_refusal && (ended() || m_stopAtFrameEnd))
                co_return co_await endedAt(step.line);
            break;
        }
        case Step::Kind::Expect: {
            const Wait wait = co_await waitFor([&] { return m_refusal || m_sinceFrame.contains(step.text); },
                                               step.milliseconds, false, true);
            if (!m_refusal && wait == Wait::Ended)
                co_return co_await endedAt(step.line);
            if (!m_refusal && wait == Wait::TimedOut)
                co_return finish(Outcome::ExpectTimedOut, step.line);
            break;
        }
        case Step::Kind::Screen:
            // Its read went out as the frame before; an answer still owed
            // (the prompt off) is awaited first.
            if (co_await awaitOwed() == Wait::Ended && !m_refusal)
                co_return co_await endedAt(step.line);
            if (m_refusal)
                break;
            m_screenFailure = m_screenCheck.judge ? m_screenCheck.judge(step, m_sinceFrame)
                                                  : QStringLiteral("screen lines are not checked in this run");
            if (!m_screenFailure.isEmpty())
                co_return finish(Outcome::ScreenFailed, step.line);
            break;
        case Step::Kind::Send: {
            pull();
            // Frames sent with the prompt off are given their answers, or
            // the line's quiet, before a frame whose answer is awaited: a
            // board that gave them none would leave each later prompt a
            // frame behind.
            if (readyOn && m_matcher.owed() > 0 && !m_refusal) {
                if (co_await awaitOwed() == Wait::Ended && !m_refusal)
                    co_return co_await endedAt(step.line);
                m_matcher.writeOff();
            }
            if (m_refusal)
                break;
            m_sinceFrame.clear();
            m_matcher.beginFrame(step.line, step.text);
            m_frames.push_back(Sent{step.line, step.text, readyOn});
            m_sending = true;
            const auto progress = [this, i](const link::Progress& p) { tell(i, p.sent, p.millisecondsLeft); };
            auto outcome = link::Transmitter::Outcome::Failed;
            if (m_transmit)
                outcome = m_transmit(step.text, m_pacing, m_delay, progress);
            else
                outcome = co_await m_connection.transmitting(step.text, m_pacing, m_delay, progress);
            m_sending = false;
            const bool whole = outcome == link::Transmitter::Outcome::Sent;
            m_matcher.endFrame(whole);
            m_frames.back().whole = whole;
            if (outcome == link::Transmitter::Outcome::Cancelled || m_stopped)
                co_return finish(m_stopped ? Outcome::Stopped : Outcome::Lost, step.line);
            if (outcome == link::Transmitter::Outcome::Failed)
                co_return finish(m_connection.isOpen() ? Outcome::Failed : Outcome::Lost, step.line);
            if (!readyOn) {
                emit framesAnsweredChanged(++m_taken);
                break;
            }
            const std::size_t turn = m_frames.size() - 1;
            const Wait wait = co_await waitFor([&] { return m_refusal || m_frames[turn].answered; },
                                               m_readyTimeoutMs, true, false);
            if (m_refusal)
                break;
            if (wait == Wait::Ended)
                co_return co_await endedAt(step.line);
            if (wait == Wait::TimedOut) {
                emit answered(step.line, step.text, QString());
                co_return finish(Outcome::NoAnswer, step.line);
            }
            break;
        }
        }
    }
    if (m_refusal)
        co_return finish(Outcome::BoardError, m_refusal->line);
    // The run ends once the last frames' answers are in, or their wait is up.
    const int owedLine = m_matcher.owed() > 0 ? m_frames[std::size_t(m_matcher.oldestOwed() - 1)].line : 0;
    if (co_await awaitOwed() == Wait::Ended && !m_refusal)
        co_return co_await endedAt(owedLine);
    if (m_refusal)
        co_return finish(Outcome::BoardError, m_refusal->line);
    tell(steps.size(), 0, 0);
    co_return finish(Outcome::Done, 0);
}

} // namespace varnix::script

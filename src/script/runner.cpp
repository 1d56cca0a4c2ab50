// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/runner.h"

#include "link/core/connection.h"
#include "script/clock.h"

#include <algorithm>

namespace varnix::script {

namespace {
// A frame sent before the run may still be answered: the board gives a frame
// ending in a number 40 ms of quiet before it answers, and a real one may be
// busy drawing. This much quiet means no answer is coming.
constexpr int kOwedSettleMs = 250;
// How often a wait looks at the port when nothing tells it that data came.
constexpr int kLookEveryMs = 20;
} // namespace

Runner::Runner(link::Connection& connection, Clock& clock, QObject* parent)
    : QObject(parent), m_connection(connection), m_clock(clock)
{
    m_transmit = [this](const QString& frame, std::optional<QChar> pacing, std::int32_t delay,
                        const std::function<void(const link::Progress&)>& progress) {
        return m_connection.transmit(frame, pacing, delay, progress);
    };
    m_reader = [this] { m_connection.readAll(); };
    connect(&m_connection, &link::Connection::sent, this, [this] {
        m_promptOwed = true;
        m_tail.clear();
    });
    connect(&m_connection, &link::Connection::received, this, [this](const QString& characters) {
        const QLatin1String prompt(kPrompt);
        m_tail += characters;
        if (m_tail.contains(prompt))
            m_promptOwed = false;
        m_tail = m_tail.right(prompt.size() - 1);
        if (!m_running)
            return;
        m_answers += characters;
        m_clock.wake();
    });
    connect(&m_connection, &link::Connection::readyRead, this, [this] {
        if (m_running)
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
    // The transmission goes on to its end; the loop stops behind it.
    m_stopped = true;
    m_clock.wake();
}

Runner::Wait Runner::waitFor(const std::function<bool()>& met, int milliseconds, bool restartOnAnswer)
{
    std::int64_t deadline = m_clock.now() + milliseconds;
    qsizetype seen = m_answers.size();
    pull();
    while (true) {
        if (met())
            return Wait::Met;
        if (ended())
            return Wait::Ended;
        const std::int64_t now = m_clock.now();
        if (restartOnAnswer && m_answers.size() != seen) {
            // A long answer (a block of display memory on a slow line) is
            // still coming.
            seen = m_answers.size();
            deadline = now + milliseconds;
        }
        if (now >= deadline)
            return Wait::TimedOut;
        m_clock.sleep(int(std::min<std::int64_t>(deadline - now, kLookEveryMs)));
        pull();
    }
}

void Runner::settle()
{
    const std::int64_t until = m_clock.now() + kLongestSettleMs;
    pull();
    while (!ended() && m_clock.now() < until) {
        const qsizetype before = m_answers.size();
        // A wake ends the sleep early when something comes.
        m_clock.sleep(m_promptOwed ? kOwedSettleMs : kSettleMs);
        pull();
        if (m_answers.size() == before)
            break;
    }
    m_answers.clear();
}

void Runner::tell(std::size_t step, int sentInStep, std::int64_t leftInStep)
{
    const std::int64_t after = step + 1 < m_timeFrom.size() ? m_timeFrom[step + 1] : 0;
    emit progress(link::Progress{m_charactersBefore[step] + sentInStep, m_totalCharacters, leftInStep + after});
}

Runner::Result Runner::run(const Script& script, int startDelay)
{
    Result result;
    if (m_running) {
        result.outcome = Outcome::Failed;
        return result;
    }
    m_running = true;
    m_stopped = false;
    m_lost = false;
    m_delay = std::max(startDelay, 0);
    m_answers.clear();

    // What the progress shows: characters, and the time still to go.
    const auto& steps = script.steps;
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

    auto finish = [&](Outcome outcome, int line) {
        result.outcome = outcome;
        result.line = line;
        result.answer = m_answers;
        m_running = false;
        return result;
    };
    auto hasError = [this] { return m_answers.contains(QLatin1String(kError)); };

    settle();
    bool readyOn = true;
    int lastFrameLine = 0;
    for (std::size_t i = 0; i < std::size_t(steps.size()); ++i) {
        const Step& step = steps[qsizetype(i)];
        if (m_stopped)
            return finish(Outcome::Stopped, step.line);
        if (ended())
            return finish(Outcome::Lost, step.line);
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
            while (!ended()) {
                const std::int64_t left = until - m_clock.now();
                if (left <= 0)
                    break;
                m_clock.sleep(int(std::min<std::int64_t>(left, 100)));
                pull();
                tell(i, 0, std::max<std::int64_t>(until - m_clock.now(), 0));
            }
            if (ended())
                return finish(m_stopped ? Outcome::Stopped : Outcome::Lost, step.line);
            if (!readyOn && hasError())
                return finish(Outcome::BoardError, lastFrameLine);
            break;
        }
        case Step::Kind::Expect: {
            const Wait wait = waitFor([&] { return m_answers.contains(step.text); }, step.milliseconds, false);
            if (wait == Wait::Ended)
                return finish(m_stopped ? Outcome::Stopped : Outcome::Lost, step.line);
            if (wait == Wait::TimedOut)
                return finish(hasError() ? Outcome::BoardError : Outcome::ExpectTimedOut,
                              hasError() ? lastFrameLine : step.line);
            break;
        }
        case Step::Kind::Send: {
            // With the prompt off, an error to the frame before is seen here.
            pull();
            if (hasError())
                return finish(Outcome::BoardError, lastFrameLine);
            m_answers.clear();
            lastFrameLine = step.line;
            const auto outcome = m_transmit(step.text, m_pacing, m_delay, [&](const link::Progress& p) {
                tell(i, p.sent, p.millisecondsLeft);
            });
            if (outcome == link::Transmitter::Outcome::Sent)
                ++result.framesSent;
            if (outcome == link::Transmitter::Outcome::Cancelled || m_stopped)
                return finish(m_stopped ? Outcome::Stopped : Outcome::Lost, step.line);
            if (outcome == link::Transmitter::Outcome::Failed)
                return finish(m_connection.isOpen() ? Outcome::Failed : Outcome::Lost, step.line);
            if (readyOn) {
                const Wait wait = waitFor([this] {
                    return m_answered ? m_answered(m_answers) : m_answers.contains(QLatin1String(kPrompt));
                }, m_readyTimeoutMs, true);
                if (wait == Wait::Ended)
                    return finish(m_stopped ? Outcome::Stopped : Outcome::Lost, step.line);
                if (wait == Wait::TimedOut)
                    result.unanswered << step.line;
            }
            result.lastAnswer = m_answers;
            emit answered(step.line, step.text, m_answers);
            if (readyOn && hasError())
                return finish(Outcome::BoardError, step.line);
            break;
        }
        }
    }
    pull();
    if (hasError())
        return finish(Outcome::BoardError, lastFrameLine);
    result.lastAnswer = m_answers;
    tell(steps.size(), 0, 0);
    return finish(Outcome::Done, 0);
}

} // namespace varnix::script

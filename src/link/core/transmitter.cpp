// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/transmitter.h"

#include "link/core/pause.h"
#include "link/core/serialport.h"
#include "protocol/encodings.h"
#include "protocol/numbers.h"

#include <QElapsedTimer>

namespace varnix::link {

namespace {
// How often the progress moves, and how long the window may go without
// painting on a frame whose pauses are too short or too few to paint in.
constexpr qint64 kReportEveryMs = 30;
constexpr int kPauseRunsEventsMs = 5;
// How often a character that found its device full looks again, on a
// thread that serves many runs.
constexpr int kLookForRoomMs = 2;
} // namespace

std::optional<QChar> pacingCharacter(const QString& waitchrText)
{
    const QStringView trimmed = protocol::trimmedOfBlanks(waitchrText);
    if (trimmed.size() != 1)
        return std::nullopt;
    return trimmed.front();
}

std::optional<std::int32_t> pacingDelay(const QString& xmitdelayText)
{
    const auto delay = protocol::roundHalfEvenInt32(protocol::leadingNumber(xmitdelayText));
    if (!delay)
        return std::nullopt;
    return std::max<std::int32_t>(*delay, 0);
}

QString withoutTrailingBlanks(const QString& text)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ')
        --n;
    return text.left(n);
}

bool isBlank(const QString& text)
{
    return protocol::trimmedOfBlanks(text).isEmpty();
}

Transmitter::Outcome Transmitter::transmit(const QString& frame, std::optional<QChar> pacing,
                                           std::int32_t delay,
                                           const std::function<void(const Progress&)>& progress)
{
    return runNow(transmitting(frame, pacing, delay, progress));
}

Task<Transmitter::Outcome> Transmitter::transmitting(QString frame, std::optional<QChar> pacing,
                                                     std::int32_t delay,
                                                     std::function<void(const Progress&)> progress)
{
    m_cancelled = false;
    m_written = 0;
    m_pause.reset();
    if (frame.size() > kMaxFrameLength)
        co_return Outcome::Failed;
    const int total = int(frame.size());

    qsizetype pausesLeft = pacing ? frame.count(*pacing) : 0;
    QElapsedTimer sinceReport;
    sinceReport.start();
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    auto report = [&](int sent) {
        if (progress)
            progress(Progress{sent, total, std::int64_t(pausesLeft) * delay});
    };
    report(0);

    for (int i = 0; i < total; ++i) {
        const QChar c = frame[i];
        if (pacing && c == *pacing) {
            co_await m_pause.waiting(delay);
            --pausesLeft;
            // A pause this long lets the window paint while it waits.
            if (delay >= kPauseRunsEventsMs)
                sinceEvents.restart();
        }
        if (m_cancelled)
            co_return Outcome::Cancelled;
        bool written = false;
        if (m_pause.sharesThread()) {
            // Waiting in write() for room would hold up every other run of
            // the thread: the characters wait their turn here instead. The
            // run up to the next pause goes in one write, as it would go out
            // back to back anyway: a thread serving many ports spends its
            // time in the system's writes.
            int end = i + 1;
            while (end < total && !(pacing && frame[end] == *pacing))
                ++end;
            const QStringView run = QStringView(frame).mid(i, end - i);
            SerialPort::WriteNow now;
            while ((now = m_port.writeNow(run)) == SerialPort::WriteNow::Full) {
                co_await m_pause.waiting(kLookForRoomMs);
                if (m_cancelled)
                    co_return Outcome::Cancelled;
            }
            written = now == SerialPort::WriteNow::Written;
            if (written)
                i = end - 1;
        } else {
            written = m_port.write(c);
        }
        if (!written)
            co_return m_cancelled ? Outcome::Cancelled : Outcome::Failed;
        m_written = i + 1;
        if (sinceReport.elapsed() >= kReportEveryMs) {
            report(m_written);
            sinceReport.restart();
        }
        // Never after the last character: the board may answer at once,
        // and what comes while a frame is going out is not its answer.
        if (m_written < total && sinceEvents.elapsed() >= kReportEveryMs) {
            co_await m_pause.yielding();
            sinceEvents.restart();
            if (m_cancelled)
                co_return Outcome::Cancelled;
        }
    }
    report(total);
    co_return Outcome::Sent;
}

void Transmitter::cancel()
{
    m_cancelled = true;
    m_pause.cancel();
    m_port.cancelWrite();
}

} // namespace varnix::link

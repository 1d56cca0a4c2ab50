#include "link/core/transmitter.h"

#include "link/core/pause.h"
#include "link/core/serialport.h"
#include "protocol/numbers.h"

#include <QElapsedTimer>

namespace varnix::link {

namespace {
// How often the window gets to repaint and the progress to move on a long
// frame that has few or no pauses.
constexpr qint64 kYieldEveryMs = 30;
} // namespace

std::optional<QChar> pacingCharacter(const QString& waitchrText)
{
    QStringView trimmed(waitchrText);
    while (!trimmed.isEmpty() && trimmed.front() == u' ')
        trimmed = trimmed.mid(1);
    while (!trimmed.isEmpty() && trimmed.back() == u' ')
        trimmed.chop(1);
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
    return withoutTrailingBlanks(text).isEmpty();
}

Transmitter::Outcome Transmitter::transmit(const QString& frame, std::optional<QChar> pacing,
                                           std::int32_t delay,
                                           const std::function<void(const Progress&)>& progress)
{
    m_cancelled = false;
    m_written = 0;
    m_pause.reset();
    const QString text = withoutTrailingBlanks(frame);
    if (text.size() > kMaxFrameLength)
        return Outcome::Failed;
    const int total = int(text.size());

    qsizetype pausesLeft = pacing ? text.count(*pacing) : 0;
    QElapsedTimer sinceYield;
    sinceYield.start();
    auto report = [&](int sent) {
        if (progress)
            progress(Progress{sent, total, std::int64_t(pausesLeft) * delay});
    };
    report(0);

    for (int i = 0; i < total; ++i) {
        const QChar c = text[i];
        if (pacing && c == *pacing) {
            m_pause.wait(delay);
            --pausesLeft;
        }
        if (m_cancelled)
            return Outcome::Cancelled;
        if (!m_port.write(c))
            return Outcome::Failed;
        m_written = i + 1;
        if (sinceYield.elapsed() >= kYieldEveryMs) {
            report(m_written);
            m_pause.yield();
            sinceYield.restart();
            if (m_cancelled)
                return Outcome::Cancelled;
        }
    }
    report(total);
    return Outcome::Sent;
}

void Transmitter::cancel()
{
    m_cancelled = true;
    m_pause.cancel();
}

} // namespace varnix::link

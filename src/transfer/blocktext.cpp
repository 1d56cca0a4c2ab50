// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/blocktext.h"

#include "protocol/encodings.h"
#include "protocol/numbers.h"

#include <cmath>

namespace varnix::transfer {

namespace {
constexpr qsizetype kTrailerLength = 8;
constexpr double kLargestExact = 9007199254740992.0; // 2^53
} // namespace

QString capturedReply(const QString& received)
{
    const qsizetype n = received.size();
    if (n >= kTrailerLength && received[n - 4] == u'y' && received[n - 3] == u':')
        return received.first(n - kTrailerLength);
    return received;
}

std::optional<std::int64_t> wholeNumber(QStringView text)
{
    const auto number = protocol::textNumber(text);
    if (!number || !std::isfinite(*number) || std::floor(*number) != *number || std::fabs(*number) > kLargestExact)
        return std::nullopt;
    return std::int64_t(*number);
}

} // namespace varnix::transfer

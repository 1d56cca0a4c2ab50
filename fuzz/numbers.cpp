// SPDX-License-Identifier: GPL-3.0-or-later
// The number readers and the fields' encodings on any text: a text that is
// one number begins with that number, a rounded value lies within a half of
// the number, a number written for a frame reads back the same, and a field
// either gives its frame or a short message naming it.
#include "check.h"

#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "protocol/numbers.h"

#include <QStringList>

#include <cmath>
#include <cstdint>

using namespace varnix;
using protocol::FieldText;
using protocol::FrameResult;

namespace {

// Longer than any message with its quoted text cut short.
constexpr qsizetype kLongestMessage = 300;

void requireComposed(const FrameResult& frame)
{
    if (frame.ok()) {
        FUZZ_REQUIRE(frame.frame.startsWith(u']') && protocol::isLatin1(frame.frame));
    } else {
        const QString message = frame.message();
        FUZZ_REQUIRE(!message.isEmpty() && message.size() <= kLongestMessage);
    }
}

void requireNumberReading(const QString& text)
{
    const double leading = protocol::leadingNumber(text);
    FUZZ_REQUIRE(!std::isnan(leading));
    if (const auto whole = protocol::textNumber(text)) {
        FUZZ_REQUIRE(*whole == leading);
        if (std::isfinite(*whole)) {
            FUZZ_REQUIRE(protocol::textNumber(protocol::decimalText(*whole)) == *whole);
            if (const auto rounded = protocol::roundHalfEven(*whole))
                FUZZ_REQUIRE(std::fabs(double(*rounded) - *whole) <= 0.5);
        }
    }
    const FrameResult pair = protocol::pairOfField(FieldText{QStringLiteral("X"), text});
    if (pair.ok()) {
        const auto value = protocol::roundHalfEven(*protocol::textNumber(text));
        FUZZ_REQUIRE(value && pair.frame == protocol::hexPair(*value));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Up to five fields, a line each.
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList texts = input.split(u'\n');
    requireNumberReading(texts.front());
    while (texts.size() < 5)
        texts << QString();
    const QString page = QStringLiteral("Page");
    const FieldText a{QStringLiteral("A"), texts[0], page}, b{QStringLiteral("B"), texts[1], page},
        c{QStringLiteral("C"), texts[2], page}, d{QStringLiteral("D"), texts[3], page},
        e{QStringLiteral("E"), texts[4], page};

    requireComposed(protocol::circleFrame(a, b, c));
    requireComposed(protocol::rectangleFrame(a, b, c, d, e));
    requireComposed(protocol::lineFrame(a, b, c, d));
    requireComposed(protocol::barFrame(a, b, c, d, texts[4].isEmpty(), texts[4]));
    requireComposed(protocol::putByteFrame(a, b, c));
    requireComposed(protocol::putCharFrame(a, b, c));
    requireComposed(protocol::horizontalStringFrame(a, b, c));
    requireComposed(protocol::verticalStringFrame(a, b, c));
    requireComposed(protocol::xAxisFrame(a, b, c, texts[3]));
    requireComposed(protocol::yAxisFrame(a, b, c, texts[3]));
    requireComposed(protocol::eepromReadFrame(true, a, b));
    requireComposed(protocol::eepromWriteFrame(false, a, std::int32_t(texts[1].size()), c));
    requireComposed(protocol::lcdWriteFrame(a, b, c, d, e));
    requireComposed(protocol::lcdReadFrame(a, b, c, d));
    requireComposed(protocol::fillFrame(texts[0]));
    return 0;
}

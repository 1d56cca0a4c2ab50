// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace varnix::protocol {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isExponentLetter(QChar c)
{
    return c == u'e' || c == u'E' || c == u'd' || c == u'D';
}

// A number as read from a field, before it becomes a double: the digits on
// either side of the point and the exponent, kept apart so the value can be
// built without the C library (whose reading follows the user's locale).
struct NumberParts {
    bool negative = false;
    std::string intDigits;
    std::string fracDigits;
    bool hasPoint = false;
    bool hasExponent = false;  // a letter followed by at least one digit
    bool exponentNegative = false;
    std::int64_t exponent = 0; // saturated, far beyond any double's range
    qsizetype end = 0;         // index just past the last character used

    bool hasMantissa() const { return !intDigits.empty() || !fracDigits.empty(); }
};

constexpr std::int64_t exponentCap = 1'000'000'000;

// Reads sign, digits, point and exponent from `from`, skipping blanks and tabs
// between the parts only when `skipBlanks` is set. Stops at the first
// character that cannot continue the number.
NumberParts readParts(QStringView text, qsizetype from, bool skipBlanks)
{
    NumberParts parts;
    qsizetype i = from;
    const qsizetype size = text.size();
    auto skip = [&] {
        while (skipBlanks && i < size && isBlank(text[i]))
            ++i;
    };

    skip();
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        parts.negative = text[i] == u'-';
        ++i;
    }
    for (;;) {
        skip();
        if (i >= size)
            break;
        const QChar c = text[i];
        if (isAsciiDigit(c)) {
            (parts.hasPoint ? parts.fracDigits : parts.intDigits).push_back(char(c.unicode()));
            ++i;
        } else if (c == u'.' && !parts.hasPoint) {
            parts.hasPoint = true;
            ++i;
        } else {
            break;
        }
    }
    parts.end = i;
    if (!parts.hasMantissa())
        return parts;

    // The exponent counts only when a digit follows its letter and sign; "1e"
    // and "1e+" read as 1 and end before the letter.
    if (i < size && isExponentLetter(text[i])) {
        qsizetype j = i + 1;
        auto skipExp = [&] {
            while (skipBlanks && j < size && isBlank(text[j]))
                ++j;
        };
        skipExp();
        bool expNegative = false;
        if (j < size && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        std::int64_t exponent = 0;
        bool anyDigit = false;
        for (;;) {
            skipExp();
            if (j >= size || !isAsciiDigit(text[j]))
                break;
            anyDigit = true;
            exponent = std::min<std::int64_t>(exponent * 10 + (text[j].unicode() - u'0'), exponentCap);
            ++j;
        }
        if (anyDigit) {
            parts.hasExponent = true;
            parts.exponentNegative = expNegative;
            parts.exponent = exponent;
            parts.end = j;
        }
    }
    return parts;
}

// The double nearest to the parts. The digits are normalised to one leading
// significant digit so that from_chars never sees an exponent it cannot hold;
// values far outside the range of a double become infinity or zero directly.
double valueOf(const NumberParts& parts)
{
    const double sign = parts.negative ? -1.0 : 1.0;
    const std::string digits = parts.intDigits + parts.fracDigits;
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return sign * 0.0;
    const auto last = digits.find_last_not_of('0');

    // Power of ten of the first significant digit.
    std::int64_t scale = std::int64_t(parts.intDigits.size()) - 1 - std::int64_t(first);
    scale += parts.exponentNegative ? -parts.exponent : parts.exponent;
    if (scale > 400)
        return sign * std::numeric_limits<double>::infinity();
    if (scale < -400)
        return sign * 0.0;

    std::string normal;
    normal.reserve(last - first + 16);
    normal.push_back(digits[first]);
    if (last > first) {
        normal.push_back('.');
        normal.append(digits, first + 1, last - first);
    }
    normal.push_back('e');
    normal.append(std::to_string(scale));

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range)
        return sign * (scale > 0 ? std::numeric_limits<double>::infinity() : 0.0);
    return sign * value;
}

template<typename Int>
std::optional<Int> roundedInto(double value)
{
    const auto rounded = roundHalfEven(value);
    if (!rounded || *rounded < std::numeric_limits<Int>::min()
        || *rounded > std::numeric_limits<Int>::max())
        return std::nullopt;
    return Int(*rounded);
}

} // namespace

double leadingNumber(QStringView text)
{
    const NumberParts parts = readParts(text, 0, true);
    return parts.hasMantissa() ? valueOf(parts) : 0.0;
}

std::optional<double> textNumber(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const QStringView core = text.sliced(begin, end - begin);
    const NumberParts parts = readParts(core, 0, false);
    if (!parts.hasMantissa() || parts.end != core.size())
        return std::nullopt;
    return valueOf(parts);
}

std::optional<std::int64_t> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // Worked out by hand rather than with nearbyint so that the current
    // floating-point rounding mode plays no part. value - floor(value) is
    // exact for every double.
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1.0;
    // 2^63 is exactly representable; anything from it upwards does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (rounded < -limit || rounded >= limit)
        return std::nullopt;
    return std::int64_t(rounded);
}

std::optional<std::int32_t> roundHalfEvenInt32(double value)
{
    return roundedInto<std::int32_t>(value);
}

std::optional<std::int16_t> roundHalfEvenInt16(double value)
{
    return roundedInto<std::int16_t>(value);
}

QString decimalText(double value)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    // Shortest text that reads back as the same double, in plain notation.
    std::array<char, 400> buffer{};
    const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return QString();
    return QString::fromLatin1(buffer.data(), ptr - buffer.data());
}

bool naturalLess(QStringView a, QStringView b)
{
    const auto digitsFrom = [](QStringView text, qsizetype at) {
        qsizetype end = at;
        while (end < text.size() && text[end].isDigit())
            ++end;
        return end;
    };
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype endA = digitsFrom(a, i), endB = digitsFrom(b, j);
            // Without their leading zeros, the longer run is the larger
            // number, and runs of one length compare digit by digit.
            while (i + 1 < endA && a[i] == u'0')
                ++i;
            while (j + 1 < endB && b[j] == u'0')
                ++j;
            const QStringView numberA = a.sliced(i, endA - i), numberB = b.sliced(j, endB - j);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace varnix::protocol

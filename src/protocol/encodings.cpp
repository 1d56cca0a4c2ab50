// SPDX-License-Identifier: GPL-3.0-or-later
#include "encodings.h"

#include <limits>

namespace varnix::protocol {

namespace {

constexpr std::int64_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();

QString paddedHex(std::uint64_t value, int width)
{
    return QString::number(value, 16).rightJustified(width, u'0');
}

} // namespace

std::optional<QString> hexPair(std::int64_t value)
{
    if (value < 0 || value > int32Max)
        return std::nullopt;
    return paddedHex(std::uint64_t(value), 2);
}

std::optional<QString> upperHexPair(std::int64_t value)
{
    auto pair = hexPair(value);
    if (pair)
        *pair = pair->toUpper();
    return pair;
}

std::optional<QString> hexWord(std::int64_t value)
{
    if (value < int32Min || value > int32Max)
        return std::nullopt;
    if (value < 0) // the board takes negative addresses as 32-bit two's complement
        return paddedHex(std::uint32_t(std::int32_t(value)), 8).toUpper();
    return paddedHex(std::uint64_t(value), 4).toUpper();
}

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

std::optional<QByteArray> pairBytes(QStringView text, qsizetype count)
{
    QByteArray bytes;
    bytes.reserve(count);
    int high = -1;
    for (const QChar c : text) {
        if (high < 0 && (c.isSpace() || c == u']'))
            continue;
        const int digit = hexDigitValue(c.unicode());
        if (digit < 0 || bytes.size() == count)
            return std::nullopt;
        if (high < 0) {
            high = digit;
            continue;
        }
        bytes += char(high << 4 | digit);
        high = -1;
    }
    if (high >= 0 || bytes.size() != count)
        return std::nullopt;
    return bytes;
}

QString fourDigitDecimal(std::int64_t value)
{
    // The magnitude as unsigned so that the lowest int64 has one too.
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    const QString digits = QString::number(magnitude).rightJustified(4, u'0');
    return value < 0 ? u'-' + digits : digits;
}

QString byteList(QStringView text)
{
    QString list;
    list.reserve(text.size() + text.size() / 2 + 1);
    // An odd last character keeps its own "]" rather than being dropped, so
    // that nothing the user typed is lost silently.
    for (qsizetype i = 0; i < text.size(); i += 2) {
        list += u']';
        list += text.mid(i, 2);
    }
    return list;
}

QStringView trimmedOfBlanks(QStringView text)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.mid(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

QChar controlPicture(QChar c)
{
    if (c.unicode() < 0x20)
        return QChar(char16_t(0x2400 + c.unicode()));
    if (c.unicode() == 0x7f)
        return QChar(char16_t(0x2421));
    return c;
}

bool isLatin1(QStringView text)
{
    return !firstNonLatin1(text).has_value();
}

std::optional<QChar> firstNonLatin1(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return c;
    }
    return std::nullopt;
}

QString latin1Upper(QStringView text)
{
    QString upper;
    upper.reserve(text.size());
    for (const QChar c : text) {
        const QChar capital = c.toUpper();
        // 'ÿ' and 'µ' have capitals outside Latin-1; keep them sendable.
        upper += capital.unicode() <= 0xff ? capital : c;
    }
    return upper;
}

} // namespace varnix::protocol

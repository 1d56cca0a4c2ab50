// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace varnix::protocol {

// Lower-case hexadecimal, at least two digits, never cut (256 -> "100").
// Defined for 0 .. 2147483647 only; no value for negatives and beyond.
std::optional<QString> hexPair(std::int64_t value);
// The same with capital letter digits (10 -> "0A"); used by the string frames.
std::optional<QString> upperHexPair(std::int64_t value);

// Upper-case hexadecimal padded to four digits, never cut (65536 -> "10000");
// a negative value is the eight digits of its 32-bit two's complement
// (-1 -> "FFFFFFFF"). Defined for the signed 32-bit range only.
std::optional<QString> hexWord(std::int64_t value);

// The value of one hexadecimal digit, either case; -1 for any other character.
int hexDigitValue(char16_t c);

// The bytes of a text of hex pairs, as the board answers a read: white
// space and "]" may stand between the pairs, never inside one. Nothing when
// the text holds anything else, a lone digit, or other than `count` bytes.
std::optional<QByteArray> pairBytes(QStringView text, qsizetype count);

// Decimal padded with '0' to at least four digits; negatives as '-' and at
// least four digits (-1 -> "-0001", 19997 -> "19997").
QString fourDigitDecimal(std::int64_t value);

// "]" before every two characters of the text, taken from the left:
// "41424344" -> "]41]42]43]44". No test is made on the characters; the
// empty text gives the empty text. The text must have an even length.
QString byteList(QStringView text);

// The text without the blanks (spaces) at its ends, as the board's tools
// trim a field; tabs and other characters stay.
QStringView trimmedOfBlanks(QStringView text);

// A control character as it is shown where it cannot stand as itself: its
// Unicode control picture (U+2400 + code, U+2421 for DEL). Any other
// character is itself.
QChar controlPicture(QChar c);

// True when every character has a single-byte (Latin-1) form.
bool isLatin1(QStringView text);
// The first character that has no single-byte form, if any.
std::optional<QChar> firstNonLatin1(QStringView text);

// Upper case, character by character, except where the capital has no
// single-byte form ('\u00ff' stays as it is).
QString latin1Upper(QStringView text);

} // namespace varnix::protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace varnix::protocol {

// The number a text begins with, the way the board's tools have always read
// fields: blanks and tabs are skipped wherever they stand, then an optional
// sign, digits with at most one '.', and an optional exponent (E or D in
// either case, optional sign, digits). Reading stops at the first character
// that cannot continue the number; 0 when nothing could be read. A value
// beyond the range of a double reads as +/- infinity.
double leadingNumber(QStringView text);

// The whole text read as one number (sign, digits with at most one '.',
// optional E/D exponent), blanks and tabs allowed only around it. No value
// for anything else: empty text, letters, "12a", "1 2", a lone sign or point.
std::optional<double> textNumber(QStringView text);

// Nearest whole number, a half to the even neighbour (2.5 -> 2, 3.5 -> 4).
// No value when the result does not fit the range asked for.
std::optional<std::int64_t> roundHalfEven(double value);
std::optional<std::int32_t> roundHalfEvenInt32(double value);
std::optional<std::int16_t> roundHalfEvenInt16(double value);

// A number in plain decimal for a raw frame item: whole numbers as their
// digits ("5", "-3"), others with a '.' and no more digits than needed
// ("2.5"). Independent of the user's locale.
QString decimalText(double value);

// Names compared with their runs of digits as numbers, of any length:
// ttyUSB2 before ttyUSB10, frame9.png before frame10.png.
bool naturalLess(QStringView a, QStringView b);

} // namespace varnix::protocol

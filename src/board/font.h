// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>

namespace varnix::board {

constexpr int glyphWidth = 5;
constexpr int glyphHeight = 7;

using Glyph = std::array<quint8, glyphWidth>;

// The firmware's 5 x 7 font: five column bytes, bit 0 the top row. It covers
// the printable characters from blank to "_"; lower-case letters show their
// capitals, ";" shows a blank (the demo's strings write a space so), and any
// other character a hollow box, so that it is seen to be unknown.
Glyph glyph(char c);

} // namespace varnix::board

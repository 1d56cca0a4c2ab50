// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>

namespace varnix::board {

// The board's 128 x 64 monochrome display memory. It is organised as the LCD
// controller keeps it: 8 rows of 128 bytes, each byte a vertical run of 8
// pixels with its lowest bit at the top, so pixel (x, y) is bit y % 8 of the
// byte at column x, row y / 8. Anything outside the display is ignored.
// (Where X11's headers are seen too, spell it varnix::board::Display.)
class Display
{
public:
    static constexpr int width = 128;
    static constexpr int height = 64;
    static constexpr int rows = height / 8;
    static constexpr int byteCount = width * rows;

    bool pixel(int x, int y) const;
    void setPixel(int x, int y, bool on = true);
    void togglePixel(int x, int y);

    // 0 outside the display.
    quint8 byteAt(int column, int row) const;
    void setByte(int column, int row, quint8 value);

    void clear() { m_bytes.fill(0); }

    friend bool operator==(const Display&, const Display&) = default;

private:
    static bool inside(int x, int y) { return x >= 0 && x < width && y >= 0 && y < height; }

    std::array<quint8, byteCount> m_bytes{};
};

} // namespace varnix::board

// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/display.h"

namespace varnix::board {

bool Display::pixel(int x, int y) const
{
    return inside(x, y) && (m_bytes[(y / 8) * width + x] >> (y % 8)) & 1;
}

void Display::setPixel(int x, int y, bool on)
{
    if (!inside(x, y))
        return;
    quint8& byte = m_bytes[(y / 8) * width + x];
    const auto bit = quint8(1u << (y % 8));
    byte = on ? quint8(byte | bit) : quint8(byte & ~bit);
}

void Display::togglePixel(int x, int y)
{
    if (inside(x, y))
        m_bytes[(y / 8) * width + x] ^= quint8(1u << (y % 8));
}

quint8 Display::byteAt(int column, int row) const
{
    if (column < 0 || column >= width || row < 0 || row >= rows)
        return 0;
    return m_bytes[row * width + column];
}

void Display::setByte(int column, int row, quint8 value)
{
    if (column >= 0 && column < width && row >= 0 && row < rows)
        m_bytes[row * width + column] = value;
}

} // namespace varnix::board

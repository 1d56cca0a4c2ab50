// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/drawing.h"

#include "board/font.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace varnix::board {

void drawLine(Display& display, int x0, int y0, int x1, int y1, int dash)
{
    dash = std::max(dash, 1);
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (int i = 0;; ++i) {
        if (i % dash == 0)
            display.setPixel(x0, y0);
        if (x0 == x1 && y0 == y1)
            return;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void drawCircle(Display& display, int cx, int cy, int radius)
{
    int x = radius;
    int y = 0;
    int error = 1 - radius;
    while (x >= y) {
        for (const auto& [px, py] : {std::pair{x, y}, std::pair{y, x}}) {
            display.setPixel(cx + px, cy + py);
            display.setPixel(cx - px, cy + py);
            display.setPixel(cx + px, cy - py);
            display.setPixel(cx - px, cy - py);
        }
        ++y;
        if (error < 0) {
            error += 2 * y + 1;
        } else {
            --x;
            error += 2 * (y - x) + 1;
        }
    }
}

void drawStar(Display& display, int cx, int cy, int size)
{
    const int inner = size / 4;
    // Outer points and inner vertices, going round; each edge starts at an
    // outer point so that all four tips are drawn.
    const std::pair<int, int> tips[] = {{size, 0}, {0, -size}, {-size, 0}, {0, size}};
    const std::pair<int, int> inners[] = {{inner, -inner}, {-inner, -inner}, {-inner, inner}, {inner, inner}};
    for (int i = 0; i < 4; ++i) {
        const auto [ix, iy] = inners[i];
        for (const auto& [tx, ty] : {tips[i], tips[(i + 1) % 4]})
            drawLine(display, cx + tx, cy + ty, cx + ix, cy + iy, 2);
    }
}

void drawRectangle(Display& display, int x1, int y1, int x2, int y2, int step)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    if (x1 == x2 || y1 == y2) {
        drawLine(display, x1, y1, x2, y2, step);
        return;
    }
    drawLine(display, x1, y1, x2, y1, step);
    drawLine(display, x1, y2, x2, y2, step);
    drawLine(display, x1, y1, x1, y2, step);
    drawLine(display, x2, y1, x2, y2, step);
}

void fillBar(Display& display, int x1, int y1, int x2, int y2, int step)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    step = std::max(step, 1);
    for (int y = y1; y <= std::min(y2, Display::height - 1); y += step)
        for (int x = x1; x <= std::min(x2, Display::width - 1); x += step)
            display.setPixel(x, y);
}

void fillGrid(Display& display, int step)
{
    step = std::max(step, 1);
    for (int x = 0; x < Display::width; ++x)
        for (int y = 0; y < Display::height; ++y)
            display.setPixel(x, y, x % step == 0 || y % step == 0);
}

void drawXAxis(Display& display, int x1, int x2, int y, int tick)
{
    drawLine(display, x1, y, x2, y);
    tick = std::max(tick, 1);
    const int direction = x1 <= x2 ? 1 : -1;
    for (int x = x1; (x2 - x) * direction >= 0; x += tick * direction) {
        display.setPixel(x, y + 1);
        display.setPixel(x, y + 2);
    }
}

void drawYAxis(Display& display, int y1, int y2, int x, int tick)
{
    drawLine(display, x, y1, x, y2);
    tick = std::max(tick, 1);
    const int direction = y1 <= y2 ? 1 : -1;
    for (int y = y1; (y2 - y) * direction >= 0; y += tick * direction) {
        display.setPixel(x - 1, y);
        display.setPixel(x - 2, y);
    }
}

void drawGlyph(Display& display, int left, int top, char c)
{
    const Glyph columns = glyph(c);
    for (int x = 0; x < glyphWidth; ++x)
        for (int y = 0; y < glyphHeight; ++y)
            display.setPixel(left + x, top + y, (columns[x] >> y) & 1);
}

} // namespace varnix::board

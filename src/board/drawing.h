// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"

namespace varnix::board {

// The firmware's shapes. Pixels that fall off the display are dropped one by
// one, so a shape may lie partly or wholly off it; the cost grows with the
// shape's size, so keep coordinates within a few thousand pixels of the
// display (the firmware's are bytes). Steps below 1 count as 1.

// Bresenham's line from (x0, y0) to (x1, y1) with every dash-th pixel set,
// counted from (x0, y0): dash 1 is solid, 2 sets every other pixel.
void drawLine(Display& display, int x0, int y0, int x1, int y1, int dash = 1);

// Midpoint circle outline.
void drawCircle(Display& display, int cx, int cy, int radius);

// Four-point star in dashed lines: points at (cx ± size, cy) and
// (cx, cy ± size), inner vertices at (cx ± size/4, cy ± size/4), every other
// pixel of its eight edges set, starting at each edge's outer point.
void drawStar(Display& display, int cx, int cy, int size);

// Outline of the rectangle with the corners (x1, y1) and (x2, y2), both
// inclusive and in either order. Each side has a pixel every step pixels from
// the top or left corner. Corners on one row or one column give a single line.
void drawRectangle(Display& display, int x1, int y1, int x2, int y2, int step);

// Filled bar with the corners (x1, y1) and (x2, y2), both inclusive and in
// either order: with step n the pixels n apart in both directions from the
// top left corner, so step 1 is solid.
void fillBar(Display& display, int x1, int y1, int x2, int y2, int step);

// The whole display becomes a grid: the pixels whose x or y is a multiple of
// step are set, all others cleared (step 1 sets every pixel).
void fillGrid(Display& display, int step);

// Axis lines with tick marks every tick pixels from the start, the start
// included: an x-axis's ticks are the 2 pixels below it, a y-axis's the
// 2 pixels left of it.
void drawXAxis(Display& display, int x1, int x2, int y, int tick);
void drawYAxis(Display& display, int y1, int y2, int x, int tick);

// A character of the font in its 5 x 7 cell, drawn opaque: pixels of the
// cell outside the glyph are cleared.
void drawGlyph(Display& display, int left, int top, char c);

} // namespace varnix::board

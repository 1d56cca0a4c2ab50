// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"

#include <QColor>
#include <QImage>

// The colours of the board's LCD, shared by the program's icon and the
// pictures of the display.
namespace varnix::lcd {
inline const QColor background{178, 198, 92};
inline const QColor pixelOn{28, 40, 20};
inline const QColor bezel{46, 52, 64};
// What a drawing page's button would change: pixels it sets, pixels it clears.
inline const QColor previewOn{178, 34, 52};
inline const QColor previewOff{222, 150, 140};
} // namespace varnix::lcd

namespace varnix::render {

// The whole display as a black-and-white picture, one pixel a dot, colour
// index 1 dark: as Save Picture writes a block and --preview a script.
QImage displayPicture(const board::Display& display);

// The colours a picture of the display is drawn in: the LCD's, or black on
// white, as the pictures saved from it are.
struct DisplayColours {
    QColor background;
    QColor on;
    QColor previewOn;
    QColor previewOff;
    static DisplayColours lcd();
    static DisplayColours paper();
};

// A picture of the board's display in the LCD's colours, each pixel a square
// of scale x scale. With a preview, the pixels the preview changes are drawn
// in a second colour: those it sets in full, those it clears faintly.
QImage renderDisplay(const board::Display& display, int scale = 1, const board::Display* preview = nullptr);
QImage renderDisplay(const board::Display& display, int scale, const board::Display* preview,
                     const DisplayColours& colours);

} // namespace varnix::render

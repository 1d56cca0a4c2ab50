// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace varnix {

// The colours of the board's LCD, shared by the program's icon and the
// pictures of the display.
namespace lcd {
inline const QColor background{178, 198, 92};
inline const QColor pixelOn{28, 40, 20};
inline const QColor bezel{46, 52, 64};
// What a drawing page's button would change: pixels it sets, pixels it clears.
inline const QColor previewOn{178, 34, 52};
inline const QColor previewOff{222, 150, 140};
} // namespace lcd

// The program's icon, a small LCD showing a circle, drawn for a square of
// the given side in pixels (crisp at every size: the LCD's pixels are whole
// squares).
QImage programIcon(int size);
// The sizes a desktop asks for, in the window and in the icon theme.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The icon at those sizes.
QIcon programIconSet();

} // namespace varnix

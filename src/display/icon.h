// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "render/displaypicture.h"

#include <QIcon>
#include <QImage>

namespace varnix {

// The program's icon, a small LCD showing a circle, drawn for a square of
// the given side in pixels (crisp at every size: the LCD's pixels are whole
// squares).
QImage programIcon(int size);
// The sizes a desktop asks for, in the window and in the icon theme.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The icon at those sizes.
QIcon programIconSet();

} // namespace varnix

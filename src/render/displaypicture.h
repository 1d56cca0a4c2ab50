// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"

#include <QImage>

namespace varnix::render {

// The whole display as a black-and-white picture, one pixel a dot, colour
// index 1 dark: as Save Picture writes a block and --preview a script.
QImage displayPicture(const board::Display& display);

} // namespace varnix::render

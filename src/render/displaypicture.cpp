// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/displaypicture.h"

#include "render/picture.h"

namespace varnix::render {

QImage displayPicture(const board::Display& display)
{
    QString hex;
    hex.reserve(board::Display::byteCount * 2);
    for (int row = 0; row < board::Display::rows; ++row) {
        for (int column = 0; column < board::Display::width; ++column)
            hex += QStringLiteral("%1").arg(display.byteAt(column, row), 2, 16, QLatin1Char('0'));
    }
    return blockPicture(hex, LcdBlock{}).value_or(QImage());
}

} // namespace varnix::render

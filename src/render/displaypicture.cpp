// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/displaypicture.h"

#include "render/picture.h"

#include <algorithm>

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

DisplayColours DisplayColours::lcd()
{
    return {lcd::background, lcd::pixelOn, lcd::previewOn, lcd::previewOff};
}

DisplayColours DisplayColours::paper()
{
    return {Qt::white, Qt::black, lcd::previewOn, lcd::previewOff};
}

QImage renderDisplay(const board::Display& display, int scale, const board::Display* preview)
{
    return renderDisplay(display, scale, preview, DisplayColours::lcd());
}

QImage renderDisplay(const board::Display& display, int scale, const board::Display* preview,
                     const DisplayColours& colours)
{
    QImage image(board::Display::width, board::Display::height, QImage::Format_RGB32);
    image.fill(colours.background);
    for (int y = 0; y < board::Display::height; ++y) {
        for (int x = 0; x < board::Display::width; ++x) {
            const bool now = display.pixel(x, y);
            const bool then = preview ? preview->pixel(x, y) : now;
            if (now || then)
                image.setPixel(x, y, (now == then ? colours.on : then ? colours.previewOn : colours.previewOff).rgb());
        }
    }
    // Whole factors without smoothing: every dot a crisp square.
    return image.scaled(image.size() * std::max(scale, 1));
}

} // namespace varnix::render

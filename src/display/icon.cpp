// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/icon.h"

#include "board/drawing.h"

#include <QPainter>

#include <cmath>

namespace varnix {

namespace {
// The icon is designed on a grid of 32 x 32 units.
constexpr int kGrid = 32;
} // namespace

QImage programIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const double unit = double(size) / kGrid;

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(lcd::bezel);
    painter.drawRoundedRect(QRectF(0.5 * unit, 3 * unit, 31 * unit, 26 * unit), 3 * unit, 3 * unit);

    // The screen and its pixels sit on whole device pixels so that they stay sharp.
    painter.setRenderHint(QPainter::Antialiasing, false);
    auto snap = [&](double units) { return int(std::lround(units * unit)); };
    painter.setBrush(lcd::background);
    painter.drawRect(QRect(QPoint(snap(3), snap(6)), QPoint(snap(29) - 1, snap(26) - 1)));

    // A larger icon shows the gaps between the LCD's dots.
    const int gap = size >= 64 ? std::max(1, int(unit / 6)) : 0;
    // The circle as the board draws one.
    board::Display circle;
    board::drawCircle(circle, 16, 16, 7);
    painter.setBrush(lcd::pixelOn);
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            if (circle.pixel(x, y))
                painter.drawRect(QRect(QPoint(snap(x), snap(y)), QPoint(snap(x + 1) - 1 - gap, snap(y + 1) - 1 - gap)));
        }
    }
    return image;
}

QIcon programIconSet()
{
    QIcon icon;
    for (int size : kIconSizes)
        icon.addPixmap(QPixmap::fromImage(programIcon(size)));
    return icon;
}

} // namespace varnix

// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/elidedlabel.h"

#include <QPainter>
#include <QStyle>

namespace varnix {

QSize ElidedLabel::sizeHint() const
{
    return minimumSizeHint();
}

QSize ElidedLabel::minimumSizeHint() const
{
    // One line high whatever the text, and no width of its own.
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right(),
            fontMetrics().height() + margins.top() + margins.bottom() + 2 * margin()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextSingleLine, palette(),
                          isEnabled(), shown, foregroundRole());
}

} // namespace varnix

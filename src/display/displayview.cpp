// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/displayview.h"

#include "display/icon.h"

#include <QPainter>

#include <algorithm>

namespace varnix {

namespace {
constexpr int kBorder = 8;
} // namespace

DisplayView::DisplayView(int scale, QWidget* parent) : QWidget(parent), m_scale(std::max(scale, 1))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DisplayView::setDisplay(const board::Display& display)
{
    if (display == m_display)
        return;
    m_display = display;
    update();
}

void DisplayView::setPreview(const std::optional<board::Display>& preview)
{
    if (preview == m_preview)
        return;
    m_preview = preview;
    update();
}

void DisplayView::setUncertain(const QString& note)
{
    if (note == m_uncertainNote)
        return;
    m_uncertainNote = note;
    update();
}

QSize DisplayView::sizeHint() const
{
    return {board::Display::width * m_scale + 2 * kBorder, board::Display::height * m_scale + 2 * kBorder};
}

QSize DisplayView::minimumSizeHint() const
{
    return {board::Display::width + 2 * kBorder, board::Display::height + 2 * kBorder};
}

void DisplayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), lcd::bezel);
    const int scale = std::max(1, std::min((width() - 2 * kBorder) / board::Display::width,
                                           (height() - 2 * kBorder) / board::Display::height));
    QImage picture = renderDisplay(m_display, scale, m_preview ? &*m_preview : nullptr);
    if (!m_uncertainNote.isEmpty())
        picture = picture.convertToFormat(QImage::Format_Grayscale8);
    const QRect place(QPoint((width() - picture.width()) / 2, (height() - picture.height()) / 2), picture.size());
    painter.drawImage(place.topLeft(), picture);
    if (m_uncertainNote.isEmpty())
        return;
    // Faded further, so that the note reads over any drawing.
    painter.fillRect(place, QColor(128, 128, 128, 140));
    painter.setPen(Qt::black);
    painter.drawText(place.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, m_uncertainNote);
}

} // namespace varnix

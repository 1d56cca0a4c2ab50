// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/canvas.h"

#include "display/displayview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace varnix {

namespace {

// A colour over another, as a painter blends a pen of that alpha.
QRgb over(QRgb under, QColor colour)
{
    const int alpha = colour.alpha();
    const auto mix = [alpha](int below, int above) { return (below * (255 - alpha) + above * alpha) / 255; };
    return qRgb(mix(qRed(under), colour.red()), mix(qGreen(under), colour.green()), mix(qBlue(under), colour.blue()));
}

// A colour blended over the few colours a display's picture has, each
// worked out once.
class Blend
{
public:
    explicit Blend(QColor colour) : m_colour(colour) {}
    QRgb operator()(QRgb under)
    {
        if (under != m_under) {
            m_under = under;
            m_result = over(under, m_colour);
        }
        return m_result;
    }

private:
    QColor m_colour;
    QRgb m_under = 0;
    QRgb m_result = over(0, m_colour);
};

// The grid between the dots and the dashed lines between the rows of 8,
// put into the picture's pixels: a painter's lines cost many times more.
void drawLines(QImage& picture, int zoom, bool grid, QColor gridColour, QColor rowColour)
{
    Blend gridded(gridColour);
    Blend rowed(rowColour);
    const int width = picture.width();
    for (int y = 1; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        if (y % (8 * zoom) == 0) {
            for (int x = 0; x < width; ++x)
                if ((x / 3) % 2 == 0)
                    line[x] = rowed(line[x]);
        } else if (grid && y % zoom == 0) {
            for (int x = 0; x < width; ++x)
                line[x] = gridded(line[x]);
        } else if (grid) {
            for (int x = zoom; x < width; x += zoom)
                line[x] = gridded(line[x]);
        }
    }
}

// Handles are squares of this many screen pixels, found within a few more.
constexpr int kHandleSide = 7;
constexpr int kHandleReach = 6;
const QColor kSelectionColour{32, 96, 255};
} // namespace

ScreenCanvas::ScreenCanvas(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeHint());
}

void ScreenCanvas::setDisplay(const board::Display& display)
{
    if (display == m_display)
        return;
    m_display = display;
    update();
}

void ScreenCanvas::setComparison(const std::optional<board::Display>& board)
{
    m_comparison = board;
    update();
}

void ScreenCanvas::setMarks(const Marks& marks)
{
    m_marks = marks;
    update();
}

void ScreenCanvas::setZoom(int zoom)
{
    zoom = std::clamp(zoom, kSmallestZoom, kLargestZoom);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    setFixedSize(sizeHint());
    update();
    emit zoomed(zoom);
}

void ScreenCanvas::setGrid(bool on)
{
    m_grid = on;
    update();
}

void ScreenCanvas::setBoardColours(bool on)
{
    m_boardColours = on;
    update();
}

QSize ScreenCanvas::sizeHint() const
{
    return {board::Display::width * m_zoom, board::Display::height * m_zoom};
}

QPoint ScreenCanvas::dotAt(QPoint point) const
{
    const auto dot = [this](int at) { return at >= 0 ? at / m_zoom : -((-at + m_zoom - 1) / m_zoom); };
    return {dot(point.x()), dot(point.y())};
}

int ScreenCanvas::handleAt(QPoint point) const
{
    for (qsizetype i = 0; i < m_marks.handles.size(); ++i) {
        const QPoint centre = onWidget(QRect(m_marks.handles[i], QSize(1, 1))).center();
        if (std::abs(centre.x() - point.x()) <= kHandleReach && std::abs(centre.y() - point.y()) <= kHandleReach)
            return int(i);
    }
    return -1;
}

QRect ScreenCanvas::onWidget(const QRect& dots) const
{
    return {dots.x() * m_zoom, dots.y() * m_zoom, dots.width() * m_zoom, dots.height() * m_zoom};
}

void ScreenCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const DisplayColours colours = m_boardColours ? DisplayColours::lcd() : DisplayColours::paper();
    QImage picture = renderDisplay(m_display, m_zoom, m_comparison ? &*m_comparison : nullptr, colours);
    // The grid where the dots are large enough for it, and the rows of 8
    // dots that the display memory's bytes make.
    drawLines(picture, m_zoom, m_grid && m_zoom >= 4, QColor(0, 0, 0, m_boardColours ? 40 : 28),
              QColor(200, 60, 60, 150));
    painter.drawImage(0, 0, picture);

    if (!m_marks.dotBlock.isNull()) {
        painter.setPen(QPen(QColor(255, 140, 0), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(onWidget(m_marks.dotBlock));
        if (m_marks.dotCursor) {
            painter.setPen(QPen(QColor(255, 140, 0), 1));
            painter.drawRect(onWidget(QRect(*m_marks.dotCursor, QSize(1, 1))).adjusted(0, 0, -1, -1));
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kSelectionColour, 1, Qt::DashLine));
    for (const QRect& selected : m_marks.selected)
        painter.drawRect(onWidget(selected).adjusted(-1, -1, 0, 0));
    painter.setPen(QPen(kSelectionColour, 1));
    painter.setBrush(Qt::white);
    for (const QPoint& handle : m_marks.handles) {
        const QPoint centre = onWidget(QRect(handle, QSize(1, 1))).center();
        painter.drawRect(QRect(centre - QPoint(kHandleSide / 2, kHandleSide / 2), QSize(kHandleSide, kHandleSide)));
    }
    if (!m_marks.rubberBand.isNull()) {
        painter.setBrush(QColor(32, 96, 255, 40));
        painter.setPen(QPen(kSelectionColour, 1, Qt::DotLine));
        painter.drawRect(onWidget(m_marks.rubberBand));
    }
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().highlight().color(), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void ScreenCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const QPoint at = event->position().toPoint();
    emit pressed(dotAt(at), event->modifiers(), handleAt(at));
}

void ScreenCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint dot = dotAt(event->position().toPoint());
    emit hovered(dot);
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        emit dragged(dot);
}

void ScreenCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_dragging = false;
    emit released(dotAt(event->position().toPoint()));
}

void ScreenCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked(dotAt(event->position().toPoint()));
}

void ScreenCanvas::leaveEvent(QEvent* event)
{
    emit hovered(std::nullopt);
    QWidget::leaveEvent(event);
}

void ScreenCanvas::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    setZoom(m_zoom + (event->angleDelta().y() > 0 ? 1 : -1));
    event->accept();
}

void ScreenCanvas::keyPressEvent(QKeyEvent* event)
{
    if (onKey && onKey(event))
        return;
    QWidget::keyPressEvent(event);
}

bool ScreenCanvas::focusNextPrevChild(bool next)
{
    if (onTab && onTab(next))
        return true;
    return QWidget::focusNextPrevChild(next);
}

} // namespace varnix

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>

class QKeyEvent;

namespace varnix {

// The screen editor's canvas: the display as the firmware model draws the
// screen, each dot a square of the zoom's size, with a grid of dots, the
// LCD's rows of 8 marked, and what is selected framed with its handles.
// It knows nothing of objects: it says where the mouse goes in dots, and
// hands its keys to the editor.
class ScreenCanvas : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSmallestZoom = 1;
    static constexpr int kLargestZoom = 16;

    explicit ScreenCanvas(QWidget* parent = nullptr);

    void setDisplay(const board::Display& display);
    const board::Display& display() const { return m_display; }
    // What the board showed when compared, drawn over the display as the
    // display view draws a preview; none draws the display alone.
    void setComparison(const std::optional<board::Display>& board);
    const std::optional<board::Display>& comparison() const { return m_comparison; }

    // What the editor marks, in dots of the display.
    struct Marks {
        QList<QRect> selected;
        QList<QPoint> handles;
        QRect rubberBand;
        // The block whose dots are drawn, and the dot the keys work on.
        QRect dotBlock;
        std::optional<QPoint> dotCursor;
    };
    void setMarks(const Marks& marks);

    int zoom() const { return m_zoom; }
    void setZoom(int zoom);
    bool grid() const { return m_grid; }
    void setGrid(bool on);
    bool boardColours() const { return m_boardColours; }
    void setBoardColours(bool on);

    // The dot under a point of the widget; it may lie off the display.
    QPoint dotAt(QPoint point) const;
    // The handle near a point of the widget, -1 for none.
    int handleAt(QPoint point) const;

    // Keys for the editor; true when it took the key.
    std::function<bool(QKeyEvent*)> onKey;
    // Tab and Shift+Tab: true when the editor moved to another object, so
    // that the focus stays; otherwise it goes on to the next control.
    std::function<bool(bool forward)> onTab;

    QSize sizeHint() const override;

signals:
    void pressed(QPoint dot, Qt::KeyboardModifiers modifiers, int handle);
    void dragged(QPoint dot);
    void released(QPoint dot);
    void doubleClicked(QPoint dot);
    // The dot under the mouse, or none when it left the canvas.
    void hovered(std::optional<QPoint> dot);
    void zoomed(int zoom);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QRect onWidget(const QRect& dots) const;

    board::Display m_display;
    std::optional<board::Display> m_comparison;
    Marks m_marks;
    int m_zoom = 5;
    bool m_grid = true;
    bool m_boardColours = true;
    bool m_dragging = false;
};

} // namespace varnix

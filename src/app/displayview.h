#pragma once

#include "board/display.h"

#include <QImage>
#include <QWidget>

namespace varnix {

// A picture of the board's display in the LCD's colours, each pixel a square
// of scale x scale.
QImage renderDisplay(const board::Display& display, int scale = 1);

// Shows a display scaled by the largest whole factor that fits, so that its
// pixels stay crisp squares.
class DisplayView : public QWidget
{
    Q_OBJECT
public:
    explicit DisplayView(QWidget* parent = nullptr);

    void setDisplay(const board::Display& display);
    const board::Display& display() const { return m_display; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    board::Display m_display;
};

} // namespace varnix

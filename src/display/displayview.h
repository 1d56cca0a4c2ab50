// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "render/displaypicture.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>

namespace varnix {

using render::DisplayColours;
using render::renderDisplay;

// Shows a display scaled by the largest whole factor that fits, so that its
// pixels stay crisp squares.
class DisplayView : public QWidget
{
    Q_OBJECT
public:
    // Its preferred size shows each pixel as a square of `scale` pixels.
    explicit DisplayView(int scale = 4, QWidget* parent = nullptr);

    void setDisplay(const board::Display& display);
    const board::Display& display() const { return m_display; }
    // What the display would become, shown over it; none shows the display alone.
    void setPreview(const std::optional<board::Display>& preview);
    const std::optional<board::Display>& preview() const { return m_preview; }
    // With a note, what is shown may not be what the board shows: the
    // picture is greyed and the note written over it. Empty: shown plainly.
    void setUncertain(const QString& note);
    const QString& uncertainNote() const { return m_uncertainNote; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_scale;
    board::Display m_display;
    std::optional<board::Display> m_preview;
    QString m_uncertainNote;
};

} // namespace varnix

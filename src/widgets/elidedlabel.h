// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace varnix {

// A label of one line that takes the width it is given and no more: a text
// too long for it ends in "…", so that a longer text never widens or
// heightens the window. text() and the accessible name stay whole.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace varnix

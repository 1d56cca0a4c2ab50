// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace varnix {

// Alt and the underlined letter of a button's caption press that button. Qt
// takes a letter that two visible, enabled buttons of a window share as
// ambiguous and presses neither, only moving the focus between them. Here
// the button inside the inner area (the page in view) wins over one of the
// window around it, whose key works everywhere else. Two buttons with the
// same letter inside the inner area stay Qt's ambiguous case.
class AccessKeys : public QObject
{
    Q_OBJECT
public:
    // Watches the key events of the application while it lives; a child of
    // `window`, so it goes with it.
    AccessKeys(QWidget* window, QWidget* inner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_inner;
};

} // namespace varnix

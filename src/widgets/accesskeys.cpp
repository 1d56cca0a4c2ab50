// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/accesskeys.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcutEvent>
#include <QWidget>

namespace varnix {

AccessKeys::AccessKeys(QWidget* window, QWidget* inner) : QObject(window), m_window(window), m_inner(inner)
{
    // Qt hands an ambiguous access key to one of the buttons that share it;
    // which one is its own affair, so the choice is made before any of them
    // sees it.
    QCoreApplication::instance()->installEventFilter(this);
}

bool AccessKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Shortcut || !m_window || !m_inner)
        return false;
    const auto* shortcut = static_cast<QShortcutEvent*>(event);
    auto* owner = qobject_cast<QAbstractButton*>(watched);
    if (!shortcut->isAmbiguous() || !owner || owner->window() != m_window)
        return false;
    QAbstractButton* winner = nullptr;
    for (QAbstractButton* button : m_inner->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || !button->isEnabled()
            || QKeySequence::mnemonic(button->text()) != shortcut->key())
            continue;
        if (winner)
            return false;
        winner = button;
    }
    if (!winner)
        return false;
    // As Qt presses a button by its key: shown down for a moment.
    winner->animateClick();
    return true;
}

} // namespace varnix

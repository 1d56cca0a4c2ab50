// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/inputhold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace varnix {

InputHold::InputHold(QObject* parent) : QObject(parent) {}

InputHold::~InputHold()
{
    if (m_holding)
        QCoreApplication::instance()->removeEventFilter(this);
}

void InputHold::hold(const QList<QWidget*>& through)
{
    m_through.clear();
    for (QWidget* widget : through)
        m_through << widget;
    if (!m_holding)
        QCoreApplication::instance()->installEventFilter(this);
    m_holding = true;
}

void InputHold::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    QCoreApplication::instance()->removeEventFilter(this);
    for (Held& held : std::exchange(m_held, {})) {
        if (held.receiver)
            QCoreApplication::postEvent(held.receiver, held.event.release());
    }
}

bool InputHold::letThrough(const QWidget* widget) const
{
    for (const QPointer<QWidget>& through : m_through) {
        if (through && (widget == through || through->isAncestorOf(widget)))
            return true;
    }
    return false;
}

bool InputHold::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Wheel:
        break;
    default:
        return false;
    }
    // A window hands its input on to its widgets, where it is held.
    if (!watched->isWidgetType())
        return false;
    if (letThrough(static_cast<QWidget*>(watched)))
        return false;
    m_held.push_back(Held{watched, std::unique_ptr<QEvent>(event->clone())});
    return true;
}

} // namespace varnix

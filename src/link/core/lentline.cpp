// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/lentline.h"

#include <QObject>
#include <QSocketNotifier>

#include <algorithm>

namespace varnix::link {

bool QuietNotifiers::silence(QObject& owner)
{
    // Qt has no switch for them: QSerialPort keeps its notifiers as its
    // children, QTcpSocket as children of its socket engine, its child.
    const QList<QSocketNotifier*> found = owner.findChildren<QSocketNotifier*>();
    if (!m_notifiers.isEmpty() || std::none_of(found.begin(), found.end(), [](const QSocketNotifier* n) {
            return n->type() == QSocketNotifier::Read && n->isEnabled();
        }))
        return false;
    for (QSocketNotifier* notifier : found) {
        m_notifiers.append({notifier, notifier->isEnabled()});
        notifier->setEnabled(false);
    }
    return true;
}

void QuietNotifiers::restore()
{
    for (const auto& [notifier, enabled] : std::as_const(m_notifiers)) {
        if (notifier)
            notifier->setEnabled(enabled);
    }
    m_notifiers.clear();
}

} // namespace varnix::link

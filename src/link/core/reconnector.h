// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/deviceidentity.h"

#include <QObject>

class QTimer;

namespace varnix::link {

class Connection;
class PortMap;

// Opens the port again on its own when the device that was lost comes back:
// the same adapter under whatever kernel name, or a virtual board started
// again under the same link. The device is known by what it was when it was
// opened, and it is opened again with the port number and line settings it
// had when it was lost. Nothing is shown to the user from here.
class Reconnector : public QObject
{
    Q_OBJECT
public:
    Reconnector(Connection& connection, PortMap& ports, QObject* parent = nullptr);

    // Off: a lost device is not waited for (a loss while off is still
    // remembered, so turning it on again waits for it).
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // Whether a lost device is being waited for.
    bool isWaiting() const;
    // A person took the port in hand (Open, another port), or the window is
    // ending: the lost device is waited for no more.
    void forget();

signals:
    // Waiting for a lost device began or ended.
    void waitingChanged(bool waiting);
    // The port is open again on the device that was lost (its path now).
    void reconnected(const QString& device);
    // The device is back but would not open; told once per return. The
    // reason is for the user and may be empty. Waiting goes on.
    void reopenFailed(const QString& device, const QString& reason);

private:
    void onOpened();
    void onLost();
    void look();
    // The port's answer: is the device there to be opened?
    void onProbed(bool present);
    void setPending(bool pending);
    // The device did not open: another look later, the user told once.
    void tryAgainLater();

    Connection& m_connection;
    PortMap& m_ports;
    // The device open now, or the one that was lost.
    DeviceIdentity m_identity;
    int m_number = 0;
    QString m_settings;
    bool m_enabled = true;
    bool m_pending = false;
    // Opening the port again: from the look until the open has answered.
    bool m_looking = false;
    // Asked the port whether the device is there; the answer is awaited.
    bool m_probing = false;
    QString m_device;
    int m_failures = 0;
    QTimer* m_retry;
};

} // namespace varnix::link

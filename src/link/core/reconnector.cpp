// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/reconnector.h"

#include "link/core/connection.h"
#include "link/core/portmap.h"
#include "link/core/serialport.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace varnix::link {

namespace {
// A look soon after the loss finds a device that came back before the loss
// was noticed; a device that is back but will not open yet (udev has not
// given it its group) is tried again, less often the longer it refuses.
constexpr int kFirstLookMs = 1000;
constexpr int kRetryMs = 500;
constexpr int kLongestRetryMs = 5000;
// Refusals before the user is told: the first is usually udev's.
constexpr int kQuietFailures = 2;
} // namespace

Reconnector::Reconnector(Connection& connection, PortMap& ports, QObject* parent)
    : QObject(parent), m_connection(connection), m_ports(ports), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &Reconnector::look);
    connect(&m_connection, &Connection::opened, this, &Reconnector::onOpened);
    connect(&m_connection, &Connection::openFailed, this, [this] {
        if (std::exchange(m_looking, false))
            tryAgainLater();
    });
    connect(&m_connection, &Connection::lost, this, &Reconnector::onLost);
    connect(&m_ports, &PortMap::changed, this, &Reconnector::look);
    connect(&m_connection.port(), &SerialPort::probed, this, &Reconnector::onProbed);
}

bool Reconnector::isWaiting() const
{
    return m_pending && m_enabled;
}

void Reconnector::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    const bool wasWaiting = isWaiting();
    m_enabled = enabled;
    if (isWaiting() == wasWaiting)
        return;
    emit waitingChanged(isWaiting());
    if (isWaiting()) {
        m_failures = 0;
        look();
    } else {
        m_retry->stop();
    }
}

void Reconnector::forget()
{
    // An open of its own still under way is given up with the wait.
    if (std::exchange(m_looking, false) && m_connection.state() == Connection::State::Opening)
        m_connection.close();
    setPending(false);
}

void Reconnector::setPending(bool pending)
{
    const bool wasWaiting = isWaiting();
    m_pending = pending;
    m_failures = 0;
    // An answer still to come is for a wait that is over.
    m_probing = false;
    if (!isWaiting())
        m_retry->stop();
    if (isWaiting() != wasWaiting)
        emit waitingChanged(isWaiting());
}

void Reconnector::onOpened()
{
    // Known now, while the device is there to be asked.
    SerialPort& port = m_connection.port();
    m_identity = m_ports.identity(port.device());
    m_number = port.portNumber();
    m_settings = port.settings();
    setPending(false);
    if (std::exchange(m_looking, false))
        emit reconnected(port.device());
}

void Reconnector::onLost()
{
    if (!m_identity.isKnown())
        return;
    setPending(true);
    if (isWaiting())
        m_retry->start(kFirstLookMs);
}

void Reconnector::look()
{
    // Opening lists the devices again, which may tell of a change: that is
    // this same look.
    if (!isWaiting() || m_looking || m_probing || m_connection.isOpen())
        return;
    const QString device = m_ports.device(m_number);
    if (device.isEmpty() || !sameDevice(m_identity, m_ports.identity(device))) {
        m_failures = 0;
        m_retry->stop();
        return;
    }
    SerialPort& port = m_connection.port();
    port.setPortNumber(m_number);
    port.setSettings(m_settings);
    // Asked first, so that a device that does not answer (a network host
    // that is down) is waited for with the window going on.
    m_device = device;
    m_probing = true;
    port.probe();
}

void Reconnector::onProbed(bool present)
{
    if (!m_probing)
        return;
    m_probing = false;
    if (!isWaiting() || m_connection.isOpen())
        return;
    if (!present) {
        tryAgainLater();
        return;
    }
    // Opened without holding up the window, even where the server takes
    // its time to agree to the settings; onOpened() or a failure answers.
    m_looking = true;
    m_connection.beginOpen();
}

void Reconnector::tryAgainLater()
{
    ++m_failures;
    if (m_failures == kQuietFailures)
        emit reopenFailed(m_device, m_connection.port().failureHint());
    m_retry->start(std::min(kRetryMs << std::min(m_failures - 1, 4), kLongestRetryMs));
}

} // namespace varnix::link

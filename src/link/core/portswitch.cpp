// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/portswitch.h"

#include "link/core/networkaddress.h"
#include "link/core/portmap.h"

namespace varnix::link {

PortSwitch::PortSwitch(PortMap& map, QObject* parent)
    : SerialPort(parent), m_map(map), m_serial(map), m_active(&m_serial)
{
    for (SerialPort* port : {static_cast<SerialPort*>(&m_serial), static_cast<SerialPort*>(&m_network)}) {
        connect(port, &SerialPort::lost, this, &SerialPort::lost);
        connect(port, &SerialPort::readyRead, this, &SerialPort::readyRead);
        connect(port, &SerialPort::probed, this, &SerialPort::probed);
    }
}

void PortSwitch::setPortNumber(int number)
{
    m_serial.setPortNumber(number);
    m_network.setPortNumber(number);
}

void PortSwitch::setSettings(const QString& settings)
{
    m_serial.setSettings(settings);
    m_network.setSettings(settings);
}

SerialPort& PortSwitch::chosen()
{
    if (m_active->isOpen())
        return *m_active;
    // Addresses are given, not found: the map needs no fresh look to know one.
    const QString name = m_map.device(m_serial.portNumber());
    if (isNetworkAddress(name)) {
        m_network.setAddress(name);
        m_active = &m_network;
    } else {
        m_active = &m_serial;
    }
    return *m_active;
}

bool PortSwitch::open()
{
    return m_active->isOpen() || chosen().open();
}

void PortSwitch::probe()
{
    chosen().probe();
}

} // namespace varnix::link

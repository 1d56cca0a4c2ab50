// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/portswitch.h"

#include "link/core/networkaddress.h"
#include "link/core/portmap.h"

#include <QFileInfo>
#include <QHash>

namespace varnix::link {

namespace {

// The ports of the program by the device or address they opened last.
QHash<QString, const PortSwitch*>& holders()
{
    static QHash<QString, const PortSwitch*> ports;
    return ports;
}

// One name for a device however it is reached (the virtual board's link,
// a /dev/serial/by-id link), or the address as written.
QString claimName(const QString& name)
{
    if (isNetworkAddress(name))
        return name.toLower();
    const QString canonical = QFileInfo(name).canonicalFilePath();
    return canonical.isEmpty() ? name : canonical;
}

} // namespace

PortSwitch::PortSwitch(PortMap& map, QObject* parent)
    : SerialPort(parent), m_map(map), m_serial(map), m_active(&m_serial)
{
    for (SerialPort* port : {static_cast<SerialPort*>(&m_serial), static_cast<SerialPort*>(&m_network)}) {
        connect(port, &SerialPort::lost, this, &SerialPort::lost);
        connect(port, &SerialPort::readyRead, this, &SerialPort::readyRead);
        connect(port, &SerialPort::probed, this, &SerialPort::probed);
    }
}

PortSwitch::~PortSwitch()
{
    holders().removeIf([this](const auto& entry) { return entry.value() == this; });
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
    if (m_active->isOpen())
        return true;
    SerialPort& port = chosen();
    m_refusal.clear();
    const QString device = m_map.device(m_serial.portNumber());
    const QString name = claimName(device);
    if (const PortSwitch* other = holders().value(name); other && other != this && other->isOpen()) {
        m_refusal = QStringLiteral("%1 is open in %2.").arg(device, other->m_holder);
        return false;
    }
    if (!port.open())
        return false;
    holders().insert(name, this);
    return true;
}

std::optional<LentLine> PortSwitch::lend()
{
    return m_active == &m_network ? m_network.lend() : m_serial.lend();
}

void PortSwitch::giveBack(LentLine line)
{
    if (m_active == &m_network)
        m_network.giveBack(std::move(line));
    else
        m_serial.giveBack(std::move(line));
}

void PortSwitch::probe()
{
    chosen().probe();
}

} // namespace varnix::link

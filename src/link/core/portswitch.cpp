// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/portswitch.h"

#include "link/core/networkaddress.h"
#include "link/core/portmap.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <utility>

namespace varnix::link {

namespace {

// The boards claimed by the program's ports, with the holder a refusal
// names. Shared by every thread (the boards of a fleet open in threads of
// their own): read and changed only under its lock, and holding only
// copies, never a pointer another thread could be deleting.
struct Claim {
    const PortSwitch* by = nullptr;
    QString holder;
};

struct Claims {
    QMutex lock;
    QHash<QString, Claim> held;
};

Claims& claims()
{
    static Claims all;
    return all;
}

} // namespace

QString boardKey(const QString& name)
{
    if (isNetworkAddress(name)) {
        const auto parsed = parseNetworkAddress(name);
        if (const auto* address = std::get_if<NetworkAddress>(&parsed))
            return QStringLiteral("%1:%2").arg(address->host.toLower()).arg(address->port);
        return name.toLower();
    }
    const QString canonical = QFileInfo(name).canonicalFilePath();
    return canonical.isEmpty() ? name : canonical;
}

PortSwitch::PortSwitch(PortMap& map, QObject* parent)
    : SerialPort(parent), m_map(map), m_serial(map), m_active(&m_serial)
{
    for (SerialPort* port : {static_cast<SerialPort*>(&m_serial), static_cast<SerialPort*>(&m_network)}) {
        connect(port, &SerialPort::lost, this, [this](const QString& reason) {
            release();
            emit lost(reason);
        });
        connect(port, &SerialPort::readyRead, this, &SerialPort::readyRead);
        connect(port, &SerialPort::probed, this, &SerialPort::probed);
        connect(port, &SerialPort::openFinished, this, [this](bool ok) {
            if (!ok || !isOpen())
                release();
            if (std::exchange(m_beginning, false))
                emit openFinished(ok && isOpen());
        });
    }
}

PortSwitch::~PortSwitch()
{
    release();
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
    if (m_active->isOpen() || m_active->opening())
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

bool PortSwitch::claim()
{
    m_refusal.clear();
    const QString device = m_map.device(m_serial.portNumber());
    const QString key = boardKey(device);
    Claims& all = claims();
    const QMutexLocker locker(&all.lock);
    if (const auto found = all.held.constFind(key); found != all.held.cend() && found->by != this) {
        m_refusal = QStringLiteral("%1 is open in %2.").arg(device, found->holder);
        return false;
    }
    if (!m_claimed.isEmpty() && m_claimed != key)
        all.held.remove(m_claimed);
    m_claimed = key;
    all.held.insert(key, Claim{this, m_holder});
    return true;
}

void PortSwitch::release()
{
    if (m_claimed.isEmpty())
        return;
    Claims& all = claims();
    const QMutexLocker locker(&all.lock);
    if (const auto found = all.held.constFind(m_claimed); found != all.held.cend() && found->by == this)
        all.held.erase(found);
    m_claimed.clear();
}

bool PortSwitch::open()
{
    if (m_active->isOpen())
        return true;
    SerialPort& port = chosen();
    if (!claim())
        return false;
    if (!port.open()) {
        release();
        return false;
    }
    return true;
}

void PortSwitch::beginOpen()
{
    if (m_active->isOpen()) {
        emit openFinished(true);
        return;
    }
    if (m_active->opening())
        return;
    SerialPort& port = chosen();
    if (!claim()) {
        emit openFinished(false);
        return;
    }
    m_beginning = true;
    port.beginOpen();
    m_beginning = port.opening();
}

bool PortSwitch::close()
{
    const bool ok = m_active->close();
    if (!m_active->isOpen())
        release();
    return ok;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/networkport.h"
#include "link/core/qtserialport.h"

namespace varnix::link {

class PortMap;

// The program's port: whatever its number names in the port map, a serial
// device or a board on the network. Those who use it see one port.
class PortSwitch : public SerialPort
{
    Q_OBJECT
public:
    explicit PortSwitch(PortMap& map, QObject* parent = nullptr);

    bool isOpen() const override { return m_active->isOpen(); }
    bool open() override;
    bool close() override { return m_active->close(); }
    void setPortNumber(int number) override;
    int portNumber() const override { return m_serial.portNumber(); }
    void setSettings(const QString& settings) override;
    QString settings() const override { return m_serial.settings(); }
    bool write(QChar character) override { return m_active->write(character); }
    void cancelWrite() override { m_active->cancelWrite(); }
    QString readAll() override { return m_active->readAll(); }
    QString failureHint() const override { return m_active->failureHint(); }
    QString device() const override { return m_active->device(); }
    void probe() override;

    QtSerialPort& serial() { return m_serial; }
    NetworkPort& network() { return m_network; }

private:
    // The port that opens what the port number names now.
    SerialPort& chosen();

    PortMap& m_map;
    QtSerialPort m_serial;
    NetworkPort m_network;
    SerialPort* m_active;
};

} // namespace varnix::link

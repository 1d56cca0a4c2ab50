// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/networkport.h"
#include "link/core/qtserialport.h"

namespace varnix::link {

class PortMap;

// The program's port: whatever its number names in the port map, a serial
// device or a board on the network. Those who use it see one port. Two of
// them in the program never have the same device or address open at once.
class PortSwitch : public SerialPort
{
    Q_OBJECT
public:
    explicit PortSwitch(PortMap& map, QObject* parent = nullptr);
    ~PortSwitch() override;

    // Who has the port open, as a refusal names it to another ("the main
    // window", "the monitor").
    void setHolder(const QString& holder) { m_holder = holder; }

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
    QString failureHint() const override { return m_refusal.isEmpty() ? m_active->failureHint() : m_refusal; }
    QString device() const override { return m_active->device(); }
    void probe() override;

    // The open port's descriptor lent, and given back (see LentLine).
    std::optional<LentLine> lend();
    void giveBack(LentLine line);

    QtSerialPort& serial() { return m_serial; }
    NetworkPort& network() { return m_network; }

private:
    // The port that opens what the port number names now.
    SerialPort& chosen();

    PortMap& m_map;
    QString m_holder = QStringLiteral("another part of Varnix");
    QString m_refusal;
    QtSerialPort m_serial;
    NetworkPort m_network;
    SerialPort* m_active;
};

} // namespace varnix::link

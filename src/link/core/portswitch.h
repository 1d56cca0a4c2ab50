// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/networkport.h"
#include "link/core/qtserialport.h"

namespace varnix::link {

class PortMap;

// One name for the board a port reaches, however the port is written: a
// device by its real path (through a link such as the virtual board's or
// /dev/serial/by-id), a network address as HOST:PORT with the host in lower
// case, whatever its scheme (tcp:// and rfc2217:// to one port of a server
// reach one board).
QString boardKey(const QString& name);

// The program's port: whatever its number names in the port map, a serial
// device or a board on the network. Those who use it see one port. Two of
// them in the program never have the same board open at once, whichever
// threads they live in.
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
    void beginOpen() override;
    bool opening() const override { return m_active->opening(); }
    void cancelOpen() override { m_active->cancelOpen(); }
    bool beginClose() override { return m_active->beginClose(); }
    bool farEndClosed() override { return m_active->farEndClosed(); }
    bool close() override;
    void setPortNumber(int number) override;
    int portNumber() const override { return m_serial.portNumber(); }
    void setSettings(const QString& settings) override;
    QString settings() const override { return m_serial.settings(); }
    bool write(QChar character) override { return m_active->write(character); }
    void cancelWrite() override { m_active->cancelWrite(); }
    WriteNow writeNow(QStringView characters) override { return m_active->writeNow(characters); }
    QString readAll() override { return m_active->readAll(); }
    QString failureHint() const override { return m_refusal.isEmpty() ? m_active->failureHint() : m_refusal; }
    QString failureReason() const override { return m_refusal.isEmpty() ? m_active->failureReason() : m_refusal; }
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
    // Claims the board the port number names for this port: false, with
    // the refusal, when another port has it.
    bool claim();
    // Lets the board go (closed, lost, or not opened after all).
    void release();

    PortMap& m_map;
    QString m_holder = QStringLiteral("another part of Varnix");
    QString m_refusal;
    // The board this port has claimed, empty when none.
    QString m_claimed;
    QtSerialPort m_serial;
    NetworkPort m_network;
    SerialPort* m_active;
    // The answer to a beginOpen() is this port's to pass on.
    bool m_beginning = false;
};

} // namespace varnix::link

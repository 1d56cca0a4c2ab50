// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/firmware.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

namespace varnix::test {

// The firmware behind a raw TCP port, as a board on a serial server that
// resets when a client connects: its start-up text comes a while after the
// connection, then it answers what it is sent. One client at a time.
class TcpBoard : public QObject
{
    Q_OBJECT
public:
    explicit TcpBoard(int greetAfterMs, QObject* parent = nullptr);

    bool ok() const { return m_server.isListening(); }
    QString address() const;
    const board::Firmware& firmware() const { return m_firmware; }

private:
    void onConnection();
    void onBytes();

    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
    board::Firmware m_firmware;
    int m_greetAfterMs;
    QTimer m_silence;
};

} // namespace varnix::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/tcpboard.h"

#include <QTcpSocket>

namespace varnix::test {

TcpBoard::TcpBoard(int greetAfterMs, QObject* parent) : QObject(parent), m_greetAfterMs(greetAfterMs)
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, &TcpBoard::onConnection);
    m_silence.setSingleShot(true);
    m_silence.setInterval(board::Firmware::kSilenceMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        if (m_client)
            m_client->write(m_firmware.silence());
    });
}

QString TcpBoard::address() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_server.serverPort());
}

void TcpBoard::onConnection()
{
    while (QTcpSocket* next = m_server.nextPendingConnection()) {
        if (m_client)
            m_client->deleteLater();
        m_client = next;
        connect(next, &QTcpSocket::readyRead, this, &TcpBoard::onBytes);
        QTimer::singleShot(m_greetAfterMs, next, [this, next] { next->write(m_firmware.banner()); });
    }
}

void TcpBoard::onBytes()
{
    m_client->write(m_firmware.feed(m_client->readAll()));
    m_silence.start();
}

} // namespace varnix::test

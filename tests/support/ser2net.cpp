// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ser2net.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace varnix::test {

quint16 freeLocalPort()
{
    return freeLocalPorts(1).value(0);
}

QList<quint16> freeLocalPorts(int count)
{
    // All held until all are found, so that none is handed out twice.
    std::vector<std::unique_ptr<QTcpServer>> probes;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        probes.push_back(std::make_unique<QTcpServer>());
        ports << (probes.back()->listen(QHostAddress::LocalHost, 0) ? probes.back()->serverPort() : 0);
    }
    return ports;
}

bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // "sl local_address rem_address st ...": 0100007F:PORT, state 0A listens.
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

Ser2net::Ser2net(const QString& device) : Ser2net(QStringList{device}) {}

Ser2net::Ser2net(const QStringList& devices) : m_devices(devices), m_ports(freeLocalPorts(int(2 * devices.size())))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2net::~Ser2net()
{
    stop();
}

bool Ser2net::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/bin", "/sbin"}).isEmpty()
        || !QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty();
}

QString Ser2net::rawAddress(int device) const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_ports.value(2 * device));
}

QString Ser2net::rfc2217Address(int device) const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_ports.value(2 * device + 1));
}

bool Ser2net::start()
{
    const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return false;
    }
    // kickolduser: a second client takes the port, as a colleague would.
    const QString connection = QStringLiteral("connection: &%1\n"
                                              "  accepter: %2tcp,127.0.0.1,%3\n"
                                              "  connector: serialdev,%4,19200n81,local\n"
                                              "  options:\n"
                                              "    kickolduser: true\n");
    file.write("%YAML 1.1\n---\n");
    for (qsizetype i = 0; i < m_devices.size(); ++i) {
        const QString& device = m_devices[i];
        file.write(connection.arg(QStringLiteral("raw%1").arg(i), QString(), QString::number(m_ports[2 * i]), device)
                       .toUtf8());
        file.write(connection
                       .arg(QStringLiteral("rfc2217_%1").arg(i), QStringLiteral("telnet(rfc2217),"),
                            QString::number(m_ports[2 * i + 1]), device)
                       .toUtf8());
    }
    file.close();
    QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/bin", "/sbin"});
    if (program.isEmpty())
        program = QStringLiteral("ser2net");
    m_process.start(program, {"-n", "-d", "-c", config, "-P", m_dir.filePath(QStringLiteral("ser2net.pid"))});
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!std::all_of(m_ports.begin(), m_ports.end(), listening)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("ser2net did not listen: ") + QString::fromLocal8Bit(m_process.readAll());
            stop();
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

void Ser2net::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

} // namespace varnix::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace varnix::test {

// A ser2net serving devices on 127.0.0.1, each raw on one TCP port and as
// RFC 2217 on another, from a configuration of its own. It can be ended and
// started again on the same ports.
class Ser2net
{
public:
    explicit Ser2net(const QString& device);
    explicit Ser2net(const QStringList& devices);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    static bool installed();
    // Starts the server and waits until both ports listen; false, with
    // error(), when it does not.
    bool start();
    void stop();
    QString error() const { return m_error; }
    // The server's process, for a test that freezes it (SIGSTOP).
    qint64 processId() const { return m_process.processId(); }

    // The addresses of the device of that index.
    QString rawAddress(int device = 0) const;
    QString rfc2217Address(int device = 0) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_devices;
    // Raw and RFC 2217 ports, a pair a device.
    QList<quint16> m_ports;
    QString m_error;
};

// A TCP port on 127.0.0.1 that nothing listens on now.
quint16 freeLocalPort();
// As many such ports, all different.
QList<quint16> freeLocalPorts(int count);
// Whether something listens on that port of 127.0.0.1 (from /proc/net/tcp,
// without connecting, which a server would count as a user).
bool listening(quint16 port);

} // namespace varnix::test

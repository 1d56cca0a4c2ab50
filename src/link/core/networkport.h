// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/lentline.h"
#include "link/core/serialport.h"
#include "link/core/telnet.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include <optional>

class QEventLoop;
class QTimer;

namespace varnix::link {

struct NetworkAddress;

// A board behind a serial server, reached over TCP: raw ("tcp://"), every
// byte passed as it is both ways, or as a Telnet COM Port Control client
// ("rfc2217://") that hands the line settings to the server on open and
// checks that it took them. Opening waits, with the window painting, until
// the connection is made or the time is up.
class NetworkPort : public SerialPort
{
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 5000;

    explicit NetworkPort(QObject* parent = nullptr);
    ~NetworkPort() override;

    // The address to open next ("rfc2217://HOST:PORT" or "tcp://HOST:PORT").
    void setAddress(const QString& address) { m_address = address; }
    // How long open() may take, all told.
    void setConnectTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    bool isOpen() const override;
    bool open() override;
    bool close() override;
    void setPortNumber(int number) override { m_number = number; }
    int portNumber() const override { return m_number; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    bool write(QChar character) override;
    void cancelWrite() override;
    QString readAll() override;
    QString failureHint() const override { return m_hint; }
    // The address, while open.
    QString device() const override;
    // Connects without waiting: a host that is down drops the request
    // without a word, and open() would hold the window for the whole time
    // allowed. An answered connection is kept for an open() made on hearing
    // the answer, and dropped otherwise.
    void probe() override;

    // Bytes the system may keep waiting for a server that takes no more, as
    // a serial device's buffer holds a few kilobytes; beyond them write()
    // waits. Megabytes waiting there, as the system would otherwise let
    // wait, would count as sent minutes before a slow line behind the
    // server had carried them, and no cancel could take them back.
    static constexpr int kMostWaiting = 4 * 1024;

    // Lends the open connection's descriptor, with what was read already and
    // the Telnet of an rfc2217:// one; nothing while it is closed, lent,
    // writing, or holds bytes it could not send. Until giveBack() the port
    // is not to be read or written.
    std::optional<LentLine> lend();
    void giveBack(LentLine line);

private:
    enum class Stage { Closed, Probing, Probed, Connecting, Negotiating, Open };
    bool connectTo(const NetworkAddress& address);
    bool negotiate();
    // Runs the event loop until done() or the time left is up; false then.
    bool waitUntil(const std::function<bool()>& done);
    bool fail(const QString& reason);
    QString noAnswer() const;
    void onReadyRead();
    void onSocketGone();
    // Drops the socket of a connection that was lost.
    void letGo();
    void onProbeEvent();
    // Reads what the server sent before the reading was set up for it.
    void readWaiting();
    // What the server said about a setting asked for, or nothing yet.
    QString settingsMismatch() const;

    QTcpSocket m_socket;
    // Only on an rfc2217:// connection: a raw one has no Telnet to read.
    std::optional<TelnetParser> m_telnet;
    Stage m_stage = Stage::Closed;
    QString m_address;
    QString m_openAddress;
    int m_number = 1;
    QString m_settings = QStringLiteral("19200,n,8,1");
    int m_timeoutMs = kConnectTimeoutMs;
    QDeadlineTimer m_deadline;
    QTimer* m_probeTimer;
    QString m_probeHost;
    QString m_hint;
    QByteArray m_input;
    // The line settings asked for and the server's answers, by command.
    QList<TelnetParser::ComPortMessage> m_asked;
    QList<TelnetParser::ComPortMessage> m_answers;
    QEventLoop* m_loop = nullptr;
    bool m_writeCancelled = false;
    // A lost connection's socket waits to be dropped from the event loop.
    bool m_lost = false;
    // Lost: what m_input holds is the connection's last words, to be read.
    bool m_lastWords = false;
    // Off while the descriptor is lent.
    QuietNotifiers m_quiet;
};

} // namespace varnix::link

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/lentline.h"
#include "link/core/serialport.h"
#include "link/core/telnet.h"

#include <QTcpSocket>

#include <optional>

class QEventLoop;
class QTimer;

namespace varnix::link {

struct NetworkAddress;

// A board behind a serial server, reached over TCP: raw ("tcp://"), every
// byte passed as it is both ways, or as a Telnet COM Port Control client
// ("rfc2217://") that hands the line settings to the server on open and
// checks that it took them. Opening is driven by the socket's signals:
// beginOpen() returns at once, open() runs the event loop (all but the
// user's input) until the connection is made or the time is up. Closing
// never resets the connection: the server is told that nothing more comes
// and is given time to write what it holds to the device, since a server
// that is reset drops that, and the board would be left mid-frame.
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
    void beginOpen() override;
    bool opening() const override;
    void cancelOpen() override;
    bool beginClose() override;
    bool farEndClosed() override;
    bool close() override;
    void setPortNumber(int number) override { m_number = number; }
    int portNumber() const override { return m_number; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    bool write(QChar character) override;
    void cancelWrite() override;
    WriteNow writeNow(QStringView characters) override;
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

    // How long a close waits, at most, for the server to close its side
    // once told that nothing more comes.
    static constexpr int kLingerMs = 500;

    // Lends the open connection's descriptor, with what was read already and
    // the Telnet of an rfc2217:// one; nothing while it is closed, lent,
    // writing, or holds bytes it could not send. Until giveBack() the port
    // is not to be read or written.
    std::optional<LentLine> lend();
    void giveBack(LentLine line);

private:
    // Connecting, then, over RFC 2217, waiting for the server to agree to
    // COM Port Control and then for its answers to the settings asked for.
    enum class Stage { Closed, Probing, Probed, Connecting, Agreeing, Confirming, Open };
    void onConnected();
    // Moves the negotiation on from what the server has said so far.
    void negotiate();
    // The socket failed or closed; looked at from the event loop.
    void checkSocket();
    void openTimedOut();
    void openFailed(const QString& reason);
    void openDone();
    bool fail(const QString& reason);
    // Hands the characters to the socket, not waiting for the server.
    bool put(QStringView characters);
    // Tells the server nothing more comes and waits, at most kLingerMs, for
    // it to close its side, so that the connection ends without a reset.
    void linger();

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
    bool allAnswered() const;

    QTcpSocket m_socket;
    // Only on an rfc2217:// connection: a raw one has no Telnet to read.
    std::optional<TelnetParser> m_telnet;
    Stage m_stage = Stage::Closed;
    QString m_address;
    QString m_openAddress;
    int m_number = 1;
    QString m_settings = QStringLiteral("19200,n,8,1");
    int m_timeoutMs = kConnectTimeoutMs;
    QTimer* m_openTimer;
    QTimer* m_probeTimer;
    // The host being connected to, for the reasons a failure gives.
    QString m_host;
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
    // Told that nothing more comes (beginClose()): what the server still
    // sends is dropped, and its close is awaited, not a loss.
    bool m_halfClosed = false;
    bool m_farEndClosed = false;
};

} // namespace varnix::link

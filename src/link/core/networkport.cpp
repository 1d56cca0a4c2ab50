// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/networkport.h"

#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace varnix::link {

namespace {

QByteArray bigEndian(quint32 value)
{
    QByteArray out;
    for (const int shift : {24, 16, 8, 0})
        out += char(value >> shift);
    return out;
}

// The line settings as COM Port Control requests, in the order sent.
QList<TelnetParser::ComPortMessage> comPortSettings(const LineSettings& s)
{
    quint8 parity = 1;
    switch (s.parity) {
    case QSerialPort::OddParity:
        parity = 2;
        break;
    case QSerialPort::EvenParity:
        parity = 3;
        break;
    case QSerialPort::MarkParity:
        parity = 4;
        break;
    case QSerialPort::SpaceParity:
        parity = 5;
        break;
    default:
        break;
    }
    const quint8 stop = s.stopBits == QSerialPort::TwoStop ? 2 : s.stopBits == QSerialPort::OneAndHalfStop ? 3 : 1;
    return {
        {TelnetParser::kSetBaudRate, bigEndian(quint32(s.baudRate))},
        {TelnetParser::kSetDataSize, QByteArray(1, char(s.dataBits))},
        {TelnetParser::kSetParity, QByteArray(1, char(parity))},
        {TelnetParser::kSetStopSize, QByteArray(1, char(stop))},
    };
}

QString settingText(const TelnetParser::ComPortMessage& m)
{
    quint32 value = 0;
    for (const char c : m.value)
        value = value << 8 | quint8(c);
    switch (m.command) {
    case TelnetParser::kSetBaudRate:
        return QStringLiteral("baud rate %1").arg(value);
    case TelnetParser::kSetDataSize:
        return QStringLiteral("%1 data bits").arg(value);
    case TelnetParser::kSetParity: {
        static const char* const names[] = {"?", "no", "odd", "even", "mark", "space"};
        return QStringLiteral("%1 parity").arg(QLatin1String(value < 6 ? names[value] : names[0]));
    }
    default: {
        static const char* const names[] = {"?", "1", "2", "1.5"};
        return QStringLiteral("%1 stop bits").arg(QLatin1String(value < 4 ? names[value] : names[0]));
    }
    }
}

QString socketReason(const QTcpSocket& socket, const QString& host)
{
    switch (socket.error()) {
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("the name \"%1\" does not resolve").arg(host);
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("the connection was refused");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("the server closed the connection");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("the network is unreachable");
    default:
        return socket.errorString();
    }
}

} // namespace

NetworkPort::NetworkPort(QObject* parent)
    : SerialPort(parent), m_openTimer(new QTimer(this)), m_probeTimer(new QTimer(this))
{
    m_probeTimer->setSingleShot(true);
    connect(m_probeTimer, &QTimer::timeout, this, [this] {
        if (m_stage == Stage::Probing) {
            fail(noAnswer());
            emit probed(false);
        }
    });
    m_openTimer->setSingleShot(true);
    connect(m_openTimer, &QTimer::timeout, this, &NetworkPort::openTimedOut);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkPort::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkPort::onSocketGone);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkPort::onSocketGone);
    // Not from inside the socket's own notification: those who hear that the
    // port opened, or the probe's end, may abort it.
    connect(&m_socket, &QTcpSocket::connected, this,
            [this] { QMetaObject::invokeMethod(this, &NetworkPort::onConnected, Qt::QueuedConnection); });
    const auto probeEvent = [this] {
        QMetaObject::invokeMethod(this, &NetworkPort::onProbeEvent, Qt::QueuedConnection);
    };
    connect(&m_socket, &QTcpSocket::connected, this, probeEvent);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, probeEvent);
}

NetworkPort::~NetworkPort()
{
    m_socket.disconnect(this);
    m_socket.abort();
}

bool NetworkPort::isOpen() const
{
    return m_stage == Stage::Open;
}

bool NetworkPort::opening() const
{
    return m_stage == Stage::Connecting || m_stage == Stage::Agreeing || m_stage == Stage::Confirming;
}

QString NetworkPort::device() const
{
    return isOpen() ? m_openAddress : QString();
}

QString NetworkPort::noAnswer() const
{
    return QStringLiteral("no answer within %1 s").arg(m_timeoutMs / 1000.0);
}

bool NetworkPort::fail(const QString& reason)
{
    m_hint = QStringLiteral("Cannot connect to %1: %2.").arg(m_address, reason);
    m_stage = Stage::Closed;
    m_openTimer->stop();
    m_socket.abort();
    return false;
}

void NetworkPort::probe()
{
    if (m_stage != Stage::Closed)
        return;
    m_hint.clear();
    const auto parsed = parseNetworkAddress(m_address);
    if (const auto* error = std::get_if<AddressError>(&parsed)) {
        m_hint = error->text;
        emit probed(false);
        return;
    }
    const auto& address = std::get<NetworkAddress>(parsed);
    letGo();
    m_stage = Stage::Probing;
    m_host = address.host;
    m_socket.abort();
    m_socket.connectToHost(address.host, address.port);
    m_probeTimer->start(m_timeoutMs);
}

void NetworkPort::onProbeEvent()
{
    if (m_stage != Stage::Probing)
        return;
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        m_probeTimer->stop();
        m_stage = Stage::Probed;
        emit probed(true);
        if (m_stage == Stage::Probed) {
            m_stage = Stage::Closed;
            m_socket.abort();
        }
    } else if (m_socket.state() == QAbstractSocket::UnconnectedState) {
        m_probeTimer->stop();
        fail(socketReason(m_socket, m_host));
        emit probed(false);
    }
}

void NetworkPort::readWaiting()
{
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
}

bool NetworkPort::open()
{
    if (isOpen())
        return true;
    beginOpen();
    if (opening() && QCoreApplication::instance()) {
        QEventLoop loop;
        connect(this, &SerialPort::openFinished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (opening())
        fail(noAnswer());
    return isOpen();
}

void NetworkPort::beginOpen()
{
    if (opening())
        return;
    m_hint.clear();
    if (isOpen()) {
        emit openFinished(true);
        return;
    }
    m_probeTimer->stop();
    m_input.clear();
    m_lastWords = false;
    const auto parsed = parseNetworkAddress(m_address);
    const auto settings = LineSettings::parse(m_settings);
    if (const auto* error = std::get_if<AddressError>(&parsed); error || !settings) {
        m_stage = Stage::Closed;
        m_socket.abort();
        m_hint = error ? error->text : QString();
        emit openFinished(false);
        return;
    }
    const auto& address = std::get<NetworkAddress>(parsed);
    const bool rfc2217 = address.kind == NetworkAddress::Kind::Rfc2217;
    m_telnet.reset();
    if (rfc2217)
        m_telnet.emplace();
    m_asked = rfc2217 ? comPortSettings(*settings) : QList<TelnetParser::ComPortMessage>();
    m_answers.clear();
    m_host = address.host;
    // The connection probe() has just made is the one to use.
    const bool probed = m_stage == Stage::Probed && m_socket.state() == QAbstractSocket::ConnectedState;
    m_stage = Stage::Connecting;
    m_openTimer->start(m_timeoutMs);
    if (probed) {
        onConnected();
        return;
    }
    letGo();
    m_socket.abort();
    m_socket.connectToHost(address.host, address.port);
}

void NetworkPort::cancelOpen()
{
    if (opening())
        openFailed(QStringLiteral("cut short while connecting"));
}

void NetworkPort::onConnected()
{
    if (m_stage != Stage::Connecting || m_socket.state() != QAbstractSocket::ConnectedState)
        return;
    // Each paced character leaves in a segment of its own when its pause is
    // over, not gathered with the next ones.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int waiting = kMostWaiting;
    ::setsockopt(int(m_socket.socketDescriptor()), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &waiting, sizeof waiting);
    if (!m_telnet) {
        openDone();
        return;
    }
    m_stage = Stage::Agreeing;
    m_socket.write(m_telnet->start(true));
    readWaiting();
    negotiate();
}

bool NetworkPort::allAnswered() const
{
    for (const auto& asked : m_asked) {
        if (std::none_of(m_answers.begin(), m_answers.end(), [&](const auto& answer) {
                return answer.command == asked.command + TelnetParser::kServerOffset;
            }))
            return false;
    }
    return true;
}

void NetworkPort::negotiate()
{
    if (m_stage == Stage::Agreeing) {
        if (m_telnet->comPortRefused()) {
            openFailed(QStringLiteral("the server does not take line settings (RFC 2217); use tcp:// for a raw port"));
            return;
        }
        if (!m_telnet->comPortAgreed())
            return;
        for (const auto& request : m_asked)
            m_socket.write(TelnetParser::comPortRequest(request.command, request.value));
        m_socket.flush();
        m_stage = Stage::Confirming;
    }
    if (m_stage != Stage::Confirming || !allAnswered())
        return;
    if (const QString mismatch = settingsMismatch(); !mismatch.isEmpty())
        openFailed(mismatch);
    else
        openDone();
}

void NetworkPort::checkSocket()
{
    if (!opening() || m_socket.state() == QAbstractSocket::ConnectedState
        || (m_stage == Stage::Connecting && m_socket.state() != QAbstractSocket::UnconnectedState))
        return;
    if (m_stage == Stage::Connecting)
        openFailed(m_socket.error() != QAbstractSocket::UnknownSocketError ? socketReason(m_socket, m_host)
                                                                          : noAnswer());
    else
        openFailed(m_socket.error() == QAbstractSocket::UnknownSocketError
                       ? QStringLiteral("the server closed the connection")
                       : socketReason(m_socket, QString()));
}

void NetworkPort::openTimedOut()
{
    switch (m_stage) {
    case Stage::Connecting:
        openFailed(noAnswer());
        break;
    case Stage::Agreeing:
        openFailed(QStringLiteral("the server did not agree to take line settings (RFC 2217) in time"));
        break;
    case Stage::Confirming:
        openFailed(QStringLiteral("the server did not confirm the line settings in time"));
        break;
    default:
        break;
    }
}

void NetworkPort::openFailed(const QString& reason)
{
    fail(reason);
    emit openFinished(false);
}

void NetworkPort::openDone()
{
    m_openTimer->stop();
    m_openAddress = m_address;
    m_stage = Stage::Open;
    readWaiting();
    // What arrived while the settings were agreed is there to read.
    if (!m_input.isEmpty())
        QMetaObject::invokeMethod(this, &SerialPort::readyRead, Qt::QueuedConnection);
    emit openFinished(true);
}

QString NetworkPort::settingsMismatch() const
{
    for (const auto& asked : m_asked) {
        for (const auto& answer : m_answers) {
            if (answer.command != asked.command + TelnetParser::kServerOffset)
                continue;
            if (answer.value != asked.value) {
                return QStringLiteral("the server refused the line settings (%1 asked, %2 set)")
                    .arg(settingText(asked),
                         settingText({asked.command, answer.value}));
            }
        }
    }
    return {};
}

bool NetworkPort::close()
{
    // A lost connection is closed already; its socket goes from the event
    // loop.
    m_input.clear();
    m_lastWords = false;
    if (opening()) {
        cancelOpen();
        return true;
    }
    if (m_stage == Stage::Closed)
        return true;
    m_stage = Stage::Closed;
    m_probeTimer->stop();
    if (m_loop)
        m_loop->quit();
    if (m_socket.state() == QAbstractSocket::ConnectedState && !m_halfClosed)
        linger();
    m_halfClosed = false;
    m_farEndClosed = false;
    m_socket.abort();
    return true;
}

bool NetworkPort::beginClose()
{
    if (m_stage != Stage::Open || m_halfClosed || m_socket.state() != QAbstractSocket::ConnectedState)
        return false;
    m_socket.flush();
    const int fd = int(m_socket.socketDescriptor());
    if (fd < 0 || ::shutdown(fd, SHUT_WR) != 0)
        return false;
    m_halfClosed = true;
    m_farEndClosed = false;
    m_socket.readAll();
    return true;
}

bool NetworkPort::farEndClosed()
{
    return !m_halfClosed || m_farEndClosed || m_socket.state() != QAbstractSocket::ConnectedState;
}

void NetworkPort::linger()
{
    m_socket.flush();
    const int fd = int(m_socket.socketDescriptor());
    if (fd < 0 || ::shutdown(fd, SHUT_WR) != 0)
        return;
    // What still comes is not read by anyone: unread bytes at the close
    // would reset the connection. Waited for here, outside the event loop,
    // which may not run in the caller (a board's run ending in its thread).
    const QDeadlineTimer deadline(kLingerMs);
    m_socket.readAll();
    char discard[512];
    while (!deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(std::min<qint64>(deadline.remainingTime(), 50))) < 0 && errno != EINTR)
            return;
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::recv(fd, discard, sizeof discard, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return;
    }
}

bool NetworkPort::put(QStringView characters)
{
    if (!isOpen() || m_loop)
        return false;
    const std::optional<QByteArray> raw = latin1Bytes(characters);
    if (!raw)
        return false;
    const QByteArray bytes = m_telnet ? m_telnet->encode(*raw) : *raw;
    if (m_socket.write(bytes) != bytes.size())
        return false;
    m_socket.flush();
    return true;
}

bool NetworkPort::write(QChar character)
{
    if (!put(QStringView(&character, 1)))
        return false;
    if (m_socket.bytesToWrite() == 0)
        return isOpen();
    // The server takes no more for now: wait until the system has room, as
    // a serial port waits for room in its device's buffer. Nothing is left
    // in the socket's own buffer, where a close would drop it.
    QEventLoop loop;
    connect(&m_socket, &QTcpSocket::bytesWritten, &loop, [&] {
        if (m_socket.bytesToWrite() == 0)
            loop.quit();
    });
    m_writeCancelled = false;
    m_loop = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_loop = nullptr;
    return !m_writeCancelled && isOpen();
}

NetworkPort::WriteNow NetworkPort::writeNow(QStringView characters)
{
    // What the system has not taken yet goes first.
    if (isOpen() && m_socket.bytesToWrite() > 0)
        return WriteNow::Full;
    return put(characters) && isOpen() ? WriteNow::Written : WriteNow::Failed;
}

void NetworkPort::cancelWrite()
{
    if (!m_loop)
        return;
    m_writeCancelled = true;
    m_loop->quit();
}

QString NetworkPort::readAll()
{
    if (!isOpen() && !m_lastWords)
        return {};
    const QString text = QString::fromLatin1(m_input);
    m_input.clear();
    return text;
}

void NetworkPort::onReadyRead()
{
    if (m_halfClosed) {
        m_socket.readAll();
        return;
    }
    // Left waiting for open() to read it in order.
    if (m_stage == Stage::Probing || m_stage == Stage::Probed)
        return;
    const QByteArray bytes = m_socket.readAll();
    if (!m_telnet) {
        m_input += bytes;
    } else {
        const TelnetParser::Output out = m_telnet->feed(bytes);
        if (!out.reply.isEmpty())
            m_socket.write(out.reply);
        m_input += out.data;
        // Only the answers to the settings asked for count, and only while
        // they are awaited: notices of line and modem state come unasked,
        // and a server could send answers without end.
        for (const auto& message : out.comPort) {
            for (const auto& asked : m_asked) {
                if ((m_stage == Stage::Agreeing || m_stage == Stage::Confirming)
                    && message.command == asked.command + TelnetParser::kServerOffset)
                    m_answers.append(message);
            }
        }
        // Not from inside the socket's notification: a refusal aborts it.
        if (m_stage == Stage::Agreeing || m_stage == Stage::Confirming)
            QMetaObject::invokeMethod(this, &NetworkPort::negotiate, Qt::QueuedConnection);
    }
    if (isOpen() && !m_input.isEmpty())
        emit readyRead();
}

void NetworkPort::onSocketGone()
{
    if (m_halfClosed) {
        m_farEndClosed = true;
        return;
    }
    if (opening()) {
        QMetaObject::invokeMethod(this, &NetworkPort::checkSocket, Qt::QueuedConnection);
        return;
    }
    if (!isOpen())
        return;
    // What the server sent before it closed is data like any other: a
    // board's last answer, or the bytes of a frame for the monitor.
    readWaiting();
    if (!isOpen())
        return;
    m_lastWords = true;
    // Closed and told at once: a click handled before a call from the event
    // loop would otherwise find the port closed with nothing said, and open
    // it again.
    m_stage = Stage::Closed;
    m_lost = true;
    if (m_loop)
        m_loop->quit();
    const QString reason = m_socket.error() == QAbstractSocket::RemoteHostClosedError
            || m_socket.error() == QAbstractSocket::UnknownSocketError
        ? QStringLiteral("the server closed the connection")
        : m_socket.errorString();
    // The socket is not aborted from inside its own notification.
    QMetaObject::invokeMethod(this, &NetworkPort::letGo, Qt::QueuedConnection);
    emit lost(reason);
}

std::optional<LentLine> NetworkPort::lend()
{
    if (!isOpen() || m_loop || m_quiet.silent())
        return std::nullopt;
    // Nothing the borrower writes may overtake what the socket still holds.
    m_socket.flush();
    if (m_socket.bytesToWrite() > 0)
        return std::nullopt;
    // Before the notifiers go quiet: reading the socket turns them on.
    readWaiting();
    LentLine line;
    line.descriptor = int(m_socket.socketDescriptor());
    line.socket = true;
    line.telnet = m_telnet;
    if (!m_quiet.silence(m_socket))
        return std::nullopt;
    line.waiting = std::exchange(m_input, {});
    return line;
}

void NetworkPort::giveBack(LentLine line)
{
    if (m_telnet)
        m_telnet = std::move(line.telnet);
    m_quiet.restore();
}

void NetworkPort::letGo()
{
    if (!std::exchange(m_lost, false))
        return;
    m_socket.abort();
}

} // namespace varnix::link

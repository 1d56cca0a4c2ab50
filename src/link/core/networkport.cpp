// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/networkport.h"

#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
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

NetworkPort::NetworkPort(QObject* parent) : SerialPort(parent), m_probeTimer(new QTimer(this))
{
    m_probeTimer->setSingleShot(true);
    connect(m_probeTimer, &QTimer::timeout, this, [this] {
        if (m_stage == Stage::Probing) {
            fail(noAnswer());
            emit probed(false);
        }
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkPort::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkPort::onSocketGone);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkPort::onSocketGone);
    // Not from inside the socket's own notification: the probe's end may
    // abort it.
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
    m_probeHost = address.host;
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
        fail(socketReason(m_socket, m_probeHost));
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
    m_hint.clear();
    if (isOpen())
        return true;
    m_probeTimer->stop();
    m_input.clear();
    m_lastWords = false;
    const auto parsed = parseNetworkAddress(m_address);
    if (const auto* error = std::get_if<AddressError>(&parsed)) {
        m_hint = error->text;
        return false;
    }
    const auto settings = LineSettings::parse(m_settings);
    if (!settings)
        return false;
    const auto& address = std::get<NetworkAddress>(parsed);
    const bool rfc2217 = address.kind == NetworkAddress::Kind::Rfc2217;
    m_telnet.reset();
    if (rfc2217)
        m_telnet.emplace();
    m_asked = rfc2217 ? comPortSettings(*settings) : QList<TelnetParser::ComPortMessage>();
    m_answers.clear();
    m_deadline = QDeadlineTimer(m_timeoutMs);
    if (!connectTo(address) || !negotiate())
        return false;
    m_openAddress = m_address;
    m_stage = Stage::Open;
    readWaiting();
    // What arrived while the settings were agreed is there to read.
    if (!m_input.isEmpty())
        QMetaObject::invokeMethod(this, &SerialPort::readyRead, Qt::QueuedConnection);
    return true;
}

bool NetworkPort::connectTo(const NetworkAddress& address)
{
    // The connection probe() has just made is the one to use.
    const bool probed = m_stage == Stage::Probed && m_socket.state() == QAbstractSocket::ConnectedState;
    m_stage = Stage::Connecting;
    if (!probed) {
        letGo();
        m_socket.abort();
        m_socket.connectToHost(address.host, address.port);
    }
    const bool connected =
        waitUntil([this] { return m_socket.state() == QAbstractSocket::ConnectedState; });
    if (!connected) {
        if (m_socket.error() != QAbstractSocket::UnknownSocketError)
            return fail(socketReason(m_socket, address.host));
        return fail(noAnswer());
    }
    // Each paced character leaves in a segment of its own when its pause is
    // over, not gathered with the next ones.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int waiting = kMostWaiting;
    ::setsockopt(int(m_socket.socketDescriptor()), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &waiting, sizeof waiting);
    return true;
}

bool NetworkPort::negotiate()
{
    if (!m_telnet)
        return true;
    m_stage = Stage::Negotiating;
    m_socket.write(m_telnet->start(true));
    readWaiting();
    const auto disconnected = [this] { return m_socket.state() != QAbstractSocket::ConnectedState; };
    const auto gone = [&] {
        return fail(m_socket.error() == QAbstractSocket::UnknownSocketError
                        ? QStringLiteral("the server closed the connection")
                        : socketReason(m_socket, QString()));
    };
    if (!waitUntil([&] { return m_telnet->comPortAgreed() || m_telnet->comPortRefused() || disconnected(); }))
        return fail(QStringLiteral("the server did not agree to take line settings (RFC 2217) in time"));
    if (disconnected())
        return gone();
    if (m_telnet->comPortRefused())
        return fail(QStringLiteral("the server does not take line settings (RFC 2217); use tcp:// for a raw port"));
    for (const auto& request : m_asked)
        m_socket.write(TelnetParser::comPortRequest(request.command, request.value));
    m_socket.flush();
    const auto allAnswered = [&] {
        for (const auto& asked : m_asked) {
            if (std::none_of(m_answers.begin(), m_answers.end(), [&](const auto& answer) {
                    return answer.command == asked.command + TelnetParser::kServerOffset;
                }))
                return false;
        }
        return true;
    };
    if (!waitUntil([&] { return allAnswered() || disconnected(); }))
        return fail(QStringLiteral("the server did not confirm the line settings in time"));
    if (disconnected())
        return gone();
    if (const QString mismatch = settingsMismatch(); !mismatch.isEmpty())
        return fail(mismatch);
    return true;
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

bool NetworkPort::waitUntil(const std::function<bool()>& done)
{
    if (!QCoreApplication::instance())
        return done();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto wake = [&loop] { loop.quit(); };
    const auto c1 = connect(&m_socket, &QTcpSocket::connected, &loop, wake);
    const auto c2 = connect(&m_socket, &QTcpSocket::readyRead, &loop, wake, Qt::QueuedConnection);
    const auto c3 = connect(&m_socket, &QTcpSocket::errorOccurred, &loop, wake);
    const auto c4 = connect(&m_socket, &QTcpSocket::disconnected, &loop, wake);
    bool ok = done();
    while (!ok) {
        const qint64 left = m_deadline.remainingTime();
        if (left <= 0 || m_socket.state() == QAbstractSocket::UnconnectedState)
            break;
        timer.start(int(left));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        ok = done();
    }
    for (const auto& c : {c1, c2, c3, c4})
        disconnect(c);
    return ok;
}

bool NetworkPort::close()
{
    // A lost connection is closed already; its socket goes from the event
    // loop.
    m_input.clear();
    m_lastWords = false;
    if (m_stage == Stage::Closed)
        return true;
    m_stage = Stage::Closed;
    m_probeTimer->stop();
    if (m_loop)
        m_loop->quit();
    m_socket.flush();
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    return true;
}

bool NetworkPort::write(QChar character)
{
    if (!isOpen() || character.unicode() > 0xff || m_loop)
        return false;
    const char byte = char(character.unicode());
    const QByteArray bytes = m_telnet ? m_telnet->encode(QByteArrayView(&byte, 1)) : QByteArray(1, byte);
    if (m_socket.write(bytes) != bytes.size())
        return false;
    m_socket.flush();
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
                if (m_stage == Stage::Negotiating && message.command == asked.command + TelnetParser::kServerOffset)
                    m_answers.append(message);
            }
        }
    }
    if (isOpen() && !m_input.isEmpty())
        emit readyRead();
}

void NetworkPort::onSocketGone()
{
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

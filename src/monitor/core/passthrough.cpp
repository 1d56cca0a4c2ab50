// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/passthrough.h"

#include "link/core/networkaddress.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace varnix::monitor {

namespace {

// Why a device could not be opened, where the port has not said: the
// system's own reason, or that it is no serial device.
QString deviceTrouble(const QString& name)
{
    if (link::isNetworkAddress(name))
        return {};
    const QByteArray path = QFile::encodeName(name);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno)) + u'.';
    termios line{};
    const bool serial = ::tcgetattr(fd, &line) == 0;
    ::close(fd);
    return serial ? QString() : QStringLiteral("it is no serial device.");
}

} // namespace

PassThrough::PassThrough(const PortChoice& host, const PortChoice& board, Mode mode, QObject* parent)
    : QObject(parent), m_mode(mode)
{
    for (const Direction direction : {Direction::Host, Direction::Board}) {
        Side& s = side(direction);
        s.choice = direction == Direction::Host ? host : board;
        if (s.choice.name.isEmpty())
            continue;
        s.map.setDevices({s.choice.name});
        s.port = std::make_unique<link::PortSwitch>(s.map);
        s.port->setHolder(QStringLiteral("the monitor"));
        s.port->setPortNumber(1);
        s.port->setSettings(s.choice.settings);
        connect(s.port.get(), &link::SerialPort::readyRead, this, [this, direction] { read(direction); });
        connect(s.port.get(), &link::SerialPort::lost, this,
                [this, direction](const QString& reason) { tellLost(direction, reason); });
    }
}

PassThrough::~PassThrough()
{
    stop();
}

bool PassThrough::start()
{
    m_why.clear();
    if (!side(Direction::Host).port && !side(Direction::Board).port) {
        m_why = QStringLiteral("No port to listen on.");
        return false;
    }
    if (m_mode == Mode::Pass && (!side(Direction::Host).port || !side(Direction::Board).port)) {
        m_why = QStringLiteral("Passing bytes through needs the host's port and the board's.");
        return false;
    }
    for (const Direction direction : {Direction::Host, Direction::Board}) {
        Side& s = side(direction);
        s.told = false;
        if (!s.port || s.port->open())
            continue;
        QString hint = s.port->failureHint();
        if (hint.isEmpty())
            hint = deviceTrouble(s.choice.name);
        m_why = QStringLiteral("Cannot open %1 (the %2's side)%3")
                    .arg(s.choice.name, direction == Direction::Host ? QStringLiteral("host") : QStringLiteral("board"),
                         hint.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + hint);
        stop();
        return false;
    }
    // What waited on the lines before they were opened is passed on as
    // well, once the caller has heard that the ports are open.
    QMetaObject::invokeMethod(
        this,
        [this] {
            for (const Direction direction : {Direction::Host, Direction::Board})
                read(direction);
        },
        Qt::QueuedConnection);
    return true;
}

void PassThrough::stop()
{
    for (Side& s : m_sides) {
        if (s.port && s.port->isOpen())
            s.port->close();
        s.waiting.clear();
    }
}

bool PassThrough::running() const
{
    for (const Side& s : m_sides) {
        if (s.port && s.port->isOpen())
            return true;
    }
    return false;
}

QString PassThrough::description() const
{
    QStringList parts;
    for (const Side& s : m_sides) {
        if (!s.choice.name.isEmpty())
            parts << QStringLiteral("%1 %2").arg(&s == &m_sides[0] ? QStringLiteral("host") : QStringLiteral("board"),
                                                s.choice.name);
    }
    const QString settings = m_sides[0].choice.name.isEmpty() ? m_sides[1].choice.settings : m_sides[0].choice.settings;
    return (m_mode == Mode::Tap ? QStringLiteral("tap of ") : QString()) + parts.join(QStringLiteral(", "))
        + QStringLiteral(", ") + settings;
}

void PassThrough::read(Direction from)
{
    Side& s = side(from);
    // A port lost a moment ago still gives what came before the loss.
    if (!s.port)
        return;
    const QByteArray bytes = s.port->readAll().toLatin1();
    if (bytes.isEmpty())
        return;
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    m_arrivals.append(Arrival{from, bytes, at});
    if (m_mode == Mode::Pass)
        write(from == Direction::Host ? Direction::Board : Direction::Host, bytes);
    // A write that waits for room lets more arrive meanwhile: they are told
    // in the order they came, once, by the outermost read.
    if (m_telling)
        return;
    m_telling = true;
    while (!m_arrivals.isEmpty()) {
        const Arrival arrival = m_arrivals.takeFirst();
        emit arrived(arrival.from, arrival.bytes, arrival.at);
    }
    m_telling = false;
}

void PassThrough::write(Direction to, const QByteArray& bytes)
{
    Side& s = side(to);
    s.waiting += bytes;
    if (s.writing)
        return;
    s.writing = true;
    while (!s.waiting.isEmpty() && s.port && s.port->isOpen()) {
        const QByteArray now = std::exchange(s.waiting, {});
        for (qsizetype i = 0; i < now.size(); ++i) {
            if (s.port->write(QChar(uchar(now[i]))))
                continue;
            if (s.port->isOpen())
                tellLost(to, QStringLiteral("the port refused a byte"));
            s.waiting.clear();
            break;
        }
    }
    s.writing = false;
}

void PassThrough::tellLost(Direction direction, const QString& reason)
{
    Side& s = side(direction);
    if (s.told)
        return;
    s.told = true;
    // Nothing that arrived is lost from the capture, nor kept from the
    // other side.
    read(direction);
    if (s.port && s.port->isOpen())
        s.port->close();
    s.waiting.clear();
    emit lost(direction, reason);
}

} // namespace varnix::monitor

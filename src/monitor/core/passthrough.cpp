// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/passthrough.h"

#include "link/core/networkaddress.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <utility>

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
        connect(s.port.get(), &link::SerialPort::lost, this,
                [this, direction](const QString& reason) { portLost(direction, reason); });
    }
}

PassThrough::~PassThrough()
{
    // Its listeners may be gone already.
    shut();
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
    const auto sideName = [](Direction direction) {
        return direction == Direction::Host ? QStringLiteral("host") : QStringLiteral("board");
    };
    for (const Direction direction : {Direction::Host, Direction::Board}) {
        Side& s = side(direction);
        s.told = false;
        if (!s.port || s.port->open())
            continue;
        QString hint = s.port->failureHint();
        if (hint.isEmpty())
            hint = deviceTrouble(s.choice.name);
        m_why = QStringLiteral("Cannot open %1 (the %2's side)%3")
                    .arg(s.choice.name, sideName(direction),
                         hint.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + hint);
        fail();
        return false;
    }
    std::array<std::optional<link::LentLine>, 2> lines;
    for (const Direction direction : {Direction::Host, Direction::Board}) {
        Side& s = side(direction);
        // One lost while the other opened has been told of already.
        if (!s.port || !s.port->isOpen())
            continue;
        auto& line = lines[direction == Direction::Host ? 0 : 1];
        line = s.port->lend();
        s.lent = line.has_value();
        if (!s.lent) {
            m_why = QStringLiteral("Cannot pass bytes through %1 (the %2's side).").arg(s.choice.name, sideName(direction));
            if (lines[0])
                side(Direction::Host).port->giveBack(*std::exchange(lines[0], std::nullopt));
            side(Direction::Host).lent = false;
            fail();
            return false;
        }
    }
    m_forwarder = std::make_unique<Forwarder>(std::move(lines), m_mode == Mode::Pass);
    if (!m_forwarder->start()) {
        m_why = QStringLiteral("Cannot start passing bytes through: the system has no thread or descriptor left.");
        fail();
        return false;
    }
    // What arrived is told from the event loop, once the caller has heard
    // that the ports are open.
    m_tell = new QSocketNotifier(m_forwarder->tellDescriptor(), QSocketNotifier::Read, this);
    connect(m_tell, &QSocketNotifier::activated, this, &PassThrough::tellArrivals);
    return true;
}

void PassThrough::stop()
{
    shut();
    tellArrivals();
}

void PassThrough::shut()
{
    // Taken first: a listener told of a loss may call stop() again.
    if (const std::unique_ptr<Forwarder> forwarder = std::move(m_forwarder)) {
        // Its signal may be what is telling just now.
        if (m_tell) {
            m_tell->setEnabled(false);
            m_tell->deleteLater();
            m_tell = nullptr;
        }
        forwarder->stop();
        forwarder->take(m_arrivals);
        for (const Direction direction : {Direction::Host, Direction::Board}) {
            Side& s = side(direction);
            if (s.lent)
                s.port->giveBack(forwarder->takeLine(direction));
            s.lent = false;
        }
    }
    for (Side& s : m_sides) {
        if (s.port && s.port->isOpen())
            s.port->close();
    }
}

void PassThrough::fail()
{
    // Nothing is told of a start that failed.
    shut();
    m_arrivals.clear();
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

qint64 PassThrough::tellArrivals()
{
    const qint64 heard =
        m_forwarder ? m_forwarder->take(m_arrivals) : std::max(m_heard, QDateTime::currentMSecsSinceEpoch());
    m_heard = std::max(m_heard, heard);
    // A listener may come back here, or stop: each arrival is taken before
    // it is told, so that every one is told once and in order.
    while (!m_arrivals.empty()) {
        Forwarder::Arrival arrival = std::move(m_arrivals.front());
        m_arrivals.pop_front();
        if (!arrival.lost) {
            emit arrived(arrival.from, arrival.bytes, arrival.at);
            continue;
        }
        Side& s = side(arrival.from);
        if (s.told)
            continue;
        s.told = true;
        giveBack(arrival.from);
        if (s.port && s.port->isOpen())
            s.port->close();
        emit lost(arrival.from, arrival.reason, arrival.at);
    }
    return m_heard;
}

void PassThrough::giveBack(Direction direction)
{
    Side& s = side(direction);
    if (s.lent && m_forwarder)
        s.port->giveBack(m_forwarder->takeLine(direction));
    s.lent = false;
}

void PassThrough::portLost(Direction direction, const QString& reason)
{
    // A lent port tells nothing: the forwarder finds its loss.
    if (side(direction).lent)
        return;
    m_heard = std::max(m_heard, QDateTime::currentMSecsSinceEpoch());
    m_arrivals.push_back(Forwarder::Arrival{direction, {}, m_heard, true, reason});
    QMetaObject::invokeMethod(this, &PassThrough::tellArrivals, Qt::QueuedConnection);
}

} // namespace varnix::monitor

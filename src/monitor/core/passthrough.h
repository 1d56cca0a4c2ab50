// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/portmap.h"
#include "link/core/portswitch.h"
#include "monitor/core/decoder.h"
#include "monitor/core/forwarder.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <array>
#include <deque>
#include <memory>

namespace varnix::monitor {

// A port the monitor opens: a serial device or a network address, with the
// line settings ("19200,n,8,1"). An empty name is no port.
struct PortChoice {
    QString name;
    QString settings = QStringLiteral("19200,n,8,1");
};

// Opens the host's port and the board's and passes every byte that arrives
// on one to the other, unchanged and at once, telling of each arrival. As a
// tap it only listens, on one port or both: a tap cable brings the host's
// transmit line to one adapter and the board's to another.
//
// The ports are opened here, on the thread that owns this object, and then
// lent to a Forwarder, whose thread alone reads and writes them until they
// are given back: the bytes pass without waiting for this thread's event
// loop, and are told of here, in the order they came, a little later.
class PassThrough : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Pass, Tap };

    PassThrough(const PortChoice& host, const PortChoice& board, Mode mode, QObject* parent = nullptr);
    ~PassThrough() override;

    // Opens the ports; false, with nothing left open, when one cannot be
    // opened, and why() says which and why.
    bool start();
    // Ends the passing, tells of what arrived before, and closes the ports.
    void stop();
    bool running() const;
    const QString& why() const { return m_why; }
    // "host /dev/ttyUSB0, board /dev/ttyUSB1, 19200,n,8,1", for a capture;
    // a tap's begins "tap of".
    QString description() const;
    Mode mode() const { return m_mode; }
    // The board's side is listened to: its answers are heard.
    bool hearsBoard() const { return !m_sides[1].choice.name.isEmpty(); }
    // Tells now of what has arrived and not yet been told, and gives the time
    // up to which every arrival has been told: the time for a decoder's
    // quiet(), since nothing heard before it is still to come.
    qint64 tellArrivals();

signals:
    // Bytes came from the host (Direction::Host) or the board, at `at`
    // (milliseconds since the epoch, never going back), in the order they
    // came.
    void arrived(Direction from, const QByteArray& bytes, qint64 at);
    // A side's port went away, at `at`; told once, the other side goes on.
    void lost(Direction side, const QString& reason, qint64 at);

private:
    struct Side {
        PortChoice choice;
        link::PortMap map;
        std::unique_ptr<link::PortSwitch> port;
        // The port's descriptor is the forwarder's.
        bool lent = false;
        bool told = false;
    };

    Side& side(Direction direction) { return m_sides[direction == Direction::Host ? 0 : 1]; }
    // A port that told of its loss itself, before it was lent.
    void portLost(Direction side, const QString& reason);
    void giveBack(Direction side);
    // Ends the forwarding and closes the ports, telling nothing.
    void shut();
    void fail();

    Mode m_mode;
    std::array<Side, 2> m_sides;
    // This object's thread's: what was taken from the forwarder and is still
    // to be told, in order.
    std::deque<Forwarder::Arrival> m_arrivals;
    std::unique_ptr<Forwarder> m_forwarder;
    // Wakes this thread when arrivals wait; the forwarder's while it runs.
    QSocketNotifier* m_tell = nullptr;
    qint64 m_heard = 0;
    QString m_why;
};

} // namespace varnix::monitor

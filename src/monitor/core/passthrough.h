// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/portmap.h"
#include "link/core/portswitch.h"
#include "monitor/core/decoder.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
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
    void stop();
    bool running() const;
    const QString& why() const { return m_why; }
    // "host /dev/ttyUSB0, board /dev/ttyUSB1, 19200,n,8,1", for a capture;
    // a tap's begins "tap of".
    QString description() const;
    Mode mode() const { return m_mode; }
    // The board's side is listened to: its answers are heard.
    bool hearsBoard() const { return !m_sides[1].choice.name.isEmpty(); }

signals:
    // Bytes came from the host (Direction::Host) or the board, at `at`
    // (milliseconds since the epoch), in the order they came.
    void arrived(Direction from, const QByteArray& bytes, qint64 at);
    // A side's port went away; told once, the other side goes on.
    void lost(Direction side, const QString& reason);

private:
    struct Side {
        PortChoice choice;
        link::PortMap map;
        std::unique_ptr<link::PortSwitch> port;
        QByteArray waiting;   // to be written to this side
        bool writing = false;
        bool told = false;
    };
    struct Arrival {
        Direction from;
        QByteArray bytes;
        qint64 at;
    };

    Side& side(Direction direction) { return m_sides[direction == Direction::Host ? 0 : 1]; }
    void read(Direction from);
    void write(Direction to, const QByteArray& bytes);
    void tellLost(Direction side, const QString& reason);

    Mode m_mode;
    std::array<Side, 2> m_sides;
    QList<Arrival> m_arrivals;
    bool m_telling = false;
    QString m_why;
};

} // namespace varnix::monitor

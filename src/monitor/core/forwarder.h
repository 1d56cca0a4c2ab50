// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/lentline.h"
#include "monitor/core/decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace varnix::monitor {

// Passes bytes between the host's line and the board's on a thread of its
// own. Each direction has its own path: a read of one line's descriptor,
// then at once a write to the other's (when passing; a tap only reads),
// then the bytes queued with their time. The decoder takes the queue on its
// own thread; nothing of it, of the window or of Qt's event loop stands
// between a byte's arrival and its departure. A line that takes no more for
// now holds up only its own direction.
//
// An RFC 2217 connection's Telnet is handled on the path: what the server
// sends is unescaped and its negotiation answered, what goes to it is
// escaped (the byte 255 doubled).
class Forwarder
{
public:
    // Bytes that arrived, or a line that stopped working (told once, why in
    // `reason`, and nothing from it after).
    struct Arrival {
        Direction from = Direction::Host;
        QByteArray bytes;
        // Milliseconds since the epoch, never going back.
        qint64 at = 0;
        bool lost = false;
        QString reason;
    };

    // While this much waits to be written to a line (a board's line slower
    // than the host's, a server that takes no more for now), the other line
    // is not read: a sender through a pseudo-terminal or TCP then waits, and
    // a serial line without flow control loses what its device cannot hold,
    // as it would sending to the slow line itself. A minute and more of a
    // fast line fits below it.
    static constexpr qsizetype kMostPending = 1024 * 1024;
    // The queue is told of at most this often, so that a byte at a time does
    // not wake the decoder's thread for each byte; a line quiet for longer is
    // told at once.
    static constexpr int kTellMs = 50;

    // The lines by side, the host's first; an absent one is no line.
    Forwarder(std::array<std::optional<link::LentLine>, 2> lines, bool passing);
    ~Forwarder();
    Forwarder(const Forwarder&) = delete;
    Forwarder& operator=(const Forwarder&) = delete;

    // False when the thread cannot be started.
    bool start();
    // Ends the forwarding and waits for the thread.
    void stop();
    // Readable while arrivals wait to be taken.
    int tellDescriptor() const { return m_tellFd; }
    // Moves the arrivals queued so far to the end of `into`, in order, and
    // gives the time up to which every arrival is among them.
    qint64 take(std::deque<Arrival>& into);
    // A line given back: after stop(), or once its loss has been taken.
    link::LentLine takeLine(Direction side);

private:
    // One line; the forwarding thread's alone while it runs, but for `lent`
    // of a line lost, which the loss's taker may take.
    struct Line {
        std::optional<link::LentLine> lent;
        bool open = false;
        // What waits to be written to it, from `done` on.
        QByteArray out;
        qsizetype done = 0;
        // What the waiting is asked to wake for (EPOLLIN, EPOLLOUT).
        std::uint32_t watched = 0;
        qsizetype pending() const { return out.size() - done; }
    };

    void run();
    bool mayRead(int side) const;
    // Asks the waiting to wake for what the line can do now.
    void watch(int side);
    void readFrom(int side, bool hungUp);
    // Bytes that arrived from a side: written on, then queued.
    void carry(int side, QByteArrayView bytes);
    void send(int side, QByteArrayView bytes);
    void flush(int side);
    // Writes what the line takes now: how much, or -1 when it was lost.
    qsizetype write(int side, QByteArrayView bytes);
    void lose(int side, int error);
    void queue(int side, QByteArrayView bytes, bool lost, const QString& reason = {});
    bool waiting();
    // Now, never before the last time given; under m_mutex.
    qint64 stamp();

    std::array<Line, 2> m_lines;
    const bool m_passing;
    std::thread m_thread;
    // eventfds: the thread is asked to stop; arrivals wait. And the epoll
    // the thread waits on for the lines and the stop.
    int m_stopFd = -1;
    int m_tellFd = -1;
    int m_epollFd = -1;
    // The forwarding thread's: something was queued since the last telling.
    bool m_queued = false;
    QByteArray m_buffer;

    // Guards the queue and the last time given, between the forwarding
    // thread, which fills the queue, and the taker's, which empties it.
    std::mutex m_mutex;
    std::deque<Arrival> m_queue;
    qint64 m_lastAt = 0;
};

} // namespace varnix::monitor

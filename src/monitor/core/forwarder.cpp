// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/forwarder.h"

#include "link/core/qtserialport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnix::monitor {

namespace {

using Clock = std::chrono::steady_clock;

// What the waiting tells of the stop, beside the lines' sides.
constexpr std::uint32_t kStop = 2;

// A read takes at most this much; a flood comes in parts of it.
constexpr qsizetype kReadSize = 64 * 1024;

Direction direction(int side)
{
    return side == 0 ? Direction::Host : Direction::Board;
}

int sideOf(Direction direction)
{
    return direction == Direction::Host ? 0 : 1;
}

QString systemMessage(int error)
{
    // Unlike strerror(), safe on any thread.
    return QString::fromStdString(std::generic_category().message(error));
}

void signal(int eventFd)
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(eventFd, &one, sizeof one);
}

} // namespace

Forwarder::Forwarder(std::array<std::optional<link::LentLine>, 2> lines, bool passing) : m_passing(passing)
{
    for (int side : {0, 1}) {
        m_lines[side].lent = std::move(lines[side]);
        m_lines[side].open = m_lines[side].lent && m_lines[side].lent->descriptor >= 0;
    }
    m_buffer.resize(kReadSize);
}

Forwarder::~Forwarder()
{
    stop();
    for (const int fd : {m_stopFd, m_tellFd, m_epollFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool Forwarder::start()
{
    if (m_thread.joinable())
        return true;
    if (m_stopFd < 0)
        m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_tellFd < 0)
        m_tellFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epollFd < 0)
        m_epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_stopFd < 0 || m_tellFd < 0 || m_epollFd < 0)
        return false;
    epoll_event stop{};
    stop.events = EPOLLIN;
    stop.data.u32 = kStop;
    if (::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_stopFd, &stop) != 0)
        return false;
    for (int side : {0, 1}) {
        Line& line = m_lines[side];
        if (!line.open)
            continue;
        // Qt opens them so already; a write must never wait here.
        const int fd = line.lent->descriptor;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        epoll_event event{};
        event.data.u32 = std::uint32_t(side);
        if (::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event) != 0)
            return false;
        line.watched = 0;
    }
    try {
        m_thread = std::thread(&Forwarder::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Forwarder::stop()
{
    if (!m_thread.joinable())
        return;
    signal(m_stopFd);
    m_thread.join();
}

qint64 Forwarder::take(std::deque<Arrival>& into)
{
    std::uint64_t told = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_tellFd, &told, sizeof told);
    const std::lock_guard lock(m_mutex);
    const qint64 at = stamp();
    if (into.empty()) {
        into.swap(m_queue);
    } else {
        std::move(m_queue.begin(), m_queue.end(), std::back_inserter(into));
        m_queue.clear();
    }
    return at;
}

link::LentLine Forwarder::takeLine(Direction side)
{
    Line& line = m_lines[sideOf(side)];
    link::LentLine lent = line.lent ? std::move(*line.lent) : link::LentLine{};
    line.lent.reset();
    return lent;
}

bool Forwarder::waiting()
{
    const std::lock_guard lock(m_mutex);
    return !m_queue.empty();
}

qint64 Forwarder::stamp()
{
    const qint64 now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    // A clock set back does not take the times back with it.
    m_lastAt = std::max(m_lastAt, now);
    return m_lastAt;
}

void Forwarder::run()
{
    // What the ports had read before they were lent comes first.
    for (int side : {0, 1}) {
        Line& line = m_lines[side];
        if (line.open && !line.lent->waiting.isEmpty())
            carry(side, std::exchange(line.lent->waiting, {}));
    }
    constexpr auto kTell = std::chrono::milliseconds(kTellMs);
    auto lastTold = Clock::now() - kTell;
    // When the queue is to be told of next; never while nothing waits. (Not
    // an optional: at -O1 gcc warns, wrongly, that its time may be read
    // unset.)
    constexpr auto kNever = Clock::time_point::max();
    auto tellAt = kNever;
    for (;;) {
        for (int side : {0, 1}) {
            if (m_lines[side].open)
                watch(side);
        }
        int timeout = -1;
        if (tellAt != kNever) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(tellAt - Clock::now()).count();
            timeout = int(std::max<decltype(left)>(left, 0));
        }
        std::array<epoll_event, 3> ready{};
        const int count = ::epoll_wait(m_epollFd, ready.data(), int(ready.size()), timeout);
        if (count < 0 && errno != EINTR)
            break;
        if (std::any_of(ready.begin(), ready.begin() + std::max(count, 0),
                        [](const epoll_event& e) { return e.data.u32 == kStop; }))
            break;
        for (int k = 0; k < count; ++k) {
            const auto events = ready[k].events;
            const int side = int(ready[k].data.u32);
            if (!m_lines[side].open)
                continue;
            if (events & EPOLLOUT)
                flush(side);
            if (m_lines[side].open && (events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
                readFrom(side, (events & (EPOLLHUP | EPOLLERR)) != 0);
        }
        const auto now = Clock::now();
        if (m_queued && tellAt == kNever)
            tellAt = std::max(now, lastTold + kTell);
        if (tellAt != kNever && now >= tellAt) {
            // The taker may have come for them meanwhile on its own.
            if (waiting())
                signal(m_tellFd);
            lastTold = now;
            tellAt = kNever;
            m_queued = false;
        }
    }
}

void Forwarder::watch(int side)
{
    Line& line = m_lines[side];
    // Asked for nothing, a line still tells of a hang-up or an error.
    std::uint32_t wanted = 0;
    if (mayRead(side))
        wanted |= EPOLLIN;
    if (line.pending() > 0)
        wanted |= EPOLLOUT;
    if (line.watched == wanted)
        return;
    epoll_event event{};
    event.events = wanted;
    event.data.u32 = std::uint32_t(side);
    ::epoll_ctl(m_epollFd, EPOLL_CTL_MOD, line.lent->descriptor, &event);
    line.watched = wanted;
}

bool Forwarder::mayRead(int side) const
{
    const Line& to = m_lines[1 - side];
    return !m_passing || !to.open || to.pending() < kMostPending;
}

void Forwarder::readFrom(int side, bool hungUp)
{
    Line& line = m_lines[side];
    const ssize_t n = ::read(line.lent->descriptor, m_buffer.data(), std::size_t(m_buffer.size()));
    if (n > 0) {
        const QByteArrayView bytes(m_buffer.constData(), n);
        if (!line.lent->telnet) {
            carry(side, bytes);
            return;
        }
        const link::TelnetParser::Output out = line.lent->telnet->feed(bytes);
        // The line's settings and state the server tells of unasked are not
        // the board's bytes; they are left out.
        if (!out.data.isEmpty())
            carry(side, out.data);
        if (!out.reply.isEmpty())
            send(side, out.reply);
        return;
    }
    const int error = n < 0 ? errno : 0;
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)
        return;
    // A serial line read in its raw mode gives nothing, without an error,
    // when there is nothing; it has hung up only when it says so.
    if (n == 0 && !line.lent->socket && !hungUp)
        return;
    lose(side, error);
}

void Forwarder::carry(int side, QByteArrayView bytes)
{
    const int to = 1 - side;
    if (m_passing && m_lines[to].open) {
        if (m_lines[to].lent->telnet)
            send(to, m_lines[to].lent->telnet->encode(bytes));
        else
            send(to, bytes);
    }
    queue(side, bytes, false);
}

void Forwarder::send(int side, QByteArrayView bytes)
{
    Line& line = m_lines[side];
    if (!line.open || bytes.isEmpty())
        return;
    if (line.pending() > 0) {
        line.out.append(bytes);
        flush(side);
        return;
    }
    // Nothing waits: straight from the read to the line.
    line.out.resize(0);
    line.done = 0;
    const qsizetype written = write(side, bytes);
    if (written >= 0 && written < bytes.size())
        line.out.append(bytes.sliced(written));
}

void Forwarder::flush(int side)
{
    Line& line = m_lines[side];
    const qsizetype written = write(side, QByteArrayView(line.out).sliced(line.done));
    if (written < 0)
        return;
    line.done += written;
    if (line.done == line.out.size()) {
        line.out.resize(0);
        line.done = 0;
    } else if (line.done >= kMostPending) {
        line.out.remove(0, line.done);
        line.done = 0;
    }
}

qsizetype Forwarder::write(int side, QByteArrayView bytes)
{
    const Line& line = m_lines[side];
    const int fd = line.lent->descriptor;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const char* from = bytes.data() + done;
        const auto size = std::size_t(bytes.size() - done);
        // A server gone raises no SIGPIPE, which would end the program.
        const ssize_t n = line.lent->socket ? ::send(fd, from, size, MSG_NOSIGNAL) : ::write(fd, from, size);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            lose(side, errno);
            return -1;
        }
        break;
    }
    return done;
}

void Forwarder::lose(int side, int error)
{
    Line& line = m_lines[side];
    QString reason;
    if (line.lent->socket) {
        reason = error == 0 || error == ECONNRESET || error == EPIPE ? QStringLiteral("the server closed the connection")
                                                                     : systemMessage(error);
    } else {
        reason = link::deviceFailure(line.lent->descriptor).value_or(error != 0 ? systemMessage(error) : QString());
    }
    line.open = false;
    ::epoll_ctl(m_epollFd, EPOLL_CTL_DEL, line.lent->descriptor, nullptr);
    line.out.clear();
    line.done = 0;
    queue(side, {}, true, reason);
}

void Forwarder::queue(int side, QByteArrayView bytes, bool lost, const QString& reason)
{
    {
        const std::lock_guard lock(m_mutex);
        const qint64 at = stamp();
        const Direction from = direction(side);
        // Bytes of one direction in the same millisecond go together.
        if (!lost && !m_queue.empty() && !m_queue.back().lost && m_queue.back().from == from
            && m_queue.back().at == at)
            m_queue.back().bytes.append(bytes);
        else
            m_queue.push_back(Arrival{from, bytes.toByteArray(), at, lost, reason});
    }
    m_queued = true;
}

} // namespace varnix::monitor

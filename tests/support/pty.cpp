// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/pty.h"

#include <QThread>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace varnix::test {

Pty::Pty()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    m_slavePath = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    stopReading();
    closeMaster();
    closeSlave();
    if (m_forward >= 0)
        ::close(m_forward);
}

void Pty::startReading()
{
    startSlowReading(0);
}

bool Pty::forwardTo(const QString& device, int answersPerSecond)
{
    m_answersPerSecond = answersPerSecond;
    m_forward = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return m_forward >= 0;
}

void Pty::answerLoop()
{
    char buffer[4096];
    // A few bytes at a time, at the line's pace when it has one.
    const ssize_t most = m_answersPerSecond > 0 ? 16 : ssize_t(sizeof buffer);
    while (m_reading.load()) {
        pollfd p{m_forward, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::read(m_forward, buffer, size_t(most));
        if (n <= 0)
            continue;
        send(QByteArray(buffer, n));
        if (m_answersPerSecond > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(n * 1'000'000 / m_answersPerSecond));
    }
}

void Pty::startSlowReading(int bytesPerSecond)
{
    if (m_reading.exchange(true))
        return;
    m_reader = std::thread(&Pty::readLoop, this, m_master, bytesPerSecond);
    if (m_forward >= 0)
        m_answerer = std::thread(&Pty::answerLoop, this);
}

void Pty::readLoop(int master, int bytesPerSecond)
{
    char buffer[4096];
    if (bytesPerSecond <= 0) {
        while (m_reading.load()) {
            pollfd p{master, POLLIN, 0};
            const int ready = ::poll(&p, 1, 20);
            if (ready <= 0)
                continue;
            if (!(p.revents & POLLIN)) {
                // The slave side is closed for now: nothing to read yet.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            const auto now = Clock::now();
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            record(buffer, n, now);
        }
        return;
    }

    // A line drains bytesPerSecond while it has bytes to carry; the reader
    // takes every tick what the line would have carried since the last one.
    // An idle line earns no credit beyond one tick, so a send that starts
    // later is not read faster than the rate.
    constexpr auto kTick = std::chrono::milliseconds(5);
    const double perTick = bytesPerSecond * std::chrono::duration<double>(kTick).count();
    double credit = 0;
    auto last = Clock::now();
    auto next = last + kTick;
    while (m_reading.load()) {
        std::this_thread::sleep_until(next);
        next += kTick;
        const auto now = Clock::now();
        credit += bytesPerSecond * std::chrono::duration<double>(now - last).count();
        last = now;
        bool dry = false;
        while (credit >= 1) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) {
                dry = true;
                break;
            }
            const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, std::size_t(credit)));
            if (n <= 0) {
                dry = true;
                break;
            }
            record(buffer, n, Clock::now());
            credit -= double(n);
        }
        if (dry)
            credit = std::min(credit, perTick);
    }
}

void Pty::record(const char* bytes, ssize_t count, Clock::time_point at)
{
    {
        const std::lock_guard lock(m_mutex);
        for (ssize_t i = 0; i < count; ++i)
            m_arrivals.push_back(Arrival{bytes[i], at});
    }
    for (ssize_t done = 0; m_forward >= 0 && done < count;) {
        const ssize_t n = ::write(m_forward, bytes + done, size_t(count - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
    }
}

void Pty::stopReading()
{
    if (!m_reading.exchange(false))
        return;
    if (m_reader.joinable())
        m_reader.join();
    if (m_answerer.joinable())
        m_answerer.join();
}

std::vector<Pty::Arrival> Pty::arrivals() const
{
    const std::lock_guard lock(m_mutex);
    return m_arrivals;
}

QByteArray Pty::received() const
{
    const std::lock_guard lock(m_mutex);
    QByteArray bytes;
    bytes.reserve(qsizetype(m_arrivals.size()));
    for (const Arrival& a : m_arrivals)
        bytes.append(a.byte);
    return bytes;
}

bool Pty::waitForBytes(std::size_t count, int timeoutMs) const
{
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < until) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_arrivals.size() >= count)
                return true;
        }
        QThread::msleep(2);
    }
    const std::lock_guard lock(m_mutex);
    return m_arrivals.size() >= count;
}

bool Pty::outputFull() const
{
    if (m_slave < 0)
        return false;
    pollfd p{m_slave, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 0;
}

bool Pty::send(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

void Pty::closeMaster()
{
    stopReading();
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void Pty::closeSlave()
{
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

termios lineOf(const QString& device)
{
    termios t{};
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::tcgetattr(fd, &t);
        ::close(fd);
    }
    return t;
}

} // namespace varnix::test

#include "support/pty.h"

#include <QThread>

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
}

void Pty::startReading()
{
    if (m_reading.exchange(true))
        return;
    const int master = m_master;
    m_reader = std::thread([this, master] {
        char buffer[4096];
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
            const std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i)
                m_arrivals.push_back(Arrival{buffer[i], now});
        }
    });
}

void Pty::stopReading()
{
    if (!m_reading.exchange(false))
        return;
    if (m_reader.joinable())
        m_reader.join();
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

} // namespace varnix::test

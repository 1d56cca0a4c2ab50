// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/nullmodem.h"

#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace varnix::test {

NullModem::NullModem()
{
    for (int side = 0; side < 2; ++side) {
        char name[256] = {};
        if (::openpty(&m_master[side], &m_slave[side], name, nullptr, nullptr) != 0) {
            m_master[side] = m_slave[side] = -1;
            return;
        }
        termios raw{};
        ::tcgetattr(m_master[side], &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_master[side], TCSANOW, &raw);
        m_path[side] = QString::fromLocal8Bit(name);
    }
    m_running = true;
    m_carrier = std::thread(&NullModem::carry, this);
}

NullModem::~NullModem()
{
    m_running = false;
    if (m_carrier.joinable())
        m_carrier.join();
    for (int side = 0; side < 2; ++side) {
        for (int fd : {m_master[side], m_slave[side]}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
}

void NullModem::carry()
{
    char buffer[4096];
    while (m_running.load()) {
        pollfd p[2] = {{m_master[0], POLLIN, 0}, {m_master[1], POLLIN, 0}};
        if (::poll(p, 2, 20) <= 0)
            continue;
        for (int side = 0; side < 2; ++side) {
            if (!(p[side].revents & POLLIN))
                continue;
            const ssize_t n = ::read(m_master[side], buffer, sizeof buffer);
            for (ssize_t done = 0; n > 0 && done < n;) {
                const ssize_t written = ::write(m_master[1 - side], buffer + done, size_t(n - done));
                if (written > 0)
                    done += written;
                else if (errno != EINTR && errno != EAGAIN)
                    break;
            }
        }
    }
}

} // namespace varnix::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/interrupts.h"

#include <fcntl.h>
#include <unistd.h>

namespace varnix {

namespace {

int g_signalWrite = -1;

void onSignal(int)
{
    const char byte = 1;
    // Nothing to do when the pipe is full: a stop is waiting to be read anyway.
    [[maybe_unused]] const ssize_t written = ::write(g_signalWrite, &byte, 1);
}

} // namespace

Interrupts::Interrupts(std::function<void(int count)> stop) : m_stop(std::move(stop))
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_signalWrite = m_pipe[1];
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_oldInt);
    ::sigaction(SIGTERM, &action, &m_oldTerm);
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        ssize_t n = 0;
        while ((n = ::read(m_pipe[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < n && m_count < 2; ++i) {
                if (++m_count == 2)
                    restore();
                m_stop(m_count);
            }
        }
    });
}

Interrupts::~Interrupts()
{
    restore();
    m_notifier.reset();
    for (const int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void Interrupts::restore()
{
    if (g_signalWrite < 0)
        return;
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    g_signalWrite = -1;
}

} // namespace varnix

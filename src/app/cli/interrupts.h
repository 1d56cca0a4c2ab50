// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

namespace varnix {

// Ctrl+C and a request to terminate (SIGINT, SIGTERM), taken from the signal
// handler through a pipe into the event loop while the object lives: stop is
// called with 1, then 2. After the second, the usual handling is back, so
// that a third ends the program.
class Interrupts
{
public:
    explicit Interrupts(std::function<void(int count)> stop);
    ~Interrupts();
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

private:
    void restore();

    std::function<void(int)> m_stop;
    int m_pipe[2] = {-1, -1};
    struct sigaction m_oldInt{};
    struct sigaction m_oldTerm{};
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_count = 0;
};

} // namespace varnix

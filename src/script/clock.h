// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdint>

namespace varnix::script {

// Where a script's run waits and tells the time. The program's clock keeps
// the event loop running (the port's reads, the window's painting); a test's
// clock lets time pass at once.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since a fixed start.
    virtual std::int64_t now() = 0;
    // Lets at most the given milliseconds pass; returns early after wake().
    virtual void sleep(int milliseconds) = 0;
    // Ends the sleep in progress, or the next one if none is.
    virtual void wake() {}
};

class EventLoopClock : public Clock
{
public:
    // The window lets the user's input through (see InputHold); the command
    // line has none.
    explicit EventLoopClock(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
    std::int64_t now() override;
    void sleep(int milliseconds) override;
    void wake() override;

private:
    QEventLoop::ProcessEventsFlags m_flags;
    QElapsedTimer m_started;
    QEventLoop* m_loop = nullptr;
    bool m_woken = false;
};

} // namespace varnix::script

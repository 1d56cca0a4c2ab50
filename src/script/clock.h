// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>

#include <coroutine>
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

    // The sleep as a step of a coroutine (link::Task): co_await
    // clock.sleeping(ms). A clock that holds its thread sleeps in place;
    // one that shares its thread with other runs takes the coroutine and
    // resumes it when the time is up or at wake().
    struct [[nodiscard]] Awaiter {
        Clock& clock;
        int milliseconds;
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> resume) { return clock.takeSleep(milliseconds, resume); }
        void await_resume() const noexcept {}
    };
    Awaiter sleeping(int milliseconds) { return {*this, milliseconds}; }

protected:
    // Sleeps in place and returns false, or takes `resume` to call later
    // and returns true.
    virtual bool takeSleep(int milliseconds, std::coroutine_handle<>)
    {
        sleep(milliseconds);
        return false;
    }
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

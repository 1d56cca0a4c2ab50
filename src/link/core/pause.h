// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// <cstddef> first: moc misreads <coroutine> when nothing before it has
// brought in the standard library's configuration.
#include <cstddef>
#include <coroutine>

class QEventLoop;

namespace varnix::link {

// Where a transmission waits. The program's pause keeps the window painting;
// a test's pause records where the waits fall instead of waiting.
class Pause
{
public:
    virtual ~Pause() = default;
    // Waits the given milliseconds (0 or less: returns at once).
    virtual void wait(int milliseconds) = 0;
    // Lets pending work run (painting) without waiting.
    virtual void yield() {}
    // Ends a wait in progress early; later waits return at once until reset().
    virtual void cancel() {}
    virtual void reset() {}
    // Whether the user's clicks and keys are handled while waiting: off by
    // default; a script's run turns it on and holds back all but Stop itself.
    virtual void setTakesInput(bool) {}

    // The wait and the yield as steps of a coroutine (link::Task): co_await
    // pause.waiting(ms). A pause that holds its thread waits in place; one
    // that shares its thread with other runs takes the coroutine and
    // resumes it when the time is up (or at cancel()).
    struct [[nodiscard]] Awaiter {
        Pause& pause;
        int milliseconds;
        bool yield;
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> resume)
        {
            return yield ? pause.takeYield(resume) : pause.takeWait(milliseconds, resume);
        }
        void await_resume() const noexcept {}
    };
    Awaiter waiting(int milliseconds) { return {*this, milliseconds, false}; }
    Awaiter yielding() { return {*this, 0, true}; }
    // Whether other runs share this pause's thread: then nothing may hold
    // the thread, not even a write waiting for room in its device.
    virtual bool sharesThread() const { return false; }

protected:
    // Waits in place and returns false, or takes `resume` to call later and
    // returns true.
    virtual bool takeWait(int milliseconds, std::coroutine_handle<>)
    {
        wait(milliseconds);
        return false;
    }
    virtual bool takeYield(std::coroutine_handle<>)
    {
        yield();
        return false;
    }
};

// Waits precisely while the event loop keeps running everything but the
// user's input (clicks and keys are held back until the transmission ends).
class EventLoopPause : public Pause
{
public:
    // The last microseconds are spun, for the pause to end on time within a
    // few microseconds: a single run has its thread to itself.
    EventLoopPause();
    void wait(int milliseconds) override;
    void yield() override;
    void cancel() override;
    void reset() override { m_cancelled = false; }
    void setTakesInput(bool on) override { m_takesInput = on; }

private:
    bool m_cancelled = false;
    bool m_takesInput = false;
    QEventLoop* m_loop = nullptr;
};

} // namespace varnix::link

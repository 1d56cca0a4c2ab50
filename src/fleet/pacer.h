// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/pause.h"
#include "script/clock.h"

#include <QString>

#include <chrono>
#include <coroutine>
#include <map>

class QSocketNotifier;

namespace varnix::fleet {

// Every wait of the board runs on one thread, served by one timer. A run's
// coroutine hands its wait here (its next character's pause, an answer, a
// settling line) and the pacer resumes each run whose time has come: the
// kernel's timer is set, to the microsecond, for the earliest of them, so
// each board keeps its own pacing whatever the others do, for as long as
// the thread keeps up with them all. A run resumes only from here, never
// from inside another run's signal, so no run waits inside another.
//
// Thread: the pacer, its timer and every Waits made on it belong to the
// thread that made them; nothing here is touched from another.
class Pacer
{
public:
    Pacer();
    ~Pacer();
    Pacer(const Pacer&) = delete;
    Pacer& operator=(const Pacer&) = delete;

    // Why the timer could not be made (out of file descriptors); empty
    // when it was.
    const QString& failure() const { return m_failure; }

    // One run's waits: its pause, which paces its frames, and its clock,
    // for everything else. A run waits for one thing at a time.
    class Waits final : public link::Pause, public script::Clock
    {
    public:
        explicit Waits(Pacer& pacer);
        ~Waits() override;
        Waits(const Waits&) = delete;
        Waits& operator=(const Waits&) = delete;

        // The waits that hold the thread: a run's steps never use them.
        void wait(int milliseconds) override;
        void sleep(int milliseconds) override;

        void cancel() override;
        void reset() override { m_cancelled = false; }
        bool sharesThread() const override { return true; }
        std::int64_t now() override;
        void wake() override;

    protected:
        bool takeWait(int milliseconds, std::coroutine_handle<> resume) override;
        bool takeYield(std::coroutine_handle<> resume) override;
        bool takeSleep(int milliseconds, std::coroutine_handle<> resume) override;

    private:
        friend class Pacer;
        enum class Kind { None, Pause, Sleep };
        void await(Kind kind, std::chrono::steady_clock::time_point at, std::coroutine_handle<> resume);
        // The wait in progress ends as soon as the thread comes to it.
        void endSoon();

        Pacer& m_pacer;
        Kind m_kind = Kind::None;
        std::coroutine_handle<> m_resume;
        std::multimap<std::chrono::steady_clock::time_point, Waits*>::iterator m_entry;
        bool m_cancelled = false;
        bool m_woken = false;
        std::chrono::steady_clock::time_point m_started;
    };

private:
    using Time = std::chrono::steady_clock::time_point;
    void enter(Waits& waits, Time at);
    void leave(Waits& waits);
    void arm(Time at);
    void onTimer();

    int m_timer = -1;
    QSocketNotifier* m_notifier = nullptr;
    QString m_failure;
    // The waits by when they end; the timer is set for the first.
    std::multimap<Time, Waits*> m_due;
    Time m_armed = Time::max();
};

} // namespace varnix::fleet

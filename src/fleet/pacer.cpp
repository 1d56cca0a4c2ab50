// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/pacer.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/prctl.h>
#include <sys/timerfd.h>
#include <thread>
#include <unistd.h>

namespace varnix::fleet {

namespace {
using Steady = std::chrono::steady_clock;
} // namespace

Pacer::Pacer()
{
    // The default 50 us of timer slack would be most of a pause's error.
    // It is the calling thread's own.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    // steady_clock is CLOCK_MONOTONIC on Linux.
    m_timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer < 0) {
        m_failure = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(m_timer, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { onTimer(); });
}

Pacer::~Pacer()
{
    delete m_notifier;
    if (m_timer >= 0)
        ::close(m_timer);
}

void Pacer::enter(Waits& waits, Time at)
{
    waits.m_entry = m_due.emplace(at, &waits);
    if (at < m_armed)
        arm(at);
}

void Pacer::leave(Waits& waits)
{
    // The timer stays set: going off early, it finds nothing due and is set
    // again.
    m_due.erase(waits.m_entry);
}

void Pacer::arm(Time at)
{
    if (m_timer < 0)
        return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    itimerspec due{};
    // Zero would disarm it: a time already past goes off at once.
    due.it_value.tv_sec = time_t(ns / 1000000000);
    due.it_value.tv_nsec = std::max(long(ns % 1000000000), due.it_value.tv_sec == 0 ? 1L : 0L);
    ::timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &due, nullptr);
    m_armed = at;
}

void Pacer::onTimer()
{
    std::uint64_t expirations = 0;
    [[maybe_unused]] const auto got = ::read(m_timer, &expirations, sizeof expirations);
    m_armed = Time::max();
    // Those due by now; a wait that begins or ends early meanwhile is due
    // later than this and goes round again, after what the thread has
    // waiting besides.
    const Time now = Steady::now();
    while (!m_due.empty() && m_due.begin()->first <= now) {
        Waits* waits = m_due.begin()->second;
        m_due.erase(m_due.begin());
        if (waits->m_kind == Waits::Kind::Sleep)
            waits->m_woken = false;
        waits->m_kind = Waits::Kind::None;
        std::exchange(waits->m_resume, {}).resume();
    }
    if (!m_due.empty())
        arm(m_due.begin()->first);
}

Pacer::Waits::Waits(Pacer& pacer) : m_pacer(pacer), m_started(Steady::now()) {}

Pacer::Waits::~Waits()
{
    if (m_kind != Kind::None)
        m_pacer.leave(*this);
}

void Pacer::Waits::wait(int milliseconds)
{
    if (milliseconds > 0 && !m_cancelled)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Pacer::Waits::sleep(int milliseconds)
{
    if (milliseconds > 0 && !std::exchange(m_woken, false))
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int64_t Pacer::Waits::now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - m_started).count();
}

void Pacer::Waits::await(Kind kind, Time at, std::coroutine_handle<> resume)
{
    m_kind = kind;
    m_resume = resume;
    m_pacer.enter(*this, at);
}

void Pacer::Waits::endSoon()
{
    m_pacer.leave(*this);
    m_pacer.enter(*this, Steady::now());
}

bool Pacer::Waits::takeWait(int milliseconds, std::coroutine_handle<> resume)
{
    if (milliseconds <= 0 || m_cancelled)
        return false;
    await(Kind::Pause, Steady::now() + std::chrono::milliseconds(milliseconds), resume);
    return true;
}

bool Pacer::Waits::takeYield(std::coroutine_handle<> resume)
{
    await(Kind::Pause, Steady::now(), resume);
    return true;
}

bool Pacer::Waits::takeSleep(int milliseconds, std::coroutine_handle<> resume)
{
    // Woken before it slept: the thread's other work comes first, then the
    // run goes on.
    const auto at = Steady::now() + std::chrono::milliseconds(m_woken ? 0 : std::max(milliseconds, 0));
    await(Kind::Sleep, at, resume);
    return true;
}

void Pacer::Waits::cancel()
{
    m_cancelled = true;
    if (m_kind == Kind::Pause)
        endSoon();
}

void Pacer::Waits::wake()
{
    if (m_kind == Kind::Sleep)
        endSoon();
    else
        m_woken = true;
}

} // namespace varnix::fleet

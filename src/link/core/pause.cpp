// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <sys/prctl.h>

namespace varnix::link {

namespace {
using Clock = std::chrono::steady_clock;

// The event loop wakes on whole milliseconds; the last stretch is slept by
// the kernel and the final few microseconds are spun, so the pause is not
// shorter than asked and rarely much longer.
constexpr auto kLoopMargin = std::chrono::microseconds(2500);
constexpr auto kSpin = std::chrono::microseconds(60);

void sleepUntil(Clock::time_point until)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch()).count();
    timespec ts{};
    ts.tv_sec = time_t(ns / 1000000000);
    ts.tv_nsec = long(ns % 1000000000);
    // steady_clock is CLOCK_MONOTONIC on Linux.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}
} // namespace

EventLoopPause::EventLoopPause()
{
    // The default 50 us timer slack would dominate the pacing error. It is
    // the calling thread's own.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
}

void EventLoopPause::wait(int milliseconds)
{
    if (milliseconds <= 0 || m_cancelled)
        return;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);

    const auto loopTime = deadline - kLoopMargin - Clock::now();
    if (loopTime > std::chrono::milliseconds(1) && QCoreApplication::instance()) {
        QEventLoop loop;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.start(int(std::chrono::duration_cast<std::chrono::milliseconds>(loopTime).count()));
        m_loop = &loop;
        loop.exec(m_takesInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        m_loop = nullptr;
        if (m_cancelled)
            return;
    }
    if (deadline - Clock::now() > kSpin)
        sleepUntil(deadline - kSpin);
    while (Clock::now() < deadline) {
    }
}

void EventLoopPause::yield()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(m_takesInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

void EventLoopPause::cancel()
{
    m_cancelled = true;
    if (m_loop)
        m_loop->quit();
}

} // namespace varnix::link

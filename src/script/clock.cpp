// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/clock.h"

#include <QCoreApplication>
#include <QTimer>

namespace varnix::script {

EventLoopClock::EventLoopClock(QEventLoop::ProcessEventsFlags flags) : m_flags(flags)
{
    m_started.start();
}

std::int64_t EventLoopClock::now()
{
    return m_started.elapsed();
}

void EventLoopClock::sleep(int milliseconds)
{
    if (milliseconds <= 0 || m_woken || m_loop) {
        m_woken = false;
        QCoreApplication::processEvents(m_flags);
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    m_loop = &loop;
    loop.exec(m_flags);
    m_loop = nullptr;
    m_woken = false;
}

void EventLoopClock::wake()
{
    m_woken = true;
    if (m_loop)
        m_loop->quit();
}

} // namespace varnix::script

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/callqueue.h"

namespace varnix::fleet {

void CallQueue::post(std::function<void()> call)
{
    // The wake-up too is under the lock, so that the owner, once it has
    // taken the lock, knows it is done with this object (and may delete
    // it). Through the meta-object system, not a functor of this thread's
    // making: the wake-up carries nothing the other thread reads.
    // One wake-up serves every call handed over before it is taken.
    const std::lock_guard locked(m_lock);
    m_calls.push_back(std::move(call));
    if (m_calls.size() == 1)
        QMetaObject::invokeMethod(this, "runWaiting", Qt::QueuedConnection);
}

void CallQueue::runWaiting()
{
    std::vector<std::function<void()>> calls;
    {
        const std::lock_guard locked(m_lock);
        calls.swap(m_calls);
    }
    for (const auto& call : calls)
        call();
}

void CallQueue::handOver()
{
    const std::lock_guard locked(m_lock);
}

void CallQueue::drop()
{
    std::vector<std::function<void()>> calls;
    const std::lock_guard locked(m_lock);
    calls.swap(m_calls);
}

} // namespace varnix::fleet

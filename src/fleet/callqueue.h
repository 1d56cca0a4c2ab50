// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>
#include <mutex>
#include <vector>

namespace varnix::fleet {

// Calls handed from any thread to the thread this object lives in, run
// there in the order they were handed over. Qt's queued calls would carry
// them too, but through a lock that ThreadSanitizer cannot see into
// (Debian's Qt is not built for it), so everything the calls carry would
// look raced; this queue's own lock it sees, and so it still checks all
// that either thread touches.
class CallQueue : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // From any thread: `call` runs later in this object's thread.
    void post(std::function<void()> call);
    // From this object's thread: runs what has been handed over so far.
    Q_INVOKABLE void runWaiting();
    // From this object's thread: forgets what has been handed over, unrun
    // (the other thread has ended, and what it said is no longer wanted).
    void drop();
    // From another thread, the last it does before it ends: all it did
    // before happens before this object's next runWaiting() or drop(), so
    // that the owner may then delete what that thread touched. (Waiting for
    // the thread orders it too, but through a lock ThreadSanitizer cannot
    // see into.)
    void handOver();

private:
    // Guards m_calls, which every thread may add to.
    std::mutex m_lock;
    std::vector<std::function<void()>> m_calls;
};

} // namespace varnix::fleet

// SPDX-License-Identifier: GPL-3.0-or-later
// Many runs' waits on one thread's timer: each run resumes when its own time
// comes, in the order their times come, and a stop or a wake-up ends a wait
// at once, whatever the other runs wait for.
#include "fleet/pacer.h"
#include "link/core/task.h"
#include "support/testmain.h"

#include <QStringList>
#include <QTest>

using namespace varnix;
using varnix::fleet::Pacer;

namespace {

// Pauses `pauses` times for `milliseconds`, noting its name at each end.
link::Task<void> pausing(Pacer::Waits& waits, int milliseconds, int pauses, QStringList& ends, QString name)
{
    for (int i = 0; i < pauses; ++i) {
        co_await waits.waiting(milliseconds);
        ends << name;
    }
}

link::Task<void> sleeping(Pacer::Waits& waits, int milliseconds, QStringList& ends, QString name)
{
    co_await waits.sleeping(milliseconds);
    ends << name;
}

// Far longer than any test waits: a wait that ends only when its time is up
// fails the test.
constexpr int kForever = 600000;

} // namespace

class PacerTest : public QObject
{
    Q_OBJECT
private slots:
    void runsResumeInTheOrderTheirTimesCome();
    void aStopEndsAPauseAtOnceAndTheRunsAfter();
    void aWakeEndsTheSleepOrTheNextOne();
};

void PacerTest::runsResumeInTheOrderTheirTimesCome()
{
    Pacer pacer;
    QVERIFY2(pacer.failure().isEmpty(), qPrintable(pacer.failure()));
    Pacer::Waits a(pacer), b(pacer), c(pacer);
    QStringList ends;
    // a at 30, 60 and 90 ms (each counted from the end of the one before);
    // b at 50; c, asleep, only when woken.
    auto first = pausing(a, 30, 3, ends, QStringLiteral("a"));
    auto second = pausing(b, 50, 1, ends, QStringLiteral("b"));
    auto third = sleeping(c, kForever, ends, QStringLiteral("c"));
    third.start();
    first.start();
    second.start();
    QTRY_VERIFY(first.done() && second.done());
    QCOMPARE(ends, (QStringList{"a", "b", "a", "a"}));
    QVERIFY(!third.done());
    c.wake();
    QTRY_VERIFY(third.done());
}

void PacerTest::aStopEndsAPauseAtOnceAndTheRunsAfter()
{
    Pacer pacer;
    Pacer::Waits waits(pacer);
    QStringList ends;
    auto run = pausing(waits, kForever, 3, ends, QStringLiteral("paused"));
    run.start();
    QVERIFY(!run.done());
    waits.cancel();
    QTRY_VERIFY(run.done());
    // Cancelled, every pause after it is over at once too, until reset.
    QCOMPARE(ends.size(), 3);
    waits.reset();
    auto again = pausing(waits, kForever, 1, ends, QStringLiteral("again"));
    again.start();
    QTest::qWait(20);
    QVERIFY(!again.done());
    waits.cancel();
    QTRY_VERIFY(again.done());
}

void PacerTest::aWakeEndsTheSleepOrTheNextOne()
{
    Pacer pacer;
    Pacer::Waits waits(pacer);
    QStringList ends;
    auto asleep = sleeping(waits, kForever, ends, QStringLiteral("woken"));
    asleep.start();
    QVERIFY(!asleep.done());
    waits.wake();
    QTRY_VERIFY(asleep.done());
    // Woken while it was not asleep: its next sleep ends as soon as the
    // thread comes to it, never inside the call that began it.
    waits.wake();
    auto next = sleeping(waits, kForever, ends, QStringLiteral("next"));
    next.start();
    QVERIFY(!next.done());
    QTRY_VERIFY(next.done());
    // That wake-up is spent: the sleep after it waits.
    auto after = sleeping(waits, kForever, ends, QStringLiteral("after"));
    after.start();
    QTest::qWait(20);
    QVERIFY(!after.done());
    waits.wake();
    QTRY_VERIFY(after.done());
    QCOMPARE(ends, (QStringList{"woken", "next", "after"}));
}

VARNIX_TEST_MAIN(PacerTest)
#include "tst_pacer.moc"

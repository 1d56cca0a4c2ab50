// SPDX-License-Identifier: GPL-3.0-or-later
// The program's ports opened and closed in many threads at once, as a
// fleet's boards do: a board is held by one port at a time, and the table of
// who holds what is never torn (the sanitizers' builds watch it).
#include "link/core/portmap.h"
#include "link/core/portswitch.h"
#include "support/pty.h"
#include "support/testmain.h"

#include <QTest>
#include <QThread>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

using namespace varnix;

class PortClaimsTest : public QObject
{
    Q_OBJECT
private slots:
    void threadsTakeAndLetGoOfBoardsTogether();
};

void PortClaimsTest::threadsTakeAndLetGoOfBoardsTogether()
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 30;
    std::vector<std::unique_ptr<test::Pty>> lines;
    for (int i = 0; i < kThreads; ++i) {
        lines.push_back(std::make_unique<test::Pty>());
        QVERIFY(lines.back()->ok());
    }
    // Every other round all threads want line 0; the others, a line each.
    std::array<std::atomic<int>, kThreads> holding{};
    std::atomic<int> heldTwice{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(QThread::create([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const int line = round % 2 ? t : 0;
                link::PortMap map;
                map.setDevices({lines[std::size_t(line)]->slavePath()});
                link::PortSwitch port(map);
                port.setHolder(QStringLiteral("thread %1").arg(t));
                port.setPortNumber(1);
                if (!port.open())
                    continue;
                if (holding[std::size_t(line)]++ > 0)
                    ++heldTwice;
                QThread::yieldCurrentThread();
                --holding[std::size_t(line)];
                // Every other time the port goes with its owner still open.
                if (round % 4 < 2)
                    port.close();
            }
        }));
        threads.back()->start();
    }
    for (const auto& thread : threads)
        QVERIFY(thread->wait(60000));
    QCOMPARE(heldTwice.load(), 0);
    // Every line is free again at the end.
    for (const auto& line : lines) {
        link::PortMap map;
        map.setDevices({line->slavePath()});
        link::PortSwitch port(map);
        port.setPortNumber(1);
        QVERIFY2(port.open(), qPrintable(port.failureReason()));
    }
}

VARNIX_TEST_MAIN(PortClaimsTest)
#include "tst_portclaims.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The program's list of serial ports: looked at again once a burst of
// changes is over, not once for each change.
#include "link/core/boardlink.h"
#include "link/core/portmap.h"
#include "support/pty.h"
#include "support/testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <list>

using namespace varnix;

class PortListTest : public QObject
{
    Q_OBJECT
private slots:
    void burstOfChangesIsOneLook_data();
    void burstOfChangesIsOneLook();
    void linkOlderThanItsTerminalIsNoBoard();
    void linkFollowsTheRuntimeFolder();
};

void PortListTest::burstOfChangesIsOneLook_data()
{
    QTest::addColumn<bool>("folderAtStart");
    QTest::newRow("board's folder there") << true;
    QTest::newRow("board's folder made later") << false;
}

void PortListTest::burstOfChangesIsOneLook()
{
    QFETCH(bool, folderAtStart);
    QTemporaryDir dir;
    const QString link = dir.path() + QStringLiteral("/varnix/virtual-board");
    if (folderAtStart)
        QVERIFY(link::makeVirtualBoardFolder(link));
    link::SystemPortMap map(link);
    const int looksAtStart = map.looks();

    // Other programs' terminals opened and closed: nothing to look at.
    for (int i = 0; i < 40; ++i)
        test::Pty terminal;
    QTest::qWait(link::SystemPortMap::kQuietMs + 200);
    QCOMPARE(map.looks(), looksAtStart);

    // Boards coming and going under the link many times in a row.
    test::Pty first;
    test::Pty second;
    QVERIFY(link::makeVirtualBoardFolder(link));
    for (int i = 0; i < 20; ++i) {
        QFile::remove(link);
        QVERIFY(QFile::link(i % 2 ? first.slavePath() : second.slavePath(), link));
    }
    QTRY_COMPARE_WITH_TIMEOUT(map.virtualBoard(), first.slavePath(), 3000);
    QVERIFY(map.devices().contains(first.slavePath()));
    // One look when the burst is over, one more a little later, no others.
    QTRY_COMPARE_WITH_TIMEOUT(map.looks(), looksAtStart + 2, 3000);
    QTest::qWait(link::SystemPortMap::kLateMs + 200);
    QCOMPARE(map.looks(), looksAtStart + 2);

    // The board ending shows too.
    QFile::remove(link);
    QTRY_COMPARE_WITH_TIMEOUT(map.virtualBoard(), QString(), 3000);
    QVERIFY(!map.devices().contains(first.slavePath()));
}

void PortListTest::linkOlderThanItsTerminalIsNoBoard()
{
    // A board that was killed leaves its link; the kernel hands the number
    // of its terminal to the next one opened, often a person's shell.
    QTemporaryDir dir;
    const QString link = dir.path() + QStringLiteral("/virtual-board");
    auto board = std::make_unique<test::Pty>();
    const QString device = board->slavePath();
    QVERIFY(QFile::link(device, link));
    QCOMPARE(link::virtualBoardDevice(link), device);
    board.reset();
    QCOMPARE(link::virtualBoardDevice(link), QString());
    // Later than the clock's step: file times are taken from a coarse clock.
    QTest::qWait(50);

    std::list<test::Pty> others;
    do
        others.emplace_back();
    while (others.size() < 8 && others.back().slavePath() != device);
    if (others.back().slavePath() != device)
        QSKIP("the kernel gave the terminal's number to another program");
    QCOMPARE(link::virtualBoardDevice(link), QString());
}

void PortListTest::linkFollowsTheRuntimeFolder()
{
    const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString inRuntime = link::virtualBoardLink();
    // A runtime folder others may write to is not trusted.
    QFile::setPermissions(runtime.path(), QFile::Permissions(0x7777));
    const QString openToOthers = link::virtualBoardLink();
    if (before.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", before);
    QCOMPARE(inRuntime, runtime.path() + QStringLiteral("/varnix/virtual-board"));
    QVERIFY(!openToOthers.startsWith(runtime.path()));
}

VARNIX_TEST_MAIN(PortListTest)
#include "tst_portlist.moc"

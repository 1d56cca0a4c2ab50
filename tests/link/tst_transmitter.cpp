// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "link/core/transmitter.h"
#include "support/fixture.h"

#include <QTest>

using namespace varnix;
using namespace varnix::link;

class TransmitterTest : public QObject
{
    Q_OBJECT
private slots:
    void pacingCharacterFromField_data();
    void pacingCharacterFromField();
    void pacingDelayFromField_data();
    void pacingDelayFromField();
    void pausesStandBeforeEachPacingCharacter_data();
    void pausesStandBeforeEachPacingCharacter();
    void writesTheFrameToItsLastCharacter();
    void longestFrameGoesWholeAndOneMoreFails();
    void refusedWriteStopsWhereItIs();
    void cancelStopsAfterTheCurrentWait();
    void progressCountsCharactersAndTimeLeft();
};

void TransmitterTest::pacingCharacterFromField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("pacing"); // empty: no character matches
    QTest::newRow("bracket") << "]" << "]";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blanks only") << "   " << "";
    QTest::newRow("two brackets") << "]]" << "";
    QTest::newRow("bracket between blanks") << " ] " << "]";
    QTest::newRow("letter") << "c" << "c";
    QTest::newRow("tab is not a blank") << "\t]" << "";
}

void TransmitterTest::pacingCharacterFromField()
{
    QFETCH(QString, field);
    QFETCH(QString, pacing);
    const auto c = pacingCharacter(field);
    QCOMPARE(c ? QString(*c) : QString(), pacing);
}

void TransmitterTest::pacingDelayFromField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("delay"); // -1: no delay can be read (fails)
    QTest::newRow("start value") << "20" << 20;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("unit after number") << "20ms" << 20;
    QTest::newRow("fraction up") << "2.6" << 3;
    QTest::newRow("half to even down") << "2.5" << 2;
    QTest::newRow("half to even up") << "3.5" << 4;
    QTest::newRow("negative counts as none") << "-50" << 0;
    QTest::newRow("blanks inside") << " 2 0" << 20;
    QTest::newRow("exponent") << "1e2" << 100;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("beyond 32 bits") << "2147483648" << -1;
    QTest::newRow("huge") << "1e400" << -1;
}

void TransmitterTest::pacingDelayFromField()
{
    QFETCH(QString, field);
    QFETCH(int, delay);
    const auto d = pacingDelay(field);
    QCOMPARE(d ? *d : -1, delay);
}

void TransmitterTest::pausesStandBeforeEachPacingCharacter_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("waitchr");
    QTest::addColumn<QList<int>>("pausesBefore"); // index of the character each pause precedes
    QTest::newRow("circle") << "]c]402014" << "]" << QList<int>{0, 2};
    QTest::newRow("letter c") << "]c]402014" << "c" << QList<int>{1};
    QTest::newRow("no pacing character") << "]c]402014" << "" << QList<int>{};
    QTest::newRow("two brackets") << "]c]402014" << "]]" << QList<int>{};
    QTest::newRow("string frame") << "]h]0120]A]B]@" << "]" << QList<int>{0, 2, 7, 9, 11};
    QTest::newRow("clear") << "]k" << "]" << QList<int>{0};
}

void TransmitterTest::pausesStandBeforeEachPacingCharacter()
{
    QFETCH(QString, frame);
    QFETCH(QString, waitchr);
    QFETCH(QList<int>, pausesBefore);
    test::FakePort port;
    port.open();
    test::RecordingPause pause;
    pause.position = [&] { return int(port.written.size()); };
    Transmitter transmitter(port, pause);

    QCOMPARE(transmitter.transmit(frame, pacingCharacter(waitchr), 20), Transmitter::Outcome::Sent);
    QCOMPARE(port.written, frame);
    QList<int> positions;
    for (const auto& wait : pause.waits) {
        positions << wait.position;
        QCOMPARE(wait.milliseconds, 20);
    }
    QCOMPARE(positions, pausesBefore);
}

void TransmitterTest::writesTheFrameToItsLastCharacter()
{
    test::FakePort port;
    port.open();
    test::RecordingPause pause;
    Transmitter transmitter(port, pause);
    // A blank put as a character ends its frame; the sender drops the
    // blanks of any other frame before it gets here.
    QCOMPARE(transmitter.transmit(QStringLiteral("]p]0a0a] "), QChar(u']'), 20), Transmitter::Outcome::Sent);
    QCOMPARE(port.written, QStringLiteral("]p]0a0a] "));
    QCOMPARE(withoutTrailingBlanks(QStringLiteral(" a b  ")), QStringLiteral(" a b"));
    QVERIFY(isBlank(QStringLiteral("    ")));
    QVERIFY(!isBlank(QStringLiteral("  x ")));
}

void TransmitterTest::longestFrameGoesWholeAndOneMoreFails()
{
    test::FakePort port;
    port.open();
    test::RecordingPause pause;
    Transmitter transmitter(port, pause);
    const QString longest = QStringLiteral("]") + QString(kMaxFrameLength - 1, u'a');
    QCOMPARE(transmitter.transmit(longest, QChar(u']'), 1), Transmitter::Outcome::Sent);
    QCOMPARE(port.written.size(), kMaxFrameLength);

    port.written.clear();
    QCOMPARE(transmitter.transmit(longest + u'a', QChar(u']'), 1), Transmitter::Outcome::Failed);
    QVERIFY(port.written.isEmpty());
}

void TransmitterTest::refusedWriteStopsWhereItIs()
{
    test::FakePort port;
    port.open();
    port.failWriteAt = 4;
    test::RecordingPause pause;
    Transmitter transmitter(port, pause);
    QCOMPARE(transmitter.transmit(QStringLiteral("]c]402014"), QChar(u']'), 20), Transmitter::Outcome::Failed);
    QCOMPARE(port.written, QStringLiteral("]c]4"));
    QCOMPARE(transmitter.written(), 4);
}

void TransmitterTest::cancelStopsAfterTheCurrentWait()
{
    test::FakePort port;
    port.open();
    test::RecordingPause pause;
    Transmitter transmitter(port, pause);
    pause.duringWait = [&] {
        if (pause.waits.size() == 2)
            transmitter.cancel();
    };
    QCOMPARE(transmitter.transmit(QStringLiteral("]c]402014"), QChar(u']'), 20), Transmitter::Outcome::Cancelled);
    QCOMPARE(port.written, QStringLiteral("]c"));
}

void TransmitterTest::progressCountsCharactersAndTimeLeft()
{
    test::FakePort port;
    port.open();
    test::RecordingPause pause;
    Transmitter transmitter(port, pause);
    QList<Progress> seen;
    transmitter.transmit(QStringLiteral("]41]42]43"), QChar(u']'), 200, [&](const Progress& p) { seen << p; });
    QVERIFY(seen.size() >= 2);
    QCOMPARE(seen.front().sent, 0);
    QCOMPARE(seen.front().total, 9);
    QCOMPARE(seen.front().millisecondsLeft, 600);
    QCOMPARE(seen.back().sent, 9);
    QCOMPARE(seen.back().millisecondsLeft, 0);
}

VARNIX_TEST_MAIN(TransmitterTest)
#include "tst_transmitter.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "widgets/fields.h"
#include "link/terminal.h"
#include "support/fixture.h"

#include <algorithm>
#include <QLabel>
#include <QTest>

using namespace varnix;
using namespace std::chrono;

namespace {
// Pauses are asked long enough that a scheduling hiccup between two unpaced
// characters, or the window's way to the first of them under
// ThreadSanitizer (some 75 ms), cannot pass for one.
constexpr int kLongDelay = 200;
} // namespace

class PtySendTest : public QObject
{
    Q_OBJECT
private slots:
    void pausesStandBeforePacingCharactersOnly_data();
    void pausesStandBeforePacingCharactersOnly();
    void trailingBlanksStayBehind();
    void emptyOrBlankTextSendsNothing_data();
    void emptyOrBlankTextSendsNothing();
    void longestFrameGoesWhole();
    void oneCharacterTooManySendsNothing();
    void everyByteValueGoesOutAsItself();

private:
    static void openPort(test::PtyFixture& f);
    static void sendText(test::PtyFixture& f, const QString& text);
};

void PtySendTest::openPort(test::PtyFixture& f)
{
    QVERIFY(f.pty.ok());
    f.pty.startReading();
    f.click(QStringLiteral("cmdCom"));
    QVERIFY2(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')));
}

void PtySendTest::sendText(test::PtyFixture& f, const QString& text)
{
    f.setField(QStringLiteral("txmText"), text);
    f.main().send();
}

void PtySendTest::pausesStandBeforePacingCharactersOnly_data()
{
    QTest::addColumn<QString>("waitchr");
    QTest::addColumn<QString>("xmitdelay");
    QTest::addColumn<int>("delay");        // the pause expected, ms
    QTest::addColumn<QString>("paced");    // the characters that get a pause
    QTest::newRow("bracket") << "]" << QString::number(kLongDelay) << kLongDelay << "]";
    QTest::newRow("bracket between blanks") << " ] " << QString::number(kLongDelay) << kLongDelay << "]";
    QTest::newRow("letter c") << "c" << QString::number(kLongDelay) << kLongDelay << "c";
    QTest::newRow("empty") << "" << QString::number(kLongDelay) << 0 << "";
    QTest::newRow("two brackets") << "]]" << QString::number(kLongDelay) << 0 << "";
    QTest::newRow("letters as delay") << "]" << "abc" << 0 << "";
    QTest::newRow("negative delay") << "]" << "-100" << 0 << "";
    QTest::newRow("unit after delay") << "]" << "120ms" << 120 << "]";
    QTest::newRow("fraction rounds") << "]" << "2.6" << 3 << "]";
}

void PtySendTest::pausesStandBeforePacingCharactersOnly()
{
    QFETCH(QString, waitchr);
    QFETCH(QString, xmitdelay);
    QFETCH(int, delay);
    QFETCH(QString, paced);

    test::PtyFixture f;
    openPort(f);
    f.setField(QStringLiteral("waitchr"), waitchr);
    f.setField(QStringLiteral("xmitdelay"), xmitdelay);
    const QByteArray frame("]c]402014");
    const auto start = test::Pty::Clock::now();
    sendText(f, QString::fromLatin1(frame));
    const auto returned = test::Pty::Clock::now();
    QVERIFY(f.pty.waitForBytes(size_t(frame.size()), 5000));
    QCOMPARE(f.pty.received(), frame);

    // Arrival times are when the reader woke, a little after the write; so a
    // pause may look shorter than it was by that latency, but the k-th paused
    // character can never arrive sooner than k pauses after the start.
    const auto arrivals = f.pty.arrivals();
    auto previous = start;
    int pausesSoFar = 0;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const auto gap = duration_cast<microseconds>(arrivals[i].at - previous);
        previous = arrivals[i].at;
        const bool pacedHere = !paced.isEmpty() && arrivals[i].byte == paced.front().toLatin1();
        if (pacedHere && delay > 0) {
            ++pausesSoFar;
            QVERIFY(arrivals[i].at - start >= milliseconds(delay * pausesSoFar));
            // A reader woken late for the byte before shortens this gap by
            // as much, on a loaded machine by tens of milliseconds; half a
            // long pause still tells a pause from none, and the check above
            // holds every pause to its whole length.
            QVERIFY2(gap >= milliseconds(delay) - std::max(milliseconds(8), milliseconds(delay / 2)),
                     qPrintable(QStringLiteral("byte %1 came %2 us after the one before").arg(i).arg(gap.count())));
        } else {
            QVERIFY2(gap < milliseconds(kLongDelay / 2),
                     qPrintable(QStringLiteral("unpaced byte %1 waited %2 us").arg(i).arg(gap.count())));
        }
    }
    QCOMPARE(pausesSoFar, delay > 0 ? int(frame.count(paced.toLatin1())) : 0);
    QVERIFY(returned - start >= milliseconds(delay * pausesSoFar));
}

void PtySendTest::trailingBlanksStayBehind()
{
    test::PtyFixture f;
    openPort(f);
    sendText(f, QStringLiteral("]k   "));
    QVERIFY(f.pty.waitForBytes(2, 5000));
    QTest::qWait(150);
    QCOMPARE(f.pty.received(), QByteArray("]k"));
    QCOMPARE(f.txmText()->exactText(), QStringLiteral("]k   "));
}

void PtySendTest::emptyOrBlankTextSendsNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "    ";
}

void PtySendTest::emptyOrBlankTextSendsNothing()
{
    QFETCH(QString, text);
    test::PtyFixture f;
    openPort(f);
    f.main().terminal().setPolling(false);
    sendText(f, text);
    QTest::qWait(150);
    QVERIFY(f.pty.received().isEmpty());
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to send!")});
    QCOMPARE(f.desktop.messages.front().title, QStringLiteral("Varnix"));
    QCOMPARE(f.desktop.messages.front().buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(f.main().terminal().polling());
}

void PtySendTest::longestFrameGoesWhole()
{
    // The far end reads slower than the frame is written: the device's
    // buffer fills many times over, and the send waits for room each time.
    test::PtyFixture f;
    QVERIFY(f.pty.ok());
    f.pty.startSlowReading(16000);
    f.click(QStringLiteral("cmdCom"));
    QVERIFY(f.port.isOpen());
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("0"));
    QByteArray frame = "]m]00000000";
    while (frame.size() < 32767)
        frame += "]ab";
    frame.truncate(32767);
    sendText(f, QString::fromLatin1(frame));
    QVERIFY(f.pty.waitForBytes(size_t(frame.size()), 20000));
    QCOMPARE(f.pty.received(), frame);
    QVERIFY(f.desktop.messages.isEmpty());
    QVERIFY(f.port.isOpen());
    auto* comm = f.find<QLabel>(QStringLiteral("comm"));
    QCOMPARE(comm->text(), QStringLiteral("ON"));
    QCOMPARE(comm->palette().color(QPalette::Window), QColor(0, 192, 0));
}

void PtySendTest::oneCharacterTooManySendsNothing()
{
    test::PtyFixture f;
    openPort(f);
    sendText(f, QStringLiteral("]") + QString(32767, u'a'));
    QTest::qWait(150);
    QVERIFY(f.pty.received().isEmpty());
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to send!")});
    // Nothing went out, so the port is as it was: open and idle.
    QCOMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("ON"));
    QVERIFY(f.main().terminal().polling());
}

void PtySendTest::everyByteValueGoesOutAsItself()
{
    test::PtyFixture f;
    openPort(f);
    f.setField(QStringLiteral("waitchr"), QString());
    QString text;
    QByteArray expected;
    for (int b = 0; b < 256; ++b) {
        text += QChar(char16_t(b));
        expected += char(b);
    }
    text += QChar(u'!'); // a frame never ends in a blank that matters here
    expected += '!';
    sendText(f, text);
    QVERIFY(f.pty.waitForBytes(size_t(expected.size()), 5000));
    QCOMPARE(f.pty.received(), expected);
}

VARNIX_TEST_MAIN(PtySendTest)
#include "tst_ptysend.moc"

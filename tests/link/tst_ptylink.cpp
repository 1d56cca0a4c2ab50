// SPDX-License-Identifier: GPL-3.0-or-later
// The serial link on its own, without the window: the program's port class
// on a pseudo-terminal whose far end the test works, byte for byte.
#include "support/testmain.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "support/pty.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace varnix;

namespace {

// The longest frame, with every printable character in turn so that a byte
// lost, doubled or out of place shows.
QByteArray longFrame(char first)
{
    QByteArray frame;
    frame.reserve(link::kMaxFrameLength);
    for (int i = 0; frame.size() < link::kMaxFrameLength; ++i)
        frame += char(first + i % 90);
    frame[0] = ']';
    return frame;
}

struct Link {
    test::Pty pty;
    link::PortMap ports;
    link::QtSerialPort port{ports};
    link::EventLoopPause pause;
    link::Connection connection{port, pause};
    QSignalSpy lost{&connection, &link::Connection::lost};

    Link() { ports.setDevices({pty.slavePath()}); }

    link::Transmitter::Outcome send(const QByteArray& frame)
    {
        return connection.transmit(QString::fromLatin1(frame), QChar(u']'), 0);
    }
};

// Runs action from the event loop once the pseudo-terminal has stayed full
// for two checks in a row: by then the port is waiting for room.
class WhenFull : public QObject
{
public:
    WhenFull(test::Pty& pty, std::function<void()> action) : m_pty(pty), m_action(std::move(action))
    {
        m_timer.callOnTimeout(this, [this] {
            m_fullChecks = m_pty.outputFull() ? m_fullChecks + 1 : 0;
            if (m_fullChecks == 2) {
                m_timer.stop();
                m_action();
            }
        });
        m_timer.start(10);
    }

private:
    test::Pty& m_pty;
    std::function<void()> m_action;
    QTimer m_timer;
    int m_fullChecks = 0;
};

} // namespace

class PtyLinkTest : public QObject
{
    Q_OBJECT
private slots:
    void slowReaderGetsWholeFramesInOrder();
    void cancelEndsAWaitForRoom();
    void deviceLostWhileWaitingForRoom();
    void lostDeviceNamesTheTrueReason();
    void receivesEveryByteValueInOrder();
};

void PtyLinkTest::slowReaderGetsWholeFramesInOrder()
{
    // Two longest frames are several pseudo-terminal buffers' worth; the
    // reader takes them far slower than the port writes.
    Link link;
    QVERIFY(link.pty.ok());
    QVERIFY(link.connection.open());
    link.pty.startSlowReading(16000);
    bool sawFull = false;
    QTimer watch;
    watch.callOnTimeout([&] { sawFull = sawFull || link.pty.outputFull(); });
    watch.start(5);

    const QByteArray first = longFrame('!');
    const QByteArray second = longFrame('#');
    QCOMPARE(link.send(first), link::Transmitter::Outcome::Sent);
    QCOMPARE(link.send(second), link::Transmitter::Outcome::Sent);
    QVERIFY2(sawFull, "the writer never met a full buffer; the reader is too fast for this test");

    QVERIFY(link.pty.waitForBytes(std::size_t(first.size() + second.size()), 20000));
    QVERIFY(link.pty.received() == first + second);
    QTest::qWait(20);
    QCOMPARE(link.lost.size(), 0);
    QVERIFY(link.connection.isOpen());
    QCOMPARE(link.connection.state(), link::Connection::State::Open);
}

void PtyLinkTest::cancelEndsAWaitForRoom()
{
    // Nobody reads: without the cancel the send would wait for ever.
    Link link;
    QVERIFY(link.connection.open());
    WhenFull cancel(link.pty, [&] { link.connection.cancel(); });
    bool rescued = false;
    QTimer::singleShot(10000, &link.connection, [&] {
        rescued = true;
        link.pty.startReading();
    });

    const QByteArray frame = longFrame('!');
    QCOMPARE(link.send(frame), link::Transmitter::Outcome::Cancelled);
    QVERIFY(!rescued);
    QVERIFY(link.connection.isOpen());
    QCOMPARE(link.connection.state(), link::Connection::State::Open);

    // The port goes on with the next frame, behind what went before.
    link.pty.startReading();
    QCOMPARE(link.send("]k"), link::Transmitter::Outcome::Sent);
    QTRY_VERIFY_WITH_TIMEOUT(link.pty.received().endsWith("]k"), 10000);
    const QByteArray received = link.pty.received();
    QVERIFY(received.size() < frame.size());
    QVERIFY(frame.startsWith(received.chopped(2)));
    QCOMPARE(link.lost.size(), 0);
}

void PtyLinkTest::deviceLostWhileWaitingForRoom()
{
    Link link;
    QVERIFY(link.connection.open());
    WhenFull unplug(link.pty, [&] {
        link.pty.closeSlave();
        link.pty.closeMaster();
    });
    QTimer::singleShot(10000, &link.connection, [&] { link.connection.cancel(); });

    QCOMPARE(link.send(longFrame('!')), link::Transmitter::Outcome::Failed);
    QVERIFY(!link.connection.isOpen());
    QCOMPARE(link.connection.state(), link::Connection::State::Closed);
    // Told once, by the time the send returns.
    QCOMPARE(link.lost.size(), 1);
    QCOMPARE(link.lost.front().front().toString(), QStringLiteral("The device was unplugged"));
    QTest::qWait(100);
    QCOMPARE(link.lost.size(), 1);
}

void PtyLinkTest::lostDeviceNamesTheTrueReason()
{
    // Opening a pseudo-terminal leaves errno at "Inappropriate ioctl for
    // device", which is not why it goes away.
    Link link;
    QVERIFY(link.connection.open());
    QTest::qWait(20);
    link.pty.closeSlave();
    link.pty.closeMaster();
    QTRY_COMPARE(link.lost.size(), 1);
    QCOMPARE(link.lost.front().front().toString(), QStringLiteral("The device was unplugged"));
    QVERIFY(!link.connection.isOpen());
    QCOMPARE(link.connection.state(), link::Connection::State::Closed);
    QTest::qWait(100);
    QCOMPARE(link.lost.size(), 1);
}

void PtyLinkTest::receivesEveryByteValueInOrder()
{
    Link link;
    QVERIFY(link.connection.open());
    QByteArray bytes;
    for (int round = 0; round < 8; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
    }
    // In two parts, the second while the first waits unread.
    QVERIFY(link.pty.send(bytes.left(1000)));
    QTest::qWait(20);
    QVERIFY(link.pty.send(bytes.mid(1000)));
    QString received;
    const auto receivedSoFar = [&] {
        received += link.connection.readAll();
        return received.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(receivedSoFar() >= bytes.size(), 5000);
    QCOMPARE(received, QString::fromLatin1(bytes));
    QCOMPARE(link.connection.readAll(), QString());
}

VARNIX_TEST_MAIN(PtyLinkTest)
#include "tst_ptylink.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/pagedriver.h"
#include "support/testmain.h"
#include "widgets/fields.h"

#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace varnix;

namespace {
QString pacedFrame(int bytes)
{
    QString frame = QStringLiteral("]o]00000010");
    for (int i = 0; i < bytes; ++i)
        frame += QStringLiteral("]%1").arg(i % 256, 2, 16, QChar(u'0'));
    return frame + u']';
}

// Counts the paints a widget gets and remembers what the status label read.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget* watched, QLabel* status) : m_status(status) { watched->installEventFilter(this); }
    int paints = 0;
    QStringList statusSeen;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            statusSeen << m_status->text();
        }
        return false;
    }

private:
    QLabel* m_status;
};
} // namespace

class LongSendTest : public QObject
{
    Q_OBJECT
private slots:
    void windowKeepsPaintingAndShowsProgress();
    void clickDuringASendSendsItsFrameAfterIt();
    // Last: ending the system stops this process's event loops for good.
    void closingTheWindowEndsTheTransmissionAndTheSystem();
};

void LongSendTest::windowKeepsPaintingAndShowsProgress()
{
    test::PtyFixture f;
    test::openPtyPort(f);
    test::showActive(f);
    auto* bar = f.find<QProgressBar>("sendProgressBar");
    auto* status = f.find<QLabel>("comm");
    PaintWatch watch(bar, status);
    int largestShown = -1;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        if (bar->isVisible())
            largestShown = std::max(largestShown, bar->value());
    });
    sample.start(20);

    const QString frame = pacedFrame(24);
    f.setField("xmitdelay", QStringLiteral("40"));
    f.setField("txmText", frame);
    f.main().send();
    sample.stop();

    QVERIFY(f.pty.waitForBytes(size_t(frame.size()), 5000));
    QCOMPARE(f.pty.received(), frame.toLatin1());
    QVERIFY2(watch.paints > 3, qPrintable(QString::number(watch.paints)));
    QVERIFY(watch.statusSeen.contains(QStringLiteral("Busy")));
    QCOMPARE(bar->maximum(), frame.size());
    QVERIFY(largestShown > 0);
    QVERIFY(!f.find<QWidget>("sendProgress")->isVisible());
    QCOMPARE(status->text(), QStringLiteral("ON"));
}

void LongSendTest::clickDuringASendSendsItsFrameAfterIt()
{
    test::PtyFixture f;
    test::openPtyPort(f);
    test::showActive(f);
    const QString first = pacedFrame(12);
    f.setField("xmitdelay", QStringLiteral("20"));
    f.setField("txmText", first);
    // The click reaches the button while the first frame is still going out.
    auto* button = f.find<QPushButton>("cmdCirc");
    const QPoint centre = button->rect().center();
    QTimer::singleShot(60, button, [&] {
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, centre,
                                                            button->mapToGlobal(centre), Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                            button->mapToGlobal(centre), Qt::LeftButton,
                                                            Qt::NoButton, Qt::NoModifier));
    });
    f.main().send();

    const QByteArray expected = first.toLatin1() + "]c]402014";
    QTRY_COMPARE_WITH_TIMEOUT(f.pty.received(), expected, 5000);
    QCOMPARE(f.txmText()->exactText(), QStringLiteral("]c]402014"));
    QVERIFY(f.desktop.messages.isEmpty());
}

void LongSendTest::closingTheWindowEndsTheTransmissionAndTheSystem()
{
    test::PtyFixture f;
    test::openPtyPort(f);
    test::showActive(f);
    const QString frame = pacedFrame(100);
    f.setField("xmitdelay", QStringLiteral("50"));
    f.setField("txmText", frame);
    QTimer::singleShot(300, &f.main(), [&] { f.main().close(); });
    f.main().send();

    QVERIFY(f.main().closing());
    QTRY_VERIFY(!f.port.isOpen());
    QTRY_VERIFY(!f.main().isVisible());
    QTest::qWait(100);
    const QByteArray sent = f.pty.received();
    QVERIFY(!sent.isEmpty());
    QVERIFY2(sent.size() < frame.size(), qPrintable(QString::number(sent.size())));
    QCOMPARE(sent, frame.toLatin1().left(sent.size()));
    QVERIFY(f.desktop.messages.isEmpty());
    // Nothing more goes out once the system is ending.
    f.main().send();
    QTest::qWait(100);
    QCOMPARE(f.pty.received(), sent);
}

VARNIX_TEST_MAIN(LongSendTest)
#include "tst_longsend.moc"

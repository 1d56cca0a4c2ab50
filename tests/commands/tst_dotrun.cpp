// SPDX-License-Identifier: GPL-3.0-or-later
// A run of dots on a stand-in window: where it stops.
#include "support/testmain.h"
#include "commands/dots.h"
#include "support/standinhost.h"
#include "widgets/fields.h"

#include <QPushButton>
#include <QTest>

using namespace varnix;

class DotRunTest : public QObject
{
    Q_OBJECT
private slots:
    void runStopsAtTheFirstDotNotSent_data();
    void runStopsAtTheFirstDotNotSent();
};

void DotRunTest::runStopsAtTheFirstDotNotSent_data()
{
    QTest::addColumn<QString>("startX");
    QTest::addColumn<int>("framesBeforeClosing");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("sendCalls");
    QTest::addColumn<int>("messages");
    QTest::newRow("whole run") << "10" << -1 << 20 << 20 << 0;
    QTest::newRow("window closing after 3") << "10" << 3 << 3 << 4 << 0;
    QTest::newRow("first dot refused") << "1e999" << -1 << 0 << 1 << 1;
}

void DotRunTest::runStopsAtTheFirstDotNotSent()
{
    QFETCH(QString, startX);
    QFETCH(int, framesBeforeClosing);
    QFETCH(int, frames);
    QFETCH(int, sendCalls);
    QFETCH(int, messages);

    test::StandInHost host;
    host.framesBeforeClosing = framesBeforeClosing;
    QWidget setDot, resetDot;
    Dots dots(host, &setDot, &resetDot);
    setDot.findChild<LineField*>(QStringLiteral("txtDotManyx"))->setExactText(startX);
    setDot.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    QCOMPARE(host.frames.size(), frames);
    QCOMPARE(host.sendCalls, sendCalls);
    QCOMPARE(host.messages.size(), messages);
}

VARNIX_TEST_MAIN(DotRunTest)
#include "tst_dotrun.moc"

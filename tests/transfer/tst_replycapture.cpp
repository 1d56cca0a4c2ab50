// SPDX-License-Identifier: GPL-3.0-or-later
// The reply capture of the EEPROM and LCD reads: the board's answer reaches
// the receive window through the receive poll and is taken over, less its
// trailer, when the focus leaves the Read button.
#include "support/testmain.h"
#include "transferdriver.h"

using namespace varnix;
using namespace varnix::test;

namespace {
// The Read button, Copy button and text area of each read.
void addPages()
{
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("copy");
    QTest::addColumn<QString>("area");
    QTest::newRow("EEPROM") << "cmderead" << "cmdecopy" << "txteread";
    QTest::newRow("LCD") << "cmdlcdread" << "cdmlcdcopy" << "txtlcd";
}

void clickInto(PtyFixture& f, const QString& area)
{
    QTest::mouseClick(f.find<TextArea>(area)->viewport(), Qt::LeftButton);
}
} // namespace

class ReplyCaptureTest : public QObject
{
    Q_OBJECT
private slots:
    void trailerIsCut_data();
    void trailerIsCut();
    void copyRightAfterReadCopiesTheReply_data() { addPages(); }
    void copyRightAfterReadCopiesTheReply();
    void textTypedIntoTheAreaIsKept_data() { addPages(); }
    void textTypedIntoTheAreaIsKept();
    void replyAfterTheWindowWasFull_data() { addPages(); }
    void replyAfterTheWindowWasFull();
};

void ReplyCaptureTest::trailerIsCut_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("captured");
    QTest::newRow("Ready and a line break") << QByteArray("0a0b\r\nReady:\r\n") << "0a0b\r\n";
    QTest::newRow("any four before y:") << QByteArray("0a0b!!!!y:\r\n") << "0a0b";
    QTest::newRow("lone CR made a line break") << QByteArray("0a0bReady:\r") << "0a0b";
    QTest::newRow("y: at the very end") << QByteArray("0a0bReady:") << "0a0bReady:";
    QTest::newRow("y: then any two") << QByteArray("0a0bReady:ok") << "0a0b";
    QTest::newRow("shorter than the trailer") << QByteArray("xy:\r\n") << "xy:\r\n";
}

void ReplyCaptureTest::trailerIsCut()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, captured);
    PtyFixture f;
    openOnPage(f, "cmderead");
    press(f, "cmderead");
    QCOMPARE(shown(f, "txteread"), QStringLiteral("CLICK HERE"));
    boardAnswers(f, reply);
    clickInto(f, "txteread");
    QCOMPARE(shown(f, "txteread"), captured);
}

void ReplyCaptureTest::copyRightAfterReadCopiesTheReply()
{
    QFETCH(QString, read);
    QFETCH(QString, copy);
    QFETCH(QString, area);
    PtyFixture f;
    openOnPage(f, qPrintable(read));
    press(f, read);
    boardAnswers(f, "00ff\r\nReady:\r\n");
    press(f, copy);
    QCOMPARE(f.desktop.clipboard, QStringLiteral("00ff\r\n"));
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Text copied to Clipboad")});
    QCOMPARE(shown(f, area), QStringLiteral("00ff\r\n"));
}

void ReplyCaptureTest::textTypedIntoTheAreaIsKept()
{
    QFETCH(QString, read);
    QFETCH(QString, area);
    PtyFixture f;
    openOnPage(f, qPrintable(read));
    boardAnswers(f, "noise");

    // Passing over the Read button takes the window into an empty area...
    f.find<QPushButton>(read)->setFocus();
    clickInto(f, area);
    QCOMPARE(shown(f, area), QStringLiteral("noise"));
    // ...but never over what the user has typed there.
    enter(f, qPrintable(area), QStringLiteral("4142"));
    f.find<QPushButton>(read)->setFocus();
    clickInto(f, area);
    QCOMPARE(shown(f, area), QStringLiteral("4142"));

    // A read takes the area over again, and so does a later capture.
    press(f, read);
    boardAnswers(f, "01Ready:\r\n");
    clickInto(f, area);
    QCOMPARE(shown(f, area), QStringLiteral("01"));
    boardAnswers(f, "02Ready:\r\n");
    f.find<QPushButton>(read)->setFocus();
    clickInto(f, area);
    QCOMPARE(shown(f, area), QStringLiteral("01Ready:\r\n02"));
}

void ReplyCaptureTest::replyAfterTheWindowWasFull()
{
    QFETCH(QString, read);
    QFETCH(QString, copy);
    QFETCH(QString, area);
    PtyFixture f;
    f.rcvText()->setLimit(400);
    openOnPage(f, qPrintable(read));
    QByteArray chatter;
    for (int i = 0; i < 60; ++i)
        chatter += "chatter " + QByteArray::number(i) + "\r\n";
    boardAnswers(f, chatter);
    const QString window = f.rcvText()->exactText();
    QVERIFY2(window.startsWith(QStringLiteral("[%1 earlier characters dropped]\r\n").arg(f.rcvText()->dropped())),
             qPrintable(window.left(60)));
    QVERIFY(window.endsWith("chatter 59\r\n"));

    // A reply longer than what was left after the drop, read after it.
    press(f, read);
    QByteArray reply;
    for (int i = 0; i < 20; ++i)
        reply += "00112233445566778899\r\n";
    boardAnswers(f, reply + "Ready:\r\n");
    clickInto(f, area);
    QCOMPARE(shown(f, area), QString::fromLatin1(reply));
    press(f, copy);
    QCOMPARE(f.desktop.clipboard, QString::fromLatin1(reply));
}

VARNIX_TEST_MAIN(ReplyCaptureTest)
#include "tst_replycapture.moc"

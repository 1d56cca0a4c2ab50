// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "widgets/fields.h"
#include "link/core/connection.h"
#include "link/terminal.h"
#include "support/fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <ctime>

using namespace varnix;

namespace {
QColor background(QWidget* widget)
{
    return widget->palette().color(QPalette::Base);
}
} // namespace

class PtyPortTest : public QObject
{
    Q_OBJECT
private slots:
    void openAndCloseChosenPortAndSettings();
    void openWithoutDeviceSaysWhichNumber();
    void openOfAPortHeldElsewhereIsRefused();
    void setWhileOpenChangesNothing();
    void setWhileClosedAppliesTheChoice();
    void placeholderGoesWithTheFirstText();
    void placeholderReceivedLaterIsReplacedByTheNextText();
    void lineEndsAreNormalised_data();
    void lineEndsAreNormalised();
    void crAndLfSplitAcrossTwoTicksMakeOneBreak();
    void everyByteValueIsHeldInOrder();
    void typedKeysGoOutAsSingleBytes();
    void copyRightAfterOpenCopiesThePlaceholder();
    void clearEmptiesBothWindows();
    void clearLcdSendsTheClearFrame();
    void lostDeviceClosesOnceWithoutSpinning();
    void portNumbersShowTheirDevices();

private:
    static void open(test::PtyFixture& f);
    static void receive(test::PtyFixture& f, const QByteArray& bytes, const QString& expected);
};

void PtyPortTest::open(test::PtyFixture& f)
{
    QVERIFY(f.pty.ok());
    f.click(QStringLiteral("cmdCom"));
    QVERIFY2(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')));
}

void PtyPortTest::receive(test::PtyFixture& f, const QByteArray& bytes, const QString& expected)
{
    QVERIFY(f.pty.send(bytes));
    QTRY_COMPARE_WITH_TIMEOUT(f.rcvText()->exactText(), expected, 3000);
}

void PtyPortTest::openAndCloseChosenPortAndSettings()
{
    test::PtyFixture f;
    test::Pty second;
    f.ports.setDevices({f.pty.slavePath(), second.slavePath()});
    f.find<QRadioButton>("optCom2")->setChecked(true);
    f.find<ListBox>("List1")->selectRow(5);
    f.find<TextArea>("rcvText")->setExactText(QStringLiteral("old"));

    f.click("cmdCom");
    QVERIFY(f.port.isOpen());
    QCOMPARE(f.port.device(), second.slavePath());
    QCOMPARE(f.port.portNumber(), 2);
    QCOMPARE(f.port.qtPort().baudRate(), 9600);
    QCOMPARE(f.port.qtPort().parity(), QSerialPort::NoParity);
    QCOMPARE(f.port.qtPort().dataBits(), QSerialPort::Data8);
    QCOMPARE(f.port.qtPort().stopBits(), QSerialPort::OneStop);
    QCOMPARE(f.rcvText()->exactText(), QStringLiteral("Waiting....."));
    QVERIFY(f.find<QTimer>("Timer1")->isActive());
    QCOMPARE(background(f.rcvText()), QColor(255, 255, 192));
    QCOMPARE(background(f.txmText()), QColor(192, 255, 192));
    QVERIFY(!f.find<QLabel>("lblXmit")->isHidden());
    QVERIFY(!f.find<QPushButton>("cmdClear")->isHidden());
    QCOMPARE(f.desktop.beeps, 1);
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("ON"));
    QCOMPARE(f.find<QLabel>("comm")->palette().color(QPalette::Window), QColor(0, 192, 0));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Close"));

    f.txmText()->setExactText(QStringLiteral("]k"));
    f.click("cmdCom");
    QVERIFY(!f.port.isOpen());
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
    QCOMPARE(f.rcvText()->exactText(), QStringLiteral("Serial Input from PIC"));
    QVERIFY(f.find<QLabel>("lblXmit")->isHidden());
    QVERIFY(f.find<QPushButton>("cmdClear")->isHidden());
    QCOMPARE(background(f.rcvText()), QColor(255, 255, 255));
    QCOMPARE(background(f.txmText()), QColor(255, 255, 255));
    QCOMPARE(f.txmText()->exactText(), QString());
    QCOMPARE(f.desktop.beeps, 2);
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("OFF"));
    QCOMPARE(f.find<QLabel>("comm")->palette().color(QPalette::Window), QColor(192, 0, 0));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Open"));
    QVERIFY(f.desktop.messages.isEmpty());

    // And again: the caption keeps alternating, each time with a beep.
    f.click("cmdCom");
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Close"));
    f.click("cmdCom");
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Open"));
    QCOMPARE(f.desktop.beeps, 4);
}

void PtyPortTest::openWithoutDeviceSaysWhichNumber()
{
    test::PtyFixture f;
    f.find<QRadioButton>("optCom3")->setChecked(true);
    f.find<ListBox>("List1")->selectRow(0);
    f.click("cmdCom");
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Error opening Comm:3")});
    QCOMPARE(f.desktop.messages[0].title, QStringLiteral("Varnix"));
    QVERIFY(!f.port.isOpen());
    QCOMPARE(f.port.portNumber(), 3);
    QCOMPARE(f.port.settings(), QStringLiteral("56000,n,8,1"));
    QCOMPARE(f.rcvText()->exactText(), QStringLiteral("Waiting....."));
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("OFF"));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("&Open"));
    QCOMPARE(f.desktop.beeps, 0);

    // A later Open tries again, with the device there now.
    f.find<QRadioButton>("optCom1")->setChecked(true);
    f.click("cmdCom");
    QVERIFY(f.port.isOpen());
}

void PtyPortTest::openOfAPortHeldElsewhereIsRefused()
{
    test::PtyFixture f;
    link::QtSerialPort other(f.ports);
    other.setPortNumber(1);
    QVERIFY(other.open());
    f.click("cmdCom");
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Error opening Comm:1")});
    QVERIFY(!f.port.isOpen());
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("OFF"));
    other.close();
    f.click("cmdCom");
    QVERIFY(f.port.isOpen());
}

void PtyPortTest::setWhileOpenChangesNothing()
{
    test::PtyFixture f;
    open(f);
    f.find<QRadioButton>("optCom2")->setChecked(true);
    f.find<ListBox>("List1")->selectRow(0);
    f.click("cmdComSet");
    QCOMPARE(f.port.portNumber(), 1);
    QCOMPARE(f.port.settings(), QStringLiteral("19200,n,8,1"));
    QCOMPARE(f.port.qtPort().baudRate(), 19200);
    QVERIFY(f.port.isOpen());
    QVERIFY(f.desktop.messages.isEmpty());
}

void PtyPortTest::setWhileClosedAppliesTheChoice()
{
    test::PtyFixture f;
    f.find<QRadioButton>("optCom4")->setChecked(true);
    f.find<ListBox>("List1")->selectRow(8);
    f.click("cmdComSet");
    QCOMPARE(f.port.portNumber(), 4);
    QCOMPARE(f.port.settings(), QStringLiteral("600,n,8,1"));
    QVERIFY(!f.port.isOpen());
    QVERIFY(f.desktop.messages.isEmpty());
}

void PtyPortTest::placeholderGoesWithTheFirstText()
{
    test::PtyFixture f;
    open(f);
    receive(f, "OK", QStringLiteral("OK"));
    f.click("cmdCom");
    QCOMPARE(f.rcvText()->exactText(), QStringLiteral("OK"));
}

void PtyPortTest::placeholderReceivedLaterIsReplacedByTheNextText()
{
    test::PtyFixture f;
    open(f);
    f.click("cmdClear");
    QCOMPARE(f.rcvText()->exactText(), QString());
    receive(f, "Waiting.....", QStringLiteral("Waiting....."));
    receive(f, "x", QStringLiteral("x"));
}

void PtyPortTest::lineEndsAreNormalised_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("cr lf") << QByteArray("a\r\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("lone lf") << QByteArray("a\nb") << QStringLiteral("ab");
    QTest::newRow("lone cr") << QByteArray("a\rb") << QStringLiteral("a\r\nb");
    QTest::newRow("lf cr") << QByteArray("a\n\rb") << QStringLiteral("a\r\nb");
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << QStringLiteral("a\r\n\r\nb");
}

void PtyPortTest::lineEndsAreNormalised()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    test::PtyFixture f;
    open(f);
    receive(f, bytes, shown);
}

void PtyPortTest::crAndLfSplitAcrossTwoTicksMakeOneBreak()
{
    test::PtyFixture f;
    open(f);
    receive(f, "one\r", QStringLiteral("one\r\n"));
    receive(f, "\ntwo", QStringLiteral("one\r\ntwo"));
    QCOMPARE(f.rcvText()->document()->blockCount(), 2);
}

void PtyPortTest::everyByteValueIsHeldInOrder()
{
    test::PtyFixture f;
    open(f);
    QByteArray bytes;
    QString expected;
    for (int b = 0; b < 256; ++b) {
        bytes += char(b);
        if (b == '\n')
            continue;
        expected += QChar(char16_t(b));
        if (b == '\r')
            expected += u'\n';
    }
    receive(f, bytes, expected);
}

void PtyPortTest::typedKeysGoOutAsSingleBytes()
{
    test::PtyFixture f;
    open(f);
    f.pty.startReading();
    f.main().show();
    f.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.main()));
    LineField* txm = f.txmText();
    txm->setFocus();
    QTest::keyClicks(txm, QStringLiteral("Ab1]"));
    QTest::keyClick(txm, Qt::Key_Return);
    QTest::keyClick(txm, Qt::Key_Backspace);
    QTest::keyClick(txm, Qt::Key_Escape);
    QTest::keyClick(txm, Qt::Key_Left); // cursor and editing keys make no character
    QTest::keyClick(txm, Qt::Key_Delete);
    QTest::keyClick(txm, Qt::Key_F5);
    QVERIFY(f.pty.waitForBytes(7, 3000));
    QTest::qWait(50);
    QCOMPARE(f.pty.received(), QByteArray("Ab1]\r\b\x1b"));
    QCOMPARE(txm->exactText(), QStringLiteral("Ab")); // Delete took the "1" in the field only
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("ON"));

    // With the port closed the key only goes into the field.
    f.click("cmdCom");
    txm->setFocus();
    QTest::keyClicks(txm, QStringLiteral("z"));
    QTest::qWait(50);
    QCOMPARE(f.pty.received(), QByteArray("Ab1]\r\b\x1b"));
    QCOMPARE(txm->exactText(), QStringLiteral("z"));
    QVERIFY(f.desktop.messages.isEmpty());
}

void PtyPortTest::copyRightAfterOpenCopiesThePlaceholder()
{
    test::PtyFixture f;
    open(f);
    f.click("Command7");
    QCOMPARE(f.desktop.clipboard, QStringLiteral("Waiting....."));
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Text copied to Clipboad")});

    receive(f, "a\r\nb", QStringLiteral("a\r\nb"));
    f.click("Command7");
    QCOMPARE(f.desktop.clipboard, QStringLiteral("a\r\nb"));

    f.desktop.messages.clear();
    f.rcvText()->setExactText(QStringLiteral("   "));
    f.click("Command7");
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to there to copy!")});
    QCOMPARE(f.desktop.clipboard, QStringLiteral("a\r\nb"));
}

void PtyPortTest::clearEmptiesBothWindows()
{
    test::PtyFixture f;
    open(f);
    f.txmText()->setExactText(QStringLiteral("]k"));
    receive(f, "reply", QStringLiteral("reply"));
    f.click("cmdClear");
    QCOMPARE(f.txmText()->exactText(), QString());
    QCOMPARE(f.rcvText()->exactText(), QString());
}

void PtyPortTest::clearLcdSendsTheClearFrame()
{
    test::PtyFixture f;
    f.click("Command1");
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Comm Port Not Open")});
    open(f);
    f.pty.startReading();
    f.click("Command1");
    QVERIFY(f.pty.waitForBytes(2, 3000));
    QTest::qWait(50);
    QCOMPARE(f.pty.received(), QByteArray("]k"));
    QCOMPARE(f.txmText()->exactText(), QStringLiteral("]k"));
}

void PtyPortTest::lostDeviceClosesOnceWithoutSpinning()
{
    test::PtyFixture f;
    open(f);
    QSignalSpy errors(&f.port.qtPort(), &QSerialPort::errorOccurred);
    f.pty.closeSlave();
    f.pty.closeMaster();
    // Told in the window, not in a box that waits for a click.
    auto* note = f.find<QLabel>("lblPortNote");
    QTRY_VERIFY_WITH_TIMEOUT(note->isVisibleTo(&f.main()), 3000);
    QVERIFY2(note->text().contains(QStringLiteral("Comm:1 stopped working")), qPrintable(note->text()));
    QVERIFY(f.desktop.messages.isEmpty());
    QVERIFY(!f.port.isOpen());
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("OFF"));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Open"));
    QCOMPARE(background(f.rcvText()), QColor(255, 255, 255));
    QVERIFY(f.find<QLabel>("lblXmit")->isHidden());

    // Idle once the dead device has been let go: its descriptor is watched
    // no more, so no more errors and no more messages.
    QTRY_VERIFY(!f.port.qtPort().isOpen());
    const int errorsSoFar = int(errors.size());
    const QString told = note->text();
    QTest::qWait(500);
    QCOMPARE(int(errors.size()), errorsSoFar);
    QCOMPARE(note->text(), told);
    QVERIFY(f.desktop.messages.isEmpty());

    // The device back (here: a new one under the same number) opens again.
    test::Pty back;
    f.ports.setDevices({back.slavePath()});
    f.click("cmdCom");
    QVERIFY(f.port.isOpen());
    QVERIFY(note->isHidden());
    QVERIFY(back.send("hi"));
    QTRY_COMPARE(f.rcvText()->exactText(), QStringLiteral("hi"));
}

void PtyPortTest::portNumbersShowTheirDevices()
{
    test::PtyFixture f;
    auto* first = f.find<QLabel>("lblDevice1");
    auto* second = f.find<QLabel>("lblDevice2");
    QVERIFY(first && second);
    QVERIFY(f.pty.slavePath().endsWith(first->text()));
    QCOMPARE(second->text(), QStringLiteral("(none)"));
    f.ports.setDevices({QStringLiteral("/dev/ttyUSB0"), f.pty.slavePath()});
    QCOMPARE(first->text(), QStringLiteral("ttyUSB0"));
    QVERIFY(f.pty.slavePath().endsWith(second->text()));
}

VARNIX_TEST_MAIN(PtyPortTest)
#include "tst_ptyport.moc"

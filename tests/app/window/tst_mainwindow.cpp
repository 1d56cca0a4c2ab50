// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "app/window/helpwindow.h"
#include "widgets/fields.h"
#include "widgets/tabrows.h"
#include "link/core/connection.h"
#include "link/terminal.h"
#include "protocol/frames.h"
#include "support/fixture.h"
#include "varnixversion.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace varnix;

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void captionAndPagesInOrder();
    void startValues();
    void startSelections();
    void windowGroupsAndButtons_data();
    void windowGroupsAndButtons();
    void pageOptionsFormOneChoice();
    void portGuardRefusesEveryCommandOnAClosedPort_data();
    void portGuardRefusesEveryCommandOnAClosedPort();
    void tabDoubleClickDrawsTheCircle();
    void sendPathsLeaveThePollOn();
    void failedWriteShowsThePortsRealState();
    void deviceLostDuringSendIsToldOnce();
    void failedCloseStillLeavesTheWindowClosed();
    void refusedFieldIsNamedAndNothingSent_data();
    void refusedFieldIsNamedAndNothingSent();
    void helpShownTwiceIsOneWindow();
    void helpHoldsTheReference();
    void helpNamesTheManualWhereItIsInstalled();
    void aboutAfterOkIsANewWindow();
    void exitWithThePortClosedLeavesThePortAlone();
    void exitClosesAnOpenPort();
};

void MainWindowTest::captionAndPagesInOrder()
{
    test::Fixture f;
    QCOMPARE(f.main().windowTitle(), QStringLiteral("Varnix Ver 1.2"));
    QCOMPARE(f.main().objectName(), QStringLiteral("Main"));
    auto* tabs = f.find<QTabWidget>(QStringLiteral("SSTab1"));
    QVERIFY(tabs);
    const QStringList expected = {
        "Circle", "Square", " Rectangle / Lines", "Square45", "Star4", "Line", "Bar",
        "X-Axis", "Y-Axis", "SetDot", "ResetDot", "PutByte", "PutChar", "FillScreen",
        "ClearScreen", "Horiz String", "Vert String", "INFO", "Read EEprom", "Write EEprom",
        "LCD Read/Write"};
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    QCOMPARE(captions, expected);
    auto* info = f.find<QLabel>(QStringLiteral("Label88"));
    QVERIFY(info);
    QVERIFY(info->text().size() > 100);
    QVERIFY(!info->text().contains(u'@'));
    QVERIFY(!info->text().contains(QStringLiteral("http")));
}

void MainWindowTest::startValues()
{
    test::Fixture f;
    QCOMPARE(f.find<LineField>("waitchr")->exactText(), QStringLiteral("]"));
    QCOMPARE(f.find<LineField>("xmitdelay")->exactText(), QStringLiteral("20"));
    QCOMPARE(f.find<TextArea>("rcvText")->exactText(), QStringLiteral("Waiting....."));
    QCOMPARE(f.find<LineField>("txmText")->exactText(), QString());
    auto* comm = f.find<QLabel>("comm");
    QCOMPARE(comm->text(), QStringLiteral("OFF"));
    QCOMPARE(comm->palette().color(QPalette::Window), QColor(192, 0, 0));
    QVERIFY(f.find<QLabel>("lblXmit")->isHidden());
    QVERIFY(f.find<QPushButton>("cmdClear")->isHidden());
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("&Open"));
    QVERIFY(f.find<QRadioButton>("optCom1")->isChecked());
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
    QCOMPARE(f.find<QTimer>("Timer1")->interval(), 50);
    // Start-up sets the port up but neither opens it nor sends anything.
    QCOMPARE(f.port.settingsSet, QStringLiteral("19200,n,8,1"));
    QCOMPARE(f.port.portNumberSet, 1);
    QCOMPARE(f.port.opens, 0);
    QVERIFY(f.port.written.isEmpty());
}

void MainWindowTest::startSelections()
{
    test::Fixture f;
    auto* list1 = f.find<ListBox>("List1");
    QStringList settings;
    for (int i = 0; i < list1->count(); ++i)
        settings << list1->item(i)->text();
    QCOMPARE(settings, (QStringList{"56000,n,8,1", "38400,n,8,1", "28800,n,8,1", "19200,n,8,1", "14400,n,8,1",
                                    "9600,n,8,1", "2400,n,8,1", "1200,n,8,1", "600,n,8,1"}));
    QCOMPARE(list1->selectedText(), QStringLiteral("19200,n,8,1"));
    QCOMPARE(f.find<ListBox>("lsttickx")->selectedText(), QStringLiteral("4"));
    QCOMPARE(f.find<ListBox>("lstticky")->selectedText(), QStringLiteral("4"));
    QCOMPARE(f.find<ListBox>("List2")->selectedText(), QStringLiteral("1"));
    QCOMPARE(f.find<ListBox>("List3")->selectedText(), QStringLiteral("1"));
}

void MainWindowTest::windowGroupsAndButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Command1") << "Command1" << "&Clear LCD";
    QTest::newRow("Command7") << "Command7" << "Copy";
    QTest::newRow("cmdClear") << "cmdClear" << "C&lear";
    QTest::newRow("cmdCom") << "cmdCom" << "&Open";
    QTest::newRow("Command6") << "Command6" << "&Help";
    QTest::newRow("Command5") << "Command5" << "&About";
    QTest::newRow("cmdComSet") << "cmdComSet" << "S&et";
    QTest::newRow("cmdExit") << "cmdExit" << "E&xit";
    QTest::newRow("optCom1") << "optCom1" << "1";
    QTest::newRow("optCom4") << "optCom4" << "4";
    QTest::newRow("lblXmit") << "lblXmit" << "Transmit Window Active";
    QTest::newRow("Label6") << "Label6" << "For use with Lumdra";
    QTest::newRow("Label1") << "Label1" << "Varnix Ver 1.2";
}

void MainWindowTest::windowGroupsAndButtons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    test::Fixture f;
    QWidget* widget = f.find<QWidget>(name);
    QVERIFY2(widget, qPrintable(name));
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), caption);
    else
        QCOMPARE(qobject_cast<QLabel*>(widget)->text(), caption);

    QStringList groups;
    for (auto* group : f.main().findChildren<QGroupBox*>())
        groups << group->title();
    for (const char* title : {"Terminal", "I/O Port", "Comm Settings"})
        QVERIFY2(groups.contains(QString::fromLatin1(title)), title);
}

void MainWindowTest::pageOptionsFormOneChoice()
{
    test::Fixture f;
    const QStringList names = {"optbarh", "optbarv", "optxeep1", "optxeep2", "optWeep1", "optweep2"};
    QCOMPARE(f.pageOptions()->buttons().size(), names.size());
    auto checked = [&] {
        QStringList on;
        for (const QString& name : names)
            if (f.find<QRadioButton>(name)->isChecked())
                on << name;
        return on;
    };
    QCOMPARE(checked(), QStringList{"optxeep1"});
    f.find<QRadioButton>("optbarv")->click();
    QCOMPARE(checked(), QStringList{"optbarv"});
    f.find<QRadioButton>("optweep2")->click();
    QCOMPARE(checked(), QStringList{"optweep2"});
    // The dots' direction and the port number are choices of their own.
    QVERIFY(f.find<QRadioButton>("optHoriz")->isChecked());
    QVERIFY(f.find<QRadioButton>("optCom1")->isChecked());
}

void MainWindowTest::portGuardRefusesEveryCommandOnAClosedPort_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("draw circle") << "cmdCirc";
    QTest::newRow("clear LCD") << "Command1";
}

void MainWindowTest::portGuardRefusesEveryCommandOnAClosedPort()
{
    QFETCH(QString, button);
    test::Fixture f;
    f.find<LineField>("txmText")->setExactText(QStringLiteral("before"));
    f.click(button);
    QCOMPARE(f.desktop.messages.size(), 1);
    QCOMPARE(f.desktop.messages[0].text, QStringLiteral("Comm Port Not Open"));
    QCOMPARE(f.desktop.messages[0].title, QStringLiteral("Varnix"));
    QCOMPARE(f.desktop.messages[0].buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(f.find<LineField>("txmText")->exactText(), QStringLiteral("before"));
    QVERIFY(f.port.written.isEmpty());
}

void MainWindowTest::tabDoubleClickDrawsTheCircle()
{
    test::Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    auto* captions = f.find<TabRows>("tabRows");
    const QPoint onThirdTab = captions->tabRect(3).center();

    QTest::mouseDClick(captions, Qt::LeftButton, {}, onThirdTab);
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Comm Port Not Open")});
    QVERIFY(f.port.written.isEmpty());

    f.openPort();
    f.desktop.messages.clear();
    f.find<LineField>("txtCx")->setExactText(QStringLiteral("5"));
    QTest::mouseDClick(captions, Qt::LeftButton, {}, onThirdTab);
    QCOMPARE(f.port.written, QStringLiteral("]c]052014"));
    QCOMPARE(f.find<LineField>("txmText")->exactText(), QStringLiteral("]c]052014"));
    QVERIFY(f.desktop.messages.isEmpty());
}

void MainWindowTest::sendPathsLeaveThePollOn()
{
    test::Fixture f;
    auto* timer = f.find<QTimer>("Timer1");
    // Closed port: nothing is sent and nothing said, the caller's guard spoke.
    f.find<LineField>("txmText")->setExactText(QStringLiteral("]k"));
    f.main().send();
    QVERIFY(f.desktop.messages.isEmpty());
    QVERIFY(timer->isActive());

    f.openPort();
    timer->stop();
    f.find<LineField>("txmText")->setExactText(QStringLiteral("]c]402014"));
    bool pollOffWhileSending = true;
    auto* comm = f.find<QLabel>("comm");
    QString labelWhileSending;
    f.pause.duringWait = [&] {
        pollOffWhileSending = pollOffWhileSending && !timer->isActive();
        labelWhileSending = comm->text();
    };
    f.main().send();
    QVERIFY(pollOffWhileSending);
    QCOMPARE(labelWhileSending, QStringLiteral("Busy"));
    QCOMPARE(comm->text(), QStringLiteral("ON"));
    QVERIFY(timer->isActive());
    QCOMPARE(f.port.written, QStringLiteral("]c]402014"));
    QCOMPARE(f.pause.waits.size(), 2);
}

void MainWindowTest::failedWriteShowsThePortsRealState()
{
    test::Fixture f;
    f.openPort();
    f.port.failWriteAt = 3;
    f.find<LineField>("txmText")->setExactText(QStringLiteral("]c]402014"));
    f.main().send();
    QCOMPARE(f.port.written, QStringLiteral("]c]"));
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to send!")});
    auto* comm = f.find<QLabel>("comm");
    QCOMPARE(comm->text(), QStringLiteral("ON"));
    QCOMPARE(comm->palette().color(QPalette::Window), QColor(0, 192, 0));
    QVERIFY(f.find<QTimer>("Timer1")->isActive());
}

void MainWindowTest::deviceLostDuringSendIsToldOnce()
{
    test::Fixture f;
    f.openPort();
    f.find<LineField>("txmText")->setExactText(QStringLiteral("]c]402014"));
    f.pause.duringWait = [&] {
        if (f.pause.waits.size() == 2)
            f.port.loseDevice(QStringLiteral("gone"));
    };
    f.main().send();
    QCOMPARE(f.port.written, QStringLiteral("]c"));
    auto* note = f.find<QLabel>("lblPortNote");
    QTRY_VERIFY(!note->isHidden());
    QTest::qWait(20);
    QVERIFY2(note->text().contains(QStringLiteral("Comm:1 stopped working")), qPrintable(note->text()));
    QVERIFY(f.desktop.messages.isEmpty());
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("OFF"));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Open"));
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
}

void MainWindowTest::refusedFieldIsNamedAndNothingSent_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("negative") << "-1";
    QTest::newRow("number then letters") << "12a";
    QTest::newRow("beyond 32 bits") << "1e12";
}

void MainWindowTest::refusedFieldIsNamedAndNothingSent()
{
    QFETCH(QString, text);
    test::Fixture f;
    f.openPort();
    f.find<LineField>("txmText")->setExactText(QStringLiteral("before"));
    f.find<LineField>("txtcr")->setExactText(text);
    f.click("cmdCirc");
    QCOMPARE(f.desktop.messages.size(), 1);
    QVERIFY2(f.desktop.messages[0].text.startsWith(QStringLiteral("Circle Radius ")),
             qPrintable(f.desktop.messages[0].text));
    QCOMPARE(f.desktop.messages[0].title, QStringLiteral("Varnix"));
    QCOMPARE(f.find<LineField>("txmText")->exactText(), QStringLiteral("before"));
    QVERIFY(f.port.written.isEmpty());
}

void MainWindowTest::helpShownTwiceIsOneWindow()
{
    test::Fixture f;
    f.click("Command6");
    QPointer<HelpWindow> first = f.main().helpWindow();
    QVERIFY(first && first->isVisible());
    f.click("Command6");
    QCOMPARE(f.main().helpWindow(), first.data());
    QCOMPARE(f.main().findChildren<HelpWindow*>().size(), 1);

    first->findChild<QPushButton*>("Command1")->click();
    QVERIFY(!first->isVisible());
    f.click("Command6");
    QCOMPARE(f.main().helpWindow(), first.data());
    QVERIFY(first->isVisible());
    QCOMPARE(first->text()->exactText(), HelpWindow::commandReference());
}

void MainWindowTest::helpHoldsTheReference()
{
    test::Fixture f;
    f.click("Command6");
    HelpWindow* help = f.main().helpWindow();
    QCOMPARE(help->windowTitle(), QStringLiteral("Varnix Commands"));
    QCOMPARE(help->objectName(), QStringLiteral("Help"));
    const QString text = help->text()->exactText();
    QCOMPARE(text.count(QStringLiteral("\r\n")), 25);
    QCOMPARE(text.count(u'\n'), 25);
    QVERIFY(!text.endsWith(u'\n'));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 26);
    QCOMPARE(lines[0], QStringLiteral("COMMANDS and parameters:"));
    QCOMPARE(lines[2], QStringLiteral("]C]xyr CIRCLE at x,y with a radius r"));
    QCOMPARE(lines[17], QString::fromUtf16(u"]L]x1y1x2y2 LINE from x1y1 to x2y2 This is experimental, I\u2019m still "
                                           u"working on different algorithms. Needs fixing."));
    QCOMPARE(lines[20], QStringLiteral("]M]x1y1x2y2]hh]hh...Place  a given number of bytes on LCD"));
    QCOMPARE(lines[25], QStringLiteral("]W]addr]number Read number of bytes from the internal eeprom"));
    QCOMPARE(help->findChild<QLabel*>("Label1")->text(), QStringLiteral("Lumdra  Application Command Line functions"));
    QCOMPARE(help->findChild<QLabel*>("Label3")->text(),
             QStringLiteral("The 'command' key is the ] character followed by parameters "));
}

void MainWindowTest::helpNamesTheManualWhereItIsInstalled()
{
    // Installed under some prefix, as the package and `cmake --install` do.
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString docs = prefix.filePath(QStringLiteral("share/doc/varnix"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(docs));
    // A program that was never installed points where the install puts it.
    QCOMPARE(HelpWindow::manualPath(bin), QLatin1String(kInstalledDocDir) + QStringLiteral("/manual.md"));
    QFile manual(docs + QStringLiteral("/manual.md"));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    QCOMPARE(HelpWindow::manualPath(bin), docs + QStringLiteral("/manual.md"));

    test::Fixture f;
    f.click("Command6");
    const QString shown = f.main().helpWindow()->findChild<QLabel*>("lblManual")->text();
    QVERIFY2(shown.endsWith(HelpWindow::manualPath(QCoreApplication::applicationDirPath())), qPrintable(shown));
}

void MainWindowTest::aboutAfterOkIsANewWindow()
{
    test::Fixture f;
    f.click("Command5");
    QPointer<AboutWindow> first = f.main().aboutWindow();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->windowTitle(), QStringLiteral("Tessel Grahic Demo"));
    const QString licence = first->findChild<QLabel*>("lblLicence")->text();
    QVERIFY(licence.contains(QStringLiteral("GNU General Public License, version 3 or later")));
    QVERIFY(licence.contains(QStringLiteral("/usr/share/common-licenses/GPL-3")));
    f.click("Command5");
    QCOMPARE(f.main().aboutWindow(), first.data());

    first->findChild<QPushButton*>("cmdOK")->click();
    QTRY_VERIFY(first.isNull());
    f.click("Command5");
    QVERIFY(f.main().aboutWindow());
    QVERIFY(f.main().aboutWindow()->isVisible());
}

void MainWindowTest::exitWithThePortClosedLeavesThePortAlone()
{
    test::Fixture f;
    f.click("cmdExit");
    QVERIFY(f.main().closing());
    QCOMPARE(f.port.opens, 0);
    QVERIFY(!f.main().isVisible());
}

void MainWindowTest::exitClosesAnOpenPort()
{
    test::Fixture f;
    f.openPort();
    QVERIFY(f.port.isOpen());
    f.click("Command6");
    f.click("cmdExit");
    QVERIFY(!f.port.isOpen());
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
    QVERIFY(!f.main().helpWindow()->isVisible());
    // Ending the system sends nothing more.
    f.find<LineField>("txmText")->setExactText(QStringLiteral("]k"));
    f.main().send();
    QVERIFY(f.port.written.isEmpty());
}

void MainWindowTest::failedCloseStillLeavesTheWindowClosed()
{
    test::Fixture f;
    f.openPort();
    f.port.failClose = true;
    f.click("cmdCom");
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Error opening Comm:1")});
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("OFF"));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Open"));
    QVERIFY(!f.find<QTimer>("Timer1")->isActive());
    QVERIFY(f.find<QLabel>("lblXmit")->isHidden());
    // The next press opens it again.
    f.port.failClose = false;
    f.click("cmdCom");
    QVERIFY(f.port.isOpen());
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("ON"));
}

VARNIX_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"

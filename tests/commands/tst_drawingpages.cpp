// SPDX-License-Identifier: GPL-3.0-or-later
// Every drawing button on the pseudo-terminal: what a person sets on its page
// and the exact bytes that reach the board.
#include "support/testmain.h"
#include "support/pagedriver.h"
#include "widgets/fields.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace varnix;

namespace {

const QString kBefore = QStringLiteral("before");

} // namespace

class DrawingPagesTest : public QObject
{
    Q_OBJECT
private slots:
    void buttonSendsItsFrames_data();
    void buttonSendsItsFrames();
    void closedPortChangesNothing_data();
    void closedPortChangesNothing();
};

void DrawingPagesTest::buttonSendsItsFrames_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("after");
    using L = QStringList;
    auto row = [](const char* name, const char* button, const L& settings, const QString& bytes,
                  const L& messages = {}, const L& after = {}) {
        QTest::newRow(name) << QString::fromLatin1(button) << settings << bytes << messages << after;
    };

    // Centred shapes.
    row("square at start", "cmdSquare", {}, "]s]402014");
    row("diamond 256", "cmdDiam", {"txtDr=256"}, "]q]4020100");
    row("star: blanks, exponent, half to even", "Command2", {"txtStarx= 64 ", "txtStary=2.5e1", "txtStarr=20.5"},
        "]t]401914");
    row("square 12a refused", "cmdSquare", {"txtSx1=12a"}, "",
        {"Center X must hold one number, not \"12a\"."});
    row("diamond negative refused", "cmdDiam", {"txtDx=-5"}, "",
        {"Diamond Center X must give a number of 0 or more, not \"-5\"."});
    row("circle empty radius refused", "cmdCirc", {"txtcr="}, "",
        {"Circle Radius is empty; it must hold one number."});

    // Rectangle and line.
    row("rectangle at start", "cmdRect", {}, "]r]007f003f]1");
    row("rectangle dashed line", "cmdRect", {"txtX1=10", "txtX2=100", "txtY1=20", "txtY2=20", "txtrs1=5"},
        "]r]0a641414]5");
    row("rectangle reversed", "cmdRect", {"txtX1=100", "txtX2=10"}, "]r]640a003f]1");
    row("rectangle step 2.5", "cmdRect", {"txtrs1=2.5"}, "]r]007f003f]2.5");
    row("line at start", "cmdLine", {}, "]l]007f0028");
    row("line vertical", "cmdLine", {"txtLx2=0", "txtLy2=63"}, "]l]0000003f");
    row("line 9 to 10 compares numbers", "cmdLine", {"txtLx1=9", "txtLx2=10"}, "]l]090a0028");
    row("line x2 300", "cmdLine", {"txtLx2=300"}, "]l]0012c0028");
    row("line right to left", "cmdLine", {"txtLx1=127", "txtLx2=0", "txtLy2=63"}, "",
        {"Invalid Entry - Try again"});
    row("line rising", "cmdLine", {"txtLy1=40", "txtLy2=0"}, "", {"Invalid Entry - Try again"});
    row("line letters refused", "cmdLine", {"txtLx1=ab"}, "",
        {"X1 on \"Line\" must hold one number, not \"ab\"."});

    // Bar: orientation from the page option group.
    row("bar at start", "cmdbar", {}, "]b]14381419]1", {}, {"Label70=Height"});
    row("bar vertical", "cmdbar", {"optbarv"}, "]b]14191438]1", {},
        {"Label70=Height", "optxeep1=off", "optbarv=on"});
    row("bar vertical then horizontal", "cmdbar", {"optbarv", "optbarh"}, "]b]14381419]1", {},
        {"Label70=Length"});
    row("bar vertical then an EEPROM option", "cmdbar", {"optbarv", "optxeep2"}, "]b]14381419]1", {},
        {"Label70=Height", "optbarv=off"});
    row("bar step 3", "cmdbar", {"List3=3"}, "]b]14381419]3");
    row("bar vertical width 0", "cmdbar", {"optbarv", "txtbarwidth=0"}, "]b]14141438]1");
    row("bar far corner 299", "cmdbar", {"txtbarx=200", "txtbarheight=99"}, "]b]c812b1419]1");
    row("bar small values", "cmdbar", {"txtbarx=1", "txtbary=2", "txtbarwidth=3", "txtbarheight=4"},
        "]b]01050205]1");
    row("bar width 2.5 to even", "cmdbar", {"txtbarwidth=2.5"}, "]b]14381416]1");
    row("bar negative far corner refused", "cmdbar", {"txtbarwidth=-30"}, "",
        {"Y + Width on \"Bar\" must give a number of 0 or more, not \"-10\"."});

    // Fill and clear.
    row("fill at start", "cmdFill", {}, "]f]1");
    row("fill step 9", "cmdFill", {"List2=9"}, "]f]9");
    row("clear", "cmdClearLCD", {}, "]k");

    // Chart axes: end = start + length.
    row("x axis at start", "cmdXaxis", {}, "]x]107438]4");
    row("x axis tick 10", "cmdXaxis", {"lsttickx=10"}, "]x]107438]10");
    row("x axis 0 to 255", "cmdXaxis", {"txtXaxisx=0", "txtXaxisLen=255"}, "]x]00ff38]4");
    row("x axis length 0", "cmdXaxis", {"txtXaxisLen=0"}, "]x]101038]4");
    row("x axis negative length", "cmdXaxis", {"txtXaxisLen=-6"}, "]x]100a38]4");
    row("x axis end past 255", "cmdXaxis", {"txtXaxisx=200"}, "]x]c812c38]4");
    row("y axis at start", "cmdyaxis", {}, "]y]0a3810]4");
    row("y axis from 5", "cmdyaxis", {"txtYAxisy=5", "txtYAxisLen=20"}, "]y]051910]4");
    row("y axis tick of its own list", "cmdyaxis", {"lsttickx=2", "lstticky=7"}, "]y]0a3810]7");

    // Dots.
    row("set dot at start", "Command3", {}, "]d]4020");
    row("set dot padded", "Command3", {"txtDotSingX=5", "txtDotSingy=9"}, "]d]0509");
    row("set dot 12a refused", "Command3", {"txtDotSingX=12a"}, "",
        {"Single X on \"SetDot\" must hold one number, not \"12a\"."});
    row("reset dot at start", "cmdResetDot", {}, "]e]4020");
    row("run at start", "Command4", {}, test::dotRun(10, 30, 20, true));
    row("run vertical", "Command4", {"optVert"}, test::dotRun(10, 30, 20, false));
    row("run of 1", "Command4", {"txtDotnum=1"}, "]d]0a1e");
    row("run of 2.5 draws 2", "Command4", {"txtDotnum=2.5"}, test::dotRun(10, 30, 2, true));
    row("run of 3.5 draws 4", "Command4", {"txtDotnum=3.5"}, test::dotRun(10, 30, 4, true));
    row("run of 0", "Command4", {"txtDotnum=0"}, "");
    row("run of -3", "Command4", {"txtDotnum=-3"}, "");
    row("run of nothing", "Command4", {"txtDotnum="}, "");
    row("run of letters", "Command4", {"txtDotnum=abc"}, "");
    row("run past 255", "Command4", {"txtDotManyx=250", "txtDotnum=10"},
        "]d]fa1e]d]fb1e]d]fc1e]d]fd1e]d]fe1e]d]ff1e]d]1001e]d]1011e]d]1021e]d]1031e");
    row("run too long to count", "Command4", {"txtDotnum=9e4"}, "",
        {"Number on \"SetDot\" gives a number too large to send: \"9e4\"."});

    // Put byte and character.
    row("put byte at start", "cmdPutByte", {}, "]u]0a0a7c");
    row("put byte 5", "cmdPutByte", {"txtPutByte=5"}, "]u]0a0a05");
    row("put byte 255 at x 300", "cmdPutByte", {"txtPutByte=255", "txtPutBytex=300"}, "]u]12c0aff");
    row("put char at start", "cmdPutChr", {}, "]p]0a0a]A");
    row("put char lower case", "cmdPutChr", {"txtPutChr=b"}, "]p]0a0a]B", {}, {"txtPutChr=B"});
    row("put char digit", "cmdPutChr", {"txtPutChr=7"}, "]p]0a0a]7");
    row("put char empty refused", "cmdPutChr", {"txtPutChr="}, "",
        {"Charcter A-Z, 0-9 ONLY is empty; it must hold one character."});
    row("put char blank", "cmdPutChr", {"txtPutChr= "}, "]p]0a0a] ");
    row("put char empty x refused", "cmdPutChr", {"txtPutChrx="}, "",
        {"X on \"PutChar\" is empty; it must hold one number."});

    // Strings: capital pair digits, upper-cased in the field.
    row("h string at start", "cmdH", {}, "]h]0120]A];]T]E]S]S]E]L];]D]E]M]O];]B]Y];]O]R]V]A]N]T]A]@");
    row("v string at start", "cmdVs", {}, "]v]4000]O]R]V]A]N]T]A]1]@");
    row("h string lower case", "cmdH", {"txtH=ab"}, "]h]0120]A]B]@", {}, {"txtH=AB"});
    row("h string at 10,60", "cmdH", {"txtH=AB", "txtHStrX=10", "txtHStrY=60"}, "]h]0A3C]A]B]@");
    row("h string x 300", "cmdH", {"txtH=AB", "txtHStrX=300"}, "]h]12C20]A]B]@");
    row("h string blanks after", "cmdH", {"txtH=AB  "}, "]h]0120]A]B]@");
    row("h string blanks before", "cmdH", {"txtH=  AB"}, "]h]0120]A]B]@");
    row("h string 26 whole", "cmdH", {"txtH=abcdefghijklmnopqrstuvwxyz"},
        "]h]0120]A]B]C]D]E]F]G]H]I]J]K]L]M]N]O]P]Q]R]S]T]U]V]W]X]Y]Z]@");
    row("h string empty", "cmdH", {"txtH="}, "]h]0120]@");
    row("h string of markers", "cmdH", {"txtH=]@"}, "]h]0120]]]@]@");
    row("v string 8 after blanks", "cmdVs", {"txtV= abcdefgh", "txtVStrY=10"}, "]v]400A]A]B]C]D]E]F]G]H]@",
        {}, {"txtV= ABCDEFGH"});
    row("h string empty x refused", "cmdH", {"txtHStrX="}, "", {"X on \"Horiz String\" is empty; it must hold one number."});
}

void DrawingPagesTest::buttonSendsItsFrames()
{
    QFETCH(QString, button);
    QFETCH(QStringList, settings);
    QFETCH(QString, bytes);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, after);

    test::PtyFixture f;
    test::openPtyPort(f);
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("0"));
    f.setField(QStringLiteral("txmText"), kBefore);
    test::applySettings(f, settings);
    f.click(button);

    test::expectReceived(f, bytes.toLatin1());
    QCOMPARE(f.desktop.texts(), messages);
    for (const test::Message& m : f.desktop.messages)
        QCOMPARE(m.title, QStringLiteral("Varnix"));
    // The transmit window keeps the last frame sent, or its text when none was.
    const QString txm = f.txmText()->exactText();
    if (bytes.isEmpty())
        QCOMPARE(txm, kBefore);
    else
        QVERIFY2(txm.startsWith(u']') && bytes.endsWith(txm), qPrintable(txm));
    test::verifyState(f, after);
}

void DrawingPagesTest::closedPortChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    for (const char* button : {"cmdCirc", "cmdSquare", "cmdDiam", "Command2", "cmdRect", "cmdLine", "cmdbar",
                               "cmdFill", "cmdClearLCD", "cmdXaxis", "cmdyaxis", "Command3", "Command4",
                               "cmdResetDot", "cmdPutByte", "cmdPutChr", "cmdH", "cmdVs"})
        QTest::newRow(button) << QString::fromLatin1(button);
}

void DrawingPagesTest::closedPortChangesNothing()
{
    QFETCH(QString, button);
    test::PtyFixture f;
    f.pty.startReading();
    f.setField(QStringLiteral("txmText"), kBefore);
    // Lower case that a send would turn into capitals.
    test::applySettings(f, {"txtH=ab", "txtV=cd"});
    const QStringList fields = test::fieldTexts(f);

    f.click(button);
    QTest::qWait(50);
    QVERIFY(f.pty.received().isEmpty());
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Comm Port Not Open")});
    test::verifyState(f, fields);
}

VARNIX_TEST_MAIN(DrawingPagesTest)
#include "tst_drawingpages.moc"

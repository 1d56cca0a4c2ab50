// SPDX-License-Identifier: GPL-3.0-or-later
// Varnix and the virtual board together: the real window, offscreen, on
// the program's serial port, talking to a virtual board in this process
// through a pseudo-terminal.
#include "display/displayview.h"
#include "board/firmware.h"
#include "support/boardfixture.h"
#include "support/pagedriver.h"
#include "support/testmain.h"
#include "widgets/fields.h"

#include <QTest>

using namespace varnix;

namespace {
struct Click {
    const char* button;
    QStringList settings; // applied before the click, see applySettings()
    QByteArray frames;    // what goes out
};
} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void everyDrawingPageDrawsOnTheBoard();
    void eepromBlockGoesThereAndBack();
    void lcdBlockGoesThereAndBack();
    void blankCharacterClearsItsCellAndTheNextFrameDraws();
};

void EndToEndTest::everyDrawingPageDrawsOnTheBoard()
{
    test::BoardFixture f;
    f.open();
    QVERIFY(f.settle());
    const Click script[] = {
        {"cmdFill", {"List2=3"}, "]f]3"},
        {"cmdClearLCD", {}, "]k"},
        {"cmdCirc", {}, "]c]402014"},
        {"cmdSquare", {"txtSx1=30", "txtSy1=20", "txtSr=10"}, "]s]1e140a"},
        {"cmdRect", {"txtrs1=2"}, "]r]007f003f]2"},
        {"cmdDiam", {"txtDx=100"}, "]q]642014"},
        {"Command2", {"txtStarx=20", "txtStary=44", "txtStarr=12"}, "]t]142c0c"},
        {"cmdLine", {}, "]l]007f0028"},
        {"cmdbar", {"optbarv", "List3=2"}, "]b]14191438]2"},
        {"cmdXaxis", {}, "]x]107438]4"},
        {"cmdyaxis", {"lstticky=10"}, "]y]0a3810]10"},
        {"Command3", {}, "]d]4020"},
        // A run of dots at the default pacing: one frame per dot.
        {"Command4", {}, test::dotRun(10, 30, 20, true).toLatin1()},
        {"cmdResetDot", {"txtResetx=100"}, "]e]6420"},
        {"cmdPutByte", {"txtPutByte=129"}, "]u]0a0a81"},
        {"cmdPutChr", {"txtPutChr=z"}, "]p]0a0a]Z"},
        {"cmdH", {"txtHStrY=54"}, "]h]0136]A];]T]E]S]S]E]L];]D]E]M]O];]B]Y];]O]R]V]A]N]T]A]@"},
        {"cmdVs", {}, "]v]4000]O]R]V]A]N]T]A]1]@"},
    };
    QByteArray sent;
    for (const Click& click : script) {
        test::applySettings(f, click.settings);
        test::press(f, QString::fromLatin1(click.button));
        sent += click.frames;
        QVERIFY2(f.settle(), click.button);
        QCOMPARE(f.board.received(), sent);
    }
    QVERIFY(f.desktop.messages.isEmpty());

    // The board draws what its firmware draws for exactly those frames.
    board::Firmware model;
    model.feed(sent);
    model.silence();
    QVERIFY(model.display() == f.board.firmware().display());
    QVERIFY(!(model.display() == board::Display{}));
    QCOMPARE(f.board.firmware().errors(), 0);
    // Every command was answered, and the answers reached the receive window.
    QCOMPARE(f.rcvText()->exactText().count(QStringLiteral("Ready:\r\n")),
             int(f.board.firmware().commandsDone()) + 1);
}

void EndToEndTest::eepromBlockGoesThereAndBack()
{
    test::BoardFixture f;
    f.open();
    test::applySettings(f, {"optWeep1", "txtewaddr=0016"});
    f.find<TextArea>("txtewrite")->setExactText(QStringLiteral("41424344"));
    test::press(f, "cmdechk");
    QCOMPARE(f.find<LineField>("xmitdelay")->exactText(), QStringLiteral("200"));
    test::press(f, "cmdewrite");
    QVERIFY(f.settle());
    QCOMPARE(f.find<LineField>("xmitdelay")->exactText(), QStringLiteral("20"));
    QCOMPARE(f.board.firmware().externalEeprom().mid(16, 4), QByteArray("ABCD"));

    test::applySettings(f, {"optxeep1", "txteraddr=0016", "txtebytes=0004"});
    f.find<LineField>("txtebytes")->setFocus();
    test::press(f, "cmderead");
    QVERIFY(f.settle());
    // Clicking the prompt takes the answer over.
    QCOMPARE(test::shown(f, "txteread"), QStringLiteral("CLICK HERE"));
    QTest::mouseClick(f.find<TextArea>("txteread")->viewport(), Qt::LeftButton);
    QCOMPARE(test::shown(f, "txteread"), QStringLiteral("41424344"));
    QVERIFY(f.board.received().endsWith("]o]00100013]41]42]43]44]]a]00100013"));
    QVERIFY(f.desktop.messages.isEmpty());
}

void EndToEndTest::lcdBlockGoesThereAndBack()
{
    test::BoardFixture f;
    f.open();
    const QString block = QStringLiteral("ff00aa5501020304");
    test::applySettings(f, {"txtlcdx1=000", "txtlcdx2=003", "txtlcdy1=00", "txtlcdy2=01"});
    f.find<TextArea>("txtlcd")->setExactText(block);
    test::press(f, "cmdlcdfmt");
    test::press(f, "cmdwritelcd");
    QVERIFY(f.settle());
    const board::Display& display = f.board.firmware().display();
    QCOMPARE(display.byteAt(0, 0), quint8(0xff));
    QCOMPARE(display.byteAt(3, 0), quint8(0x55));
    QCOMPARE(display.byteAt(0, 1), quint8(0x01));

    test::press(f, "lcrlcdtxt");
    test::press(f, "cmdlcdread");
    QVERIFY(f.settle());
    QTest::mouseClick(f.find<TextArea>("txtlcd")->viewport(), Qt::LeftButton);
    QCOMPARE(test::shown(f, "txtlcd"), block);
    QVERIFY(f.desktop.messages.isEmpty());
}

void EndToEndTest::blankCharacterClearsItsCellAndTheNextFrameDraws()
{
    test::BoardFixture f;
    f.open();
    // A column of 8 dots at 10,10, a blank put over it, then a circle.
    test::applySettings(f, {"txtPutByte=255", "txtPutChr= "});
    test::press(f, "cmdPutByte");
    test::press(f, "cmdPutChr");
    test::press(f, "cmdCirc");
    QVERIFY(f.settle());
    QCOMPARE(f.board.firmware().errors(), 0);
    const board::Display& display = f.board.firmware().display();
    QVERIFY(!display.pixel(10, 10) && !display.pixel(10, 13));
    QVERIFY(display.pixel(10, 14) && display.pixel(84, 32));
    // What the window showed the board would draw is what it drew.
    QVERIFY(f.find<DisplayView>("displayView")->display() == display);
    QVERIFY(f.desktop.messages.isEmpty());
}

VARNIX_TEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"

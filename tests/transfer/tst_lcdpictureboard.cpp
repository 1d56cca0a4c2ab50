// SPDX-License-Identifier: GPL-3.0-or-later
// The picture buttons in the window: a picture onto the virtual board's
// display and back into a file, through the window on a pseudo-terminal
// (Load Picture, Reformat, Write, then Read and Save Picture), and their
// access keys beside the page's others.
#include "board/firmware.h"
#include "picturedriver.h"
#include "support/boardfixture.h"
#include "support/pagedriver.h"
#include "support/testmain.h"
#include "render/picture.h"
#include "render/text.h"
#include "transfer/lcdpictures.h"
#include "widgets/fields.h"

#include <QTemporaryDir>
#include <QTest>

using namespace varnix;
using namespace varnix::transfer;
using namespace varnix::render;

class LcdPictureBoardTest : public QObject
{
    Q_OBJECT
private slots:
    void pictureOntoTheBoardAndBack_data();
    void pictureOntoTheBoardAndBack();
    void bitmapTextOntoTheBoard();
    void accessKeysKeepPasteWhereItWas();
};

void LcdPictureBoardTest::pictureOntoTheBoardAndBack_data()
{
    QTest::addColumn<QStringList>("corners"); // X1, X2, Y1, Y2
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("dither");
    QTest::addColumn<bool>("inverted");
    QTest::newRow("whole display, diffused") << QStringList{"000", "127", "00", "07"} << QSize(300, 200)
                                             << int(Dither::Diffuse) << false;
    QTest::newRow("16 x 16 at 8, 1, threshold inverted") << QStringList{"008", "023", "01", "02"} << QSize(16, 16)
                                                         << int(Dither::Threshold) << true;
}

void LcdPictureBoardTest::pictureOntoTheBoardAndBack()
{
    QFETCH(QStringList, corners);
    QFETCH(QSize, size);
    QFETCH(int, dither);
    QFETCH(bool, inverted);
    const MonoChoice choice{Dither(dither), inverted};
    const LcdBlock block{corners[0].toInt(), corners[1].toInt(), corners[2].toInt(), corners[3].toInt()};

    QTemporaryDir dir;
    const QImage picture = test::shaded(size);
    const QString in = dir.filePath(QStringLiteral("in.png"));
    QVERIFY(picture.save(in));
    test::AnsweringDialogs dialogs;
    dialogs.openPath = in;
    dialogs.choice = PictureChoice{choice};
    dialogs.saveTarget = {dir.filePath(QStringLiteral("read.png")), false};

    test::BoardFixture f;
    f.window->findChild<LcdPictures*>()->setDialogs(dialogs);
    f.open();
    QVERIFY(f.settle());
    const board::Display before = f.board.firmware().display();

    test::applySettings(f, {"txtlcdx1=" + corners[0], "txtlcdx2=" + corners[1], "txtlcdy1=" + corners[2],
                            "txtlcdy2=" + corners[3]});
    test::press(f, "cmdlcdloadpic");
    test::press(f, "cmdlcdfmt");
    test::press(f, "cmdwritelcd");
    QVERIFY(f.settle(30000));
    QCOMPARE(f.board.firmware().errors(), 0);

    // The block shows the picture in black and white; the rest is as it was.
    const QImage expected = blackAndWhite(fitToBlock(picture, block), choice);
    const int dark = test::darkPixels(expected);
    QVERIFY(dark > 0 && dark < block.bytes() * 8);
    QCOMPARE(test::wrongPixels(f.board.firmware().display(), expected, block, before), 0);

    // Read back, captured as the focus leaves Read, and saved.
    test::press(f, "cmdlcdread");
    QVERIFY(f.settle());
    test::press(f, "cmdlcdsavepic");
    QCOMPARE(dialogs.saves, 1);
    QCOMPARE(test::differingPixels(QImage(dialogs.saveTarget.path), expected), 0);
    QCOMPARE(f.desktop.texts(), QStringList{});
}

// "Hello, board" in misc-fixed 6x13 from Load Text, fitted at the middle
// of the display, written to the board: its display shows the text's dots.
void LcdPictureBoardTest::bitmapTextOntoTheBoard()
{
    test::AnsweringDialogs dialogs;
    TextChoice text;
    text.text = QStringLiteral("Hello, board");
    text.font = QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz");
    text.across = Across::Centre;
    text.down = Down::Middle;
    dialogs.text = text;
    dialogs.block = BlockChoice{LcdBlock{}, true, true};
    test::BoardFixture f;
    f.window->findChild<LcdPictures*>()->setDialogs(dialogs);
    f.open();
    QVERIFY(f.settle());
    const board::Display before = f.board.firmware().display();

    test::press(f, "cmdlcdloadtext");
    test::press(f, "cmdlcdfmt");
    test::press(f, "cmdwritelcd");
    QVERIFY(f.settle(30000));
    QCOMPARE(f.board.firmware().errors(), 0);
    const LcdBlock block = chosenBlock(*dialogs.block, text);
    QCOMPARE(QList<int>({block.x1, block.x2, block.y1, block.y2}), QList<int>({28, 99, 3, 4}));
    const RenderedText rendered = renderText(text, block);
    QCOMPARE(rendered.extent, QSize(72, 13));
    QCOMPARE(test::wrongPixels(f.board.firmware().display(), rendered.mono, block, before), 0);
    QCOMPARE(f.desktop.texts(), QStringList{});
}

void LcdPictureBoardTest::accessKeysKeepPasteWhereItWas()
{
    test::AnsweringDialogs dialogs;
    test::Fixture f;
    f.window->findChild<LcdPictures*>()->setDialogs(dialogs);
    test::showPageOf(f, QStringLiteral("txtlcd"));
    auto* area = f.find<TextArea>(QStringLiteral("txtlcd"));
    f.desktop.clipboard = QStringLiteral("ab");
    // An access key presses its button as a click does, a moment later.
    QTest::keyClick(&f.main(), Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(area->exactText(), QStringLiteral("ab"));
    QTest::keyClick(&f.main(), Qt::Key_T, Qt::AltModifier);
    QTRY_COMPARE(dialogs.opens, 1);
    QTest::keyClick(&f.main(), Qt::Key_I, Qt::AltModifier); // "ab" is the block of one cell
    QTRY_COMPARE(dialogs.saves, 1);
    QCOMPARE(f.desktop.texts(), QStringList{});
}

VARNIX_TEST_MAIN(LcdPictureBoardTest)
#include "tst_lcdpictureboard.moc"

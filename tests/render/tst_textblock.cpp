// SPDX-License-Identifier: GPL-3.0-or-later
// Text into a block: what holds with any machine's fonts. The board's own
// font against the firmware, an installed font (DejaVu Sans, which the test
// command installs) for extents, alignment, clipping and turning, and a
// bitmap font (misc-fixed 6x13, likewise) turned.
#include "board/displaycheck.h"
#include "protocol/frames.h"
#include "render/text.h"
#include "support/testmain.h"
#include "transfer/picturedriver.h"

#include <QTest>

using namespace varnix;
using namespace varnix::render;

namespace {
const QString kDejaVu = QStringLiteral("DejaVu Sans");

TextChoice dejaVu(const QString& text, int size = 16)
{
    TextChoice choice;
    choice.text = text;
    choice.font = kDejaVu;
    choice.pixelSize = size;
    return choice;
}

// The picture moved by (dx, dy), white where nothing came in.
QImage shifted(const QImage& mono, int dx, int dy)
{
    QImage out = whiteBlock(mono.size());
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            if (test::dark(mono, x, y) && out.rect().contains(x + dx, y + dy))
                out.setPixel(x + dx, y + dy, 1);
    return out;
}
} // namespace

class TextBlockTest : public QObject
{
    Q_OBJECT
private slots:
    void boardFontIsTheFirmwares_data();
    void boardFontIsTheFirmwares();
    void alignmentMovesTheTextByItsRoom();
    void tooLongIsClippedNotWrapped();
    void turnedIsTheUprightTextTurned_data();
    void turnedIsTheUprightTextTurned();
    void missingFontEmptyTextInverted();
    void blockChoiceMakesTheCorners_data();
    void blockChoiceMakesTheCorners();
};

void TextBlockTest::boardFontIsTheFirmwares_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LcdBlock>("block");
    QTest::newRow("capitals, whole display") << "HELLO, BOARD!" << LcdBlock{};
    QTest::newRow("lower case, unknown, in a block") << "ab~{x" << LcdBlock{10, 60, 2, 3};
    QTest::newRow("digits at the right edge") << "0123456789" << LcdBlock{68, 127, 7, 7};
}

void TextBlockTest::boardFontIsTheFirmwares()
{
    QFETCH(QString, text);
    QFETCH(LcdBlock, block);
    TextChoice choice;
    choice.text = text;
    const RenderedText rendered = renderText(choice, block);
    QVERIFY(rendered.error.isEmpty() && !rendered.clipped);
    const auto pair = [](int value) { return protocol::FieldText{QStringLiteral("n"), QString::number(value)}; };
    const QString frame = protocol::horizontalStringFrame(pair(block.x1), pair(block.y1 * 8),
                                                          {QStringLiteral("t"), text}, 100)
                              .frame;
    const board::Display firmware = board::drawn({frame}).display();
    QVERIFY(test::darkPixels(rendered.mono) > 0);
    QCOMPARE(test::wrongPixels(firmware, rendered.mono, block), 0);
}

void TextBlockTest::alignmentMovesTheTextByItsRoom()
{
    const LcdBlock block{};
    TextChoice choice = dejaVu(QStringLiteral("Volt\n12.5"));
    const RenderedText topLeft = renderText(choice, block);
    QVERIFY2(topLeft.error.isEmpty(), qPrintable(topLeft.error));
    const QSize extent = topLeft.extent;
    // Two lines of a 16-pixel font: taller than 32 pixels, as wide as "Volt"
    // at most a few pixels either way, and the ink inside the extent.
    QVERIFY(extent.height() >= 32 && extent.height() <= 44);
    QVERIFY(extent.width() > 20 && extent.width() < 60);
    int inkOutside = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            inkOutside += test::dark(topLeft.mono, x, y) && (x >= extent.width() + 2 || y >= extent.height());
    QCOMPARE(inkOutside, 0);

    // Bottom right is the same text moved by the whole room, middle by half.
    choice.down = Down::Bottom;
    const int roomY = 64 - extent.height();
    QCOMPARE(test::differingPixels(renderText(choice, block).mono, shifted(topLeft.mono, 0, roomY)), 0);
    choice.down = Down::Middle;
    QCOMPARE(test::differingPixels(renderText(choice, block).mono, shifted(topLeft.mono, 0, roomY / 2)), 0);
    // Each line on its own width: one line tested for the horizontal room.
    choice = dejaVu(QStringLiteral("Volt"));
    const RenderedText left = renderText(choice, block);
    choice.across = Across::Right;
    QCOMPARE(test::differingPixels(renderText(choice, block).mono, shifted(left.mono, 128 - left.extent.width(), 0)),
             0);
    // Line spacing adds to the second line's place only.
    choice = dejaVu(QStringLiteral("Volt\n12.5"));
    choice.lineSpacing = 5;
    const RenderedText spaced = renderText(choice, block);
    QCOMPARE(spaced.extent.height(), extent.height() + 5);
}

void TextBlockTest::tooLongIsClippedNotWrapped()
{
    const LcdBlock block{0, 63, 0, 3};
    const RenderedText rendered = renderText(dejaVu(QStringLiteral("MMMMMMMMMMMMMMMMM"), 12), block);
    QVERIFY(rendered.clipped);
    QVERIFY(rendered.extent.width() > 64);
    // The ink reaches the right edge and stays on the first line.
    int rightEdge = 0, below = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 59; x < 64; ++x)
            rightEdge += test::dark(rendered.mono, x, y);
        for (int x = 0; x < 64; ++x)
            below += test::dark(rendered.mono, x, y) && y >= rendered.extent.height();
    }
    QVERIFY(rightEdge > 0);
    QCOMPARE(below, 0);
    // A text that fits is not said to be clipped.
    QVERIFY(!renderText(dejaVu(QStringLiteral("Ok"), 12), block).clipped);
}

void TextBlockTest::turnedIsTheUprightTextTurned_data()
{
    QTest::addColumn<QString>("font");
    QTest::addColumn<int>("rotation");
    for (const QString& font : {boardFontName(), kDejaVu, QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz")})
        for (int rotation : {90, 180, 270})
            QTest::addRow("%s %d", qPrintable(font), rotation) << font << rotation;
}

void TextBlockTest::turnedIsTheUprightTextTurned()
{
    QFETCH(QString, font);
    QFETCH(int, rotation);
    // A block of 48 x 32 pixels: turned by 90 degrees the text is laid out
    // in 32 x 48.
    const LcdBlock block{10, 57, 2, 5};
    const LcdBlock upright{0, 31, 0, 5};
    TextChoice choice = dejaVu(QStringLiteral("Ab\n9"), 16);
    choice.font = font;
    choice.across = Across::Centre;
    choice.down = Down::Bottom;
    const QImage plain = renderText(choice, rotation == 180 ? block : upright).mono;
    choice.rotation = rotation;
    const RenderedText turnedText = renderText(choice, block);
    QCOMPARE(turnedText.mono.size(), block.pixelSize());
    QVERIFY(test::darkPixels(plain) > 10);
    QCOMPARE(test::differingPixels(turnedText.mono, turned(plain, rotation)), 0);
}

void TextBlockTest::missingFontEmptyTextInverted()
{
    const LcdBlock block{0, 15, 0, 1};
    TextChoice choice = dejaVu(QStringLiteral("x"));
    choice.font = QStringLiteral("No Such Font Anywhere");
    const RenderedText missing = renderText(choice, block);
    QCOMPARE(missing.error, QStringLiteral("The font \"No Such Font Anywhere\" is not installed."));
    QVERIFY(missing.mono.isNull());

    choice = dejaVu(QString());
    choice.inverted = true;
    QCOMPARE(blockHex(renderText(choice, block).mono, block), QStringLiteral("00").repeated(32));

    choice = dejaVu(QStringLiteral("8"), 14);
    const QImage plain = renderText(choice, block).mono;
    choice.inverted = true;
    QCOMPARE(test::differingPixels(renderText(choice, block).mono, plain), 16 * 16);
}

void TextBlockTest::blockChoiceMakesTheCorners_data()
{
    // In the board's font "SET 21" is 35 x 7 pixels and "AB" 11 x 7.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rotation");
    QTest::addColumn<QPoint>("align"); // across, down: 0 left or top, 1 centre, 2 right or bottom
    QTest::addColumn<LcdBlock>("place");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<LcdBlock>("block");
    const QString set = QStringLiteral("SET 21");
    QTest::newRow("the corners") << set << 0 << QPoint(0, 0) << LcdBlock{8, 23, 1, 2} << false << false
                                 << LcdBlock{8, 23, 1, 2};
    QTest::newRow("whole display") << set << 0 << QPoint(0, 0) << LcdBlock{0, 0, 0, 0} << true << false << LcdBlock{};
    QTest::newRow("fit at the page's first corners")
        << set << 0 << QPoint(0, 0) << LcdBlock{0, 0, 0, 0} << false << true << LcdBlock{0, 34, 0, 0};
    QTest::newRow("fit, right and bottom of the place")
        << set << 0 << QPoint(2, 2) << LcdBlock{64, 127, 4, 7} << false << true << LcdBlock{93, 127, 7, 7};
    QTest::newRow("fit, centred on the whole display")
        << set << 0 << QPoint(1, 1) << LcdBlock{0, 0, 0, 0} << true << true << LcdBlock{46, 80, 3, 3};
    QTest::newRow("fit, wider than the room to the right")
        << set << 0 << QPoint(0, 0) << LcdBlock{100, 110, 0, 0} << false << true << LcdBlock{93, 127, 0, 0};
    QTest::newRow("fit, two lines take two rows")
        << "AB\nCD" << 0 << QPoint(0, 0) << LcdBlock{0, 0, 5, 5} << false << true << LcdBlock{0, 10, 5, 6};
    QTest::newRow("fit, a quarter turn: the upright top left goes to the top right")
        << "AB" << 90 << QPoint(0, 0) << LcdBlock{} << true << true << LcdBlock{121, 127, 0, 1};
    QTest::newRow("fit, three quarters: to the bottom left")
        << "AB" << 270 << QPoint(0, 0) << LcdBlock{} << false << true << LcdBlock{0, 6, 6, 7};
    QTest::newRow("fit, no text") << QString() << 0 << QPoint(0, 0) << LcdBlock{5, 9, 2, 3} << false << true
                                  << LcdBlock{5, 5, 2, 2};
    QTest::newRow("fit, larger than the display")
        << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ\n1\n2\n3\n4\n5\n6\n7\n8") << 0 << QPoint(1, 1) << LcdBlock{60, 70, 3, 4} << false
        << true << LcdBlock{};
}

void TextBlockTest::blockChoiceMakesTheCorners()
{
    QFETCH(QString, text);
    QFETCH(int, rotation);
    QFETCH(QPoint, align);
    QFETCH(LcdBlock, place);
    QFETCH(bool, whole);
    QFETCH(bool, fit);
    QFETCH(LcdBlock, block);
    TextChoice choice;
    choice.text = text;
    choice.rotation = rotation;
    choice.across = Across(align.x());
    choice.down = Down(align.y());
    const LcdBlock chosen = chosenBlock({place, whole, fit}, choice);
    QCOMPARE(QList<int>({chosen.x1, chosen.x2, chosen.y1, chosen.y2}), QList<int>({block.x1, block.x2, block.y1, block.y2}));
    // A fitted block holds the whole text, when the display can.
    if (fit && block.bytes() < LcdBlock{}.bytes()) {
        const RenderedText rendered = renderText(choice, chosen);
        QVERIFY(!rendered.clipped);
        QCOMPARE(test::darkPixels(rendered.mono), test::darkPixels(renderText(choice, LcdBlock{}).mono));
    }
}

VARNIX_TEST_MAIN(TextBlockTest)
#include "tst_textblock.moc"

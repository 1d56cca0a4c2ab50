// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures as blocks of display memory: the conversion both ways, and the
// LCD page's picture buttons on a stand-in for the window.
#include "board/firmware.h"
#include "picturedriver.h"
#include "protocol/encodings.h"
#include "support/standinhost.h"
#include "support/testmain.h"
#include "render/picture.h"
#include "transfer/lcdpictures.h"
#include "render/text.h"
#include "widgets/fields.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace varnix;
using namespace varnix::transfer;
using namespace varnix::render;
using test::AnsweringDialogs;

using test::kWholeDisplay;
using test::oneColour;

namespace {

QString pictureHex(const QImage& picture, const LcdBlock& block, MonoChoice choice = {})
{
    return blockHex(blackAndWhite(fitToBlock(picture, block), choice), block);
}


// The window around the picture buttons: the text area, the corners it is
// given, the stand-in host and the dialogs' answers.
struct PicturePage {
    explicit PicturePage(std::array<std::int64_t, 4> corners = {0, 127, 0, 7})
        : corners(corners), pictures(
                                host, area, [this] { return std::optional(this->corners); },
                                [this](const LcdBlock& b) { this->corners = {b.x1, b.x2, b.y1, b.y2}; },
                                [this] { ++loads; })
    {
        area->setExactText(QStringLiteral("keep me"));
        auto* column = new QVBoxLayout(&page);
        column->addWidget(area);
        column->addWidget(pictures.cmdlcdloadpic());
        column->addWidget(pictures.cmdlcdsavepic());
        column->addWidget(pictures.cmdlcdloadtext());
        pictures.setDialogs(dialogs);
    }

    QWidget page;
    TextArea* area = new TextArea(QStringLiteral("txtlcd"));
    std::array<std::int64_t, 4> corners;
    test::StandInHost host;
    AnsweringDialogs dialogs;
    LcdPictures pictures;
    int loads = 0;
};

// A BMP whose header claims a picture of the given size, without its pixels.
QByteArray bmpHeader(qint32 width, qint32 height)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54) << quint32(0) << quint32(54);
    out << quint32(40) << width << height << quint16(1) << quint16(24);
    for (int i = 0; i < 6; ++i)
        out << quint32(0);
    return bytes;
}
} // namespace

class LcdPictureTest : public QObject
{
    Q_OBJECT
private slots:
    void onePixelSetsOneBit_data();
    void onePixelSetsOneBit();
    void wholeBlockOfOneColour_data();
    void wholeBlockOfOneColour();
    void blockBytesGoInTheOrderOfTheWriteFrame();
    void pictureIsFittedIntoTheBlock_data();
    void pictureIsFittedIntoTheBlock();
    void ditheringAndInversion();
    void readReplyBecomesAPicture_data();
    void readReplyBecomesAPicture();
    void refusedLoadChangesNothing_data();
    void refusedLoadChangesNothing();
    void loadThenSaveKeepsThePixels();
    void textAndAnimationFromThePage();
    void dialogsStartFromThePagesCorners_data();
    void dialogsStartFromThePagesCorners();
    void loadedBlockBecomesThePagesCorners();
    void textPreviewFollowsTheChoices();
    void bitmapFontAmongTheFonts();
    void textPreviewStartsFromATextsChoices();
    void qtDialogsShowAndReturnTheChoice();
};

void LcdPictureTest::onePixelSetsOneBit_data()
{
    QTest::addColumn<QPoint>("pixel");
    for (const QPoint p : {QPoint(0, 0), QPoint(127, 63), QPoint(5, 13), QPoint(64, 7), QPoint(64, 8), QPoint(1, 62)})
        QTest::addRow("(%d, %d)", p.x(), p.y()) << p;
}

void LcdPictureTest::onePixelSetsOneBit()
{
    QFETCH(QPoint, pixel);
    QImage picture = oneColour({128, 64}, 0xffffffff);
    picture.setPixel(pixel, 0xff000000);
    QString expected = QStringLiteral("00").repeated(1024);
    expected.replace((pixel.y() / 8 * 128 + pixel.x()) * 2, 2,
                     QStringLiteral("%1").arg(1 << pixel.y() % 8, 2, 16, QLatin1Char('0')));
    for (const Dither dither : {Dither::Threshold, Dither::Diffuse})
        QCOMPARE(pictureHex(picture, kWholeDisplay, {dither, false}), expected);
}

void LcdPictureTest::wholeBlockOfOneColour_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<QString>("pair");
    QTest::newRow("black") << QSize(128, 64) << QRgb(0xff000000) << false << "ff";
    QTest::newRow("black, twice the size") << QSize(256, 128) << QRgb(0xff000000) << false << "ff";
    QTest::newRow("white") << QSize(128, 64) << QRgb(0xffffffff) << false << "00";
    QTest::newRow("white inverted") << QSize(128, 64) << QRgb(0xffffffff) << true << "ff";
    QTest::newRow("transparent is white") << QSize(128, 64) << QRgb(0x00000000) << false << "00";
}

void LcdPictureTest::wholeBlockOfOneColour()
{
    QFETCH(QSize, size);
    QFETCH(QRgb, colour);
    QFETCH(bool, inverted);
    QFETCH(QString, pair);
    QCOMPARE(pictureHex(oneColour(size, colour), kWholeDisplay, {Dither::Diffuse, inverted}), pair.repeated(1024));
}

void LcdPictureTest::blockBytesGoInTheOrderOfTheWriteFrame()
{
    // Columns 8 to 23, rows 1 and 2: the board puts the bytes back into
    // exactly the picture's pixels, 8 to the right and 8 down.
    const LcdBlock block{8, 23, 1, 2};
    const QImage picture = test::checkered({16, 16});
    const QString hex = pictureHex(picture, block);
    QCOMPARE(hex.size(), 64);
    board::Firmware firmware;
    firmware.feed("]m]08170102" + protocol::byteList(hex).toLatin1());
    firmware.silence();
    QCOMPARE(firmware.errors(), 0);
    // The picture in the block, and a blank display around it.
    QCOMPARE(test::wrongPixels(firmware.display(), picture, block), 0);
}

void LcdPictureTest::pictureIsFittedIntoTheBlock_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<LcdBlock>("block");
    QTest::addColumn<QRect>("black"); // where the all-black picture lands
    QTest::newRow("wide, scaled down") << QSize(256, 64) << kWholeDisplay << QRect(0, 16, 128, 32);
    QTest::newRow("tall, scaled down") << QSize(30, 240) << kWholeDisplay << QRect(60, 0, 8, 64);
    QTest::newRow("small, not enlarged") << QSize(10, 9) << kWholeDisplay << QRect(59, 27, 10, 9);
    QTest::newRow("into a small block") << QSize(40, 80) << LcdBlock{8, 23, 1, 2} << QRect(4, 0, 8, 16);
    QTest::newRow("a line of a thousand") << QSize(1000, 1) << kWholeDisplay << QRect(0, 31, 128, 1);
}

void LcdPictureTest::pictureIsFittedIntoTheBlock()
{
    QFETCH(QSize, size);
    QFETCH(LcdBlock, block);
    QFETCH(QRect, black);
    const QImage mono = blackAndWhite(fitToBlock(oneColour(size, 0xff000000), block), {});
    QCOMPARE(mono.size(), block.pixelSize());
    QRect found;
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            if (test::dark(mono, x, y))
                found |= QRect(x, y, 1, 1);
    QCOMPARE(found, black);
}

void LcdPictureTest::ditheringAndInversion()
{
    // A dark grey: all black by threshold, a mix by diffusion.
    const QImage grey = fitToBlock(oneColour({128, 64}, qRgb(90, 90, 90)), kWholeDisplay);
    QCOMPARE(blockHex(blackAndWhite(grey, {Dither::Threshold, false}), kWholeDisplay),
             QStringLiteral("ff").repeated(1024));
    const int black = test::darkPixels(blackAndWhite(grey, {Dither::Diffuse, false}));
    QVERIFY2(black > 8192 / 2 && black < 8192 * 4 / 5, qPrintable(QString::number(black)));
    // Inverted is the same picture with every pixel the other way round.
    const QImage picture = fitToBlock(test::shaded({128, 64}), kWholeDisplay);
    for (const Dither dither : {Dither::Threshold, Dither::Diffuse})
        QCOMPARE(test::differingPixels(blackAndWhite(picture, {dither, false}), blackAndWhite(picture, {dither, true})),
                 8192);
}

void LcdPictureTest::readReplyBecomesAPicture_data()
{
    const LcdBlock block{8, 23, 1, 2};
    const QString hex = pictureHex(test::checkered({16, 16}), block);
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::newRow("as the board answers") << hex << true;
    QTest::newRow("upper case, blanks and line breaks between pairs")
        << ' ' + hex.left(20).toUpper() + "\r\n" + hex.mid(20, 30) + " \t" + hex.mid(50) + "\r\n" << true;
    QTest::newRow("a byte list") << ']' + hex.left(2) + ']' + hex.mid(2) << true;
    QTest::newRow("one byte short") << hex.chopped(2) << false;
    QTest::newRow("one byte more") << hex + "00" << false;
    QTest::newRow("half a pair") << hex + '0' << false;
    QTest::newRow("blank inside a pair") << hex.left(3) + ' ' + hex.mid(3) << false;
    QTest::newRow("prompt left in") << hex + "Ready:" << false;
    QTest::newRow("the prompt of a read") << "CLICK HERE" << false;
}

void LcdPictureTest::readReplyBecomesAPicture()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    const auto picture = blockPicture(text, LcdBlock{8, 23, 1, 2});
    QCOMPARE(picture.has_value(), read);
    if (read)
        QCOMPARE(test::differingPixels(*picture, test::checkered({16, 16})), 0);
}

void LcdPictureTest::refusedLoadChangesNothing_data()
{
    QTest::addColumn<QByteArray>("file");   // the file's content; "-" for no file at all
    QTest::addColumn<QString>("message");   // what the message says
    const QByteArray png = "\x89PNG\r\n";
    const QString unread = QStringLiteral("is not a picture that can be read");
    QTest::newRow("not a picture") << QByteArray("hello, board") << unread;
    QTest::newRow("cut short") << png << unread;
    QTest::newRow("no such file") << QByteArray("-") << unread;
    QTest::newRow("empty") << QByteArray() << "is empty: there is no picture in it.";
    QTest::newRow("too large") << bmpHeader(8000, 5001) << "is 8000 x 5001 pixels, too large to read";
}

void LcdPictureTest::refusedLoadChangesNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    if (file != "-") {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    }
    PicturePage p;
    p.dialogs.openPath = path;
    p.pictures.cmdlcdloadpic()->click();
    QCOMPARE(p.host.messages.size(), 1);
    QVERIFY2(p.host.messages[0].contains(message), qPrintable(p.host.messages[0]));
    QCOMPARE(p.area->exactText(), QStringLiteral("keep me"));
    QCOMPARE(p.loads, 0);
    QCOMPARE(p.dialogs.choices, 0);
    QCOMPARE(p.dialogs.opens, 1);
}

void LcdPictureTest::loadThenSaveKeepsThePixels()
{
    QTemporaryDir dir;
    const QImage picture = test::checkered({128, 64});
    const QString in = dir.filePath(QStringLiteral("in.png"));
    QVERIFY(picture.save(in));
    PicturePage p;
    p.dialogs.openPath = in;
    p.dialogs.saveTarget = {dir.filePath(QStringLiteral("out.png")), true};

    // Text that is not the block's bytes has no picture to save.
    p.pictures.cmdlcdsavepic()->click();
    QCOMPARE(p.host.messages.size(), 1);
    QVERIFY2(p.host.messages.takeFirst().contains(QStringLiteral("does not hold the 1024 bytes of the block")),
             "no refusal");
    QCOMPARE(p.dialogs.saves, 0);

    // Cancelled in the picture dialog: nothing changes.
    p.dialogs.choice.reset();
    p.pictures.cmdlcdloadpic()->click();
    QCOMPARE(p.area->exactText(), QStringLiteral("keep me"));

    p.dialogs.choice = PictureChoice{{Dither::Diffuse, false}};
    p.pictures.cmdlcdloadpic()->click();
    QCOMPARE(p.loads, 1);
    QCOMPARE(p.area->exactText(), pictureHex(picture, kWholeDisplay));
    p.pictures.cmdlcdsavepic()->click();
    QCOMPARE(p.host.messages, QStringList{});

    const QImage saved(dir.filePath(QStringLiteral("out.png")));
    QCOMPARE(test::differingPixels(saved, picture), 0);
    const QImage enlarged(dir.filePath(QStringLiteral("out@4x.png")));
    QCOMPARE(test::differingPixels(enlarged, picture.scaled(512, 256)), 0);
}

void LcdPictureTest::textAndAnimationFromThePage()
{
    QTemporaryDir dir;
    PicturePage p({0, 63, 2, 3});
    TextChoice text;
    text.text = QStringLiteral("12.5 V");
    p.dialogs.text = text;
    p.pictures.cmdlcdloadtext()->click();
    QCOMPARE(p.loads, 1);
    const LcdBlock block{0, 63, 2, 3};
    QCOMPARE(p.area->exactText(), blockHex(renderText(text, block).mono, block));

    // Two frames saved as a script; the text area keeps what it had.
    p.dialogs.openPaths = {dir.filePath(QStringLiteral("b2.png")), dir.filePath(QStringLiteral("b1.png"))};
    QVERIFY(oneColour({64, 16}, qRgb(0, 0, 0)).save(p.dialogs.openPaths[0]));
    QVERIFY(oneColour({64, 16}, qRgb(255, 255, 255)).save(p.dialogs.openPaths[1]));
    p.dialogs.asScript = true;
    p.dialogs.scriptPath = dir.filePath(QStringLiteral("blink.vnx"));
    p.pictures.cmdlcdloadpic()->click();
    QCOMPARE(p.dialogs.shownFrames, 2);
    QCOMPARE(p.loads, 1);
    QFile script(p.dialogs.scriptPath);
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(script.readAll()).split(u'\n', Qt::SkipEmptyParts);
    // White first (b1), then black: two writes of the whole block.
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^\\]m\\]003f0203"))).size(), 2);
    QVERIFY(lines.filter(QStringLiteral("]m]")).constFirst().endsWith(QStringLiteral("]00")));
    QVERIFY(lines.filter(QStringLiteral("]m]")).constLast().endsWith(QStringLiteral("]ff")));
}

void LcdPictureTest::dialogsStartFromThePagesCorners_data()
{
    QTest::addColumn<QList<qint64>>("corners");
    QTest::addColumn<bool>("text");
    QTest::addColumn<LcdBlock>("place");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("fit");
    const QList<qint64> first{0, 0, 0, 0};
    QTest::newRow("as the page starts, a text fits itself") << first << true << LcdBlock{0, 0, 0, 0} << false << true;
    QTest::newRow("as the page starts, a picture takes the display")
        << first << false << LcdBlock{0, 0, 0, 0} << true << false;
    QTest::newRow("corners of a block") << QList<qint64>{0, 63, 2, 3} << true << LcdBlock{0, 63, 2, 3} << false << false;
    QTest::newRow("X2 off the display") << QList<qint64>{0, 128, 0, 7} << false << LcdBlock{} << true << false;
    QTest::newRow("corners out of order") << QList<qint64>{9, 8, 0, 0} << true << LcdBlock{} << true << true;
}

void LcdPictureTest::dialogsStartFromThePagesCorners()
{
    QFETCH(QList<qint64>, corners);
    QFETCH(bool, text);
    QFETCH(LcdBlock, place);
    QFETCH(bool, whole);
    QFETCH(bool, fit);
    QTemporaryDir dir;
    PicturePage p({corners[0], corners[1], corners[2], corners[3]});
    p.dialogs.openPath = dir.filePath(QStringLiteral("p.png"));
    QVERIFY(oneColour({8, 8}, qRgb(0, 0, 0)).save(p.dialogs.openPath));
    p.dialogs.choice.reset(); // both dialogs cancelled
    (text ? p.pictures.cmdlcdloadtext() : p.pictures.cmdlcdloadpic())->click();
    const BlockChoice start = p.dialogs.startBlock;
    QCOMPARE(QList<int>({start.place.x1, start.place.x2, start.place.y1, start.place.y2}),
             QList<int>({place.x1, place.x2, place.y1, place.y2}));
    QCOMPARE(start.wholeDisplay, whole);
    QCOMPARE(start.fitToText, fit);
    // Cancelled: the page is as it was, and nothing was refused.
    QCOMPARE(p.host.messages, QStringList{});
    QCOMPARE(p.area->exactText(), QStringLiteral("keep me"));
    QCOMPARE(QList<qint64>(p.corners.begin(), p.corners.end()), corners);
}

void LcdPictureTest::loadedBlockBecomesThePagesCorners()
{
    // A first text on the page as it starts: the block it needs, from the
    // page's first corner.
    PicturePage p({0, 0, 0, 0});
    TextChoice text;
    text.text = QStringLiteral("SET 21");
    p.dialogs.text = text;
    p.pictures.cmdlcdloadtext()->click();
    const LcdBlock fitted{0, 34, 0, 0};
    QCOMPARE(p.corners, (std::array<std::int64_t, 4>{0, 34, 0, 0}));
    QCOMPARE(p.area->exactText(), blockHex(renderText(text, fitted).mono, fitted));
    board::Firmware firmware;
    firmware.feed("]m]00220000" + protocol::byteList(p.area->exactText()).toLatin1());
    firmware.silence();
    QCOMPARE(test::wrongPixels(firmware.display(), renderText(text, fitted).mono, fitted), 0);

    // A picture on the whole display, from a page set to a small block.
    QTemporaryDir dir;
    p.corners = {8, 23, 1, 2};
    p.dialogs.openPath = dir.filePath(QStringLiteral("p.png"));
    const QImage picture = test::checkered({128, 64});
    QVERIFY(picture.save(p.dialogs.openPath));
    p.dialogs.block = BlockChoice{LcdBlock{8, 23, 1, 2}, true, false};
    p.pictures.cmdlcdloadpic()->click();
    QCOMPARE(p.corners, (std::array<std::int64_t, 4>{0, 127, 0, 7}));
    QCOMPARE(p.area->exactText(), pictureHex(picture, kWholeDisplay));
    QCOMPARE(p.loads, 2);
}

void LcdPictureTest::textPreviewFollowsTheChoices()
{
    const LcdBlock block{0, 31, 0, 1};
    TextPreview preview(BlockChoice{block});
    const auto find = [&preview](const char* name) { return preview.findChild<QWidget*>(QString::fromLatin1(name)); };
    qobject_cast<QPlainTextEdit*>(find("text"))->setPlainText(QStringLiteral("ON"));
    qobject_cast<QComboBox*>(find("across"))->setCurrentIndex(2);
    qobject_cast<QCheckBox*>(find("inverted"))->click();
    const TextChoice choice = preview.choice();
    QCOMPARE(choice.text, QStringLiteral("ON"));
    QVERIFY(choice.across == Across::Right && choice.inverted);
    const QImage shown = qobject_cast<QLabel*>(find("realSize"))->pixmap().toImage();
    QCOMPARE(test::differingPixels(shown, renderText(choice, block).mono), 0);
    QVERIFY(!qobject_cast<QLabel*>(find("note"))->text().contains(QStringLiteral("does not fit")));
    const auto note = [&] { return qobject_cast<QLabel*>(find("note"))->text(); };
    const auto place = [&] { return qobject_cast<QLabel*>(find("blockPlace"))->text(); };
    qobject_cast<QPlainTextEdit*>(find("text"))->setPlainText(QStringLiteral("TOO LONG FOR IT"));
    QVERIFY2(note().contains(QStringLiteral("does not fit the block of 32 x 16")), qPrintable(note()));

    // Fitted, the block takes the text's 89 x 7 pixels at the right of the
    // corners, as the text is aligned, moved back onto the display; on the
    // whole display, at its right.
    qobject_cast<QCheckBox*>(find("fitToText"))->click();
    QCOMPARE(note(), QStringLiteral("The text is 89 x 7 pixels; the block is 89 x 8."));
    QVERIFY2(place().contains(QStringLiteral("columns 0 to 88, rows 0 to 0")), qPrintable(place()));
    qobject_cast<QCheckBox*>(find("wholeDisplay"))->click();
    QVERIFY2(place().contains(QStringLiteral("columns 39 to 127, rows 0 to 0")), qPrintable(place()));
    QCOMPARE(qobject_cast<QLabel*>(find("realSize"))->pixmap().size(), QSize(89, 8));
    QVERIFY(preview.answer().block.wholeDisplay && preview.answer().block.fitToText);

    qobject_cast<QPlainTextEdit*>(find("text"))->setPlainText(QString());
    QVERIFY2(note().startsWith(QStringLiteral("no text")), qPrintable(note()));

    // A corner moved past the other end takes it along.
    qobject_cast<QCheckBox*>(find("wholeDisplay"))->click();
    qobject_cast<QCheckBox*>(find("fitToText"))->click();
    qobject_cast<QSpinBox*>(find("blockX1"))->setValue(40);
    const LcdBlock moved = preview.answer().block.place;
    QCOMPARE(QList<int>({moved.x1, moved.x2, moved.y1, moved.y2}), QList<int>({40, 40, 0, 1}));
}

void LcdPictureTest::bitmapFontAmongTheFonts()
{
    const QString handmade = QStringLiteral(VARNIX_SOURCE_DIR "/fuzz/corpus/bdf/handmade.bdf");
    AnsweringDialogs dialogs;
    TextPreview preview(BlockChoice{kWholeDisplay, true, true}, nullptr, &dialogs);
    const auto find = [&preview](const char* name) { return preview.findChild<QWidget*>(QString::fromLatin1(name)); };
    auto* font = qobject_cast<QComboBox*>(find("font"));
    auto* scale = qobject_cast<QSpinBox*>(find("scale"));
    const auto note = [&] { return qobject_cast<QLabel*>(find("note"))->text(); };
    qobject_cast<QPlainTextEdit*>(find("text"))->setPlainText(QStringLiteral("jA-B>"));
    qobject_cast<QCheckBox*>(find("bold"))->click();
    const int fonts = font->count();
    QVERIFY(!scale->isEnabled());

    // "Bitmap font..." cancelled: the font before it stays.
    font->setCurrentIndex(1);
    QCOMPARE(dialogs.fontChoices, 1);
    QCOMPARE(font->currentText(), boardFontName());
    // Chosen: it stays among the fonts, its size and faces its own, and a
    // whole-number scale offered.
    dialogs.bitmapFont = handmade;
    font->setCurrentIndex(1);
    QCOMPARE(font->currentText(), QStringLiteral("handmade (bitmap)"));
    QVERIFY(!find("size")->isEnabled() && !find("bold")->isEnabled() && scale->isEnabled());
    scale->setValue(2);
    const TextChoice choice = preview.choice();
    QVERIFY(choice.font == handmade && choice.scale == 2 && !choice.bold);
    const LcdBlock block = chosenBlock({kWholeDisplay, true, true}, choice);
    QCOMPARE(block.pixelSize(), QSize(44, 16));
    QCOMPARE(test::differingPixels(qobject_cast<QLabel*>(find("realSize"))->pixmap().toImage(),
                                   renderText(choice, block).mono),
             0);
    QCOMPARE(note(), QStringLiteral("The text is 44 x 14 pixels; the block is 44 x 16; no glyph for 'B' in handmade."));
    // Another font, then the same file again: one entry for it.
    font->setCurrentIndex(0);
    QVERIFY(find("size")->isEnabled() && !scale->isEnabled());
    font->setCurrentIndex(1);
    QCOMPARE(font->count(), fonts + 1);
    QCOMPARE(preview.choice().font, handmade);

    // Qt's chooser lists the bitmap fonts fontconfig knows, by their files.
    BitmapFontChooser chooser;
    auto* faces = qobject_cast<QListWidget*>(chooser.findChild<QWidget*>(QStringLiteral("bitmapFaces")));
    const QList<QListWidgetItem*> fixed = faces->findItems(QStringLiteral("(6x13)"), Qt::MatchEndsWith);
    QCOMPARE(fixed.size(), 1);
    QCOMPARE(fixed[0]->text(), QStringLiteral("Fixed SemiCondensed, 13 pixels (6x13)"));
    QVERIFY(chooser.chosen().isEmpty());
    faces->setCurrentItem(fixed[0]);
    QCOMPARE(chooser.chosen(), QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz"));
}

void LcdPictureTest::textPreviewStartsFromATextsChoices()
{
    // The screen editor's "Text...": the dialog starts from the text's own
    // choices, a bitmap font among the fonts as "Bitmap font..." puts it, a
    // font that is missing shown and said to be, and OK gives back all.
    const auto made = [](const QString& font, auto change) {
        TextChoice choice;
        choice.text = QStringLiteral("Hi\n2");
        choice.font = font;
        change(choice);
        return choice;
    };
    struct Row {
        const char* name;
        TextChoice choice;
        QString shown;
        bool ownFaces; // size, bold and italic chosen, rather than the file's
        bool readable;
    };
    const Row rows[] = {
        {"the board's font, every choice", made(boardFontName(), [](TextChoice& c) {
             c.pixelSize = 16;
             c.bold = c.italic = c.inverted = true;
             c.across = Across::Centre;
             c.down = Down::Bottom;
             c.lineSpacing = 2;
             c.rotation = 90;
         }), boardFontName(), true, true},
        {"a bitmap font's file", made(QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz"),
                                      [](TextChoice& c) { c.scale = 3; }), "6x13 (bitmap)", false, true},
        {"a name fontconfig knows", made(QStringLiteral("6x13"), [](TextChoice& c) {
             c.pixelSize = 13;
             c.scale = 2;
         }), "6x13 (bitmap)", true, true},
        {"a file gone", made(QStringLiteral("/no/such/6x13.bdf"), [](TextChoice& c) { c.scale = 2; }),
         "6x13 (bitmap)", false, false},
        {"a family not installed", made(QStringLiteral("No Such Family"), [](TextChoice&) {}), "No Such Family", true,
         false},
    };
    for (const Row& row : rows) {
        AnsweringDialogs dialogs;
        TextPreview preview(BlockChoice{kWholeDisplay}, nullptr, &dialogs);
        preview.setChoice(row.choice);
        const auto find = [&preview](const char* name) { return preview.findChild<QWidget*>(QString::fromLatin1(name)); };
        QVERIFY2(test::textFields(preview.choice()) == test::textFields(row.choice), row.name);
        QCOMPARE(qobject_cast<QComboBox*>(find("font"))->currentText(), row.shown);
        QVERIFY2(find("size")->isEnabled() == row.ownFaces && find("bold")->isEnabled() == row.ownFaces
                     && find("scale")->isEnabled() == row.shown.endsWith(QStringLiteral("(bitmap)")),
                 row.name);
        QCOMPARE(preview.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled(), row.readable);
        const RenderedText rendered = renderText(row.choice, kWholeDisplay);
        if (row.readable)
            QCOMPARE(test::differingPixels(qobject_cast<QLabel*>(find("realSize"))->pixmap().toImage(), rendered.mono), 0);
        else
            QCOMPARE(qobject_cast<QLabel*>(find("note"))->text(), rendered.error);
        QCOMPARE(dialogs.fontChoices, 0);
    }
}

void LcdPictureTest::qtDialogsShowAndReturnTheChoice()
{
    // Each dialog is answered from the event loop it runs, and closed even
    // when it is not what was expected, so that nothing blocks.
    const QImage source = test::shaded({128, 64});
    const QImage fitted = fitToBlock(source, kWholeDisplay);
    QList<QImage> shown; // at start, then after the choice, then enlarged
    QTimer::singleShot(0, [&shown] {
        auto* dialog = qobject_cast<PicturePreview*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const auto picture = [dialog](const char* name) {
            return dialog->findChild<QLabel*>(QString::fromLatin1(name))->pixmap().toImage();
        };
        shown << picture("realSize");
        dialog->findChild<QRadioButton*>(QStringLiteral("diffusion"))->click();
        dialog->findChild<QCheckBox*>(QStringLiteral("inverted"))->click();
        dialog->findChild<QComboBox*>(QStringLiteral("rotation"))->setCurrentIndex(2);
        shown << picture("realSize") << picture("enlarged");
        dialog->accept();
    });
    QtPictureDialogs qt;
    const auto answer = qt.choosePicture(nullptr, {{source, 100}}, BlockChoice{});
    QVERIFY(answer && answer->choice.mono.dither == Dither::Diffuse && answer->choice.mono.inverted
            && answer->choice.rotation == 180 && !answer->asScript);
    QCOMPARE(shown.size(), 3);
    const QImage chosen = convertPicture(source, kWholeDisplay, answer->choice);
    QCOMPARE(test::differingPixels(shown[0], blackAndWhite(fitted, {})), 0);
    QCOMPARE(test::differingPixels(shown[1], chosen), 0);
    QCOMPARE(test::differingPixels(shown[2], chosen.scaled(chosen.size() * kEnlargement)), 0);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logo.png"));
    QTimer::singleShot(0, [&path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto* enlarged = dialog->findChild<QCheckBox*>(QStringLiteral("enlargedCopy")))
            enlarged->click();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
        if (dialog->isVisible())
            dialog->reject();
    });
    const SaveTarget target = qt.savePicture(nullptr);
    QCOMPARE(target.path, path);
    QVERIFY(target.enlarged);
    QCOMPARE(enlargedPath(target.path), dir.filePath(QStringLiteral("logo@4x.png")));
}

VARNIX_TEST_MAIN(LcdPictureTest)
#include "tst_lcdpicture.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures into a block with the image tools' options, and animations into
// scripts that the firmware plays.
#include "board/displaycheck.h"
#include "render/animation.h"
#include "script/script.h"
#include "support/testmain.h"
#include "transfer/picturedriver.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace varnix;
using namespace varnix::render;

using test::kWholeDisplay;
using test::oneColour;

namespace {

// A grey ramp from black at the left to white at the right, and its mean
// darkness.
QImage ramp(QSize size)
{
    QImage picture(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.scanLine(y)[x] = uchar(x * 255 / (size.width() - 1));
    return picture;
}

double darkness(const QImage& picture)
{
    return double(test::darkPixels(picture)) / (picture.width() * picture.height());
}

// A block with a filled square at the given place.
QImage squareAt(QPoint corner)
{
    QImage mono = whiteBlock(kWholeDisplay.pixelSize());
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            mono.setPixel(corner + QPoint(x, y), 1);
    return mono;
}
// An animated GIF of black-and-white frames of one size, each with its delay
// in hundredths of a second. Its LZW data is a clear code before every pixel
// code, so that no decoder's table grows: plain, if not small.
QByteArray gif(const QList<QImage>& frames, const QList<int>& centiseconds)
{
    QByteArray out("GIF89a");
    const auto word = [&out](int value) { out += char(value & 0xff); out += char(value >> 8); };
    const QSize size = frames.constFirst().size();
    word(size.width());
    word(size.height());
    out += QByteArray::fromHex("800000ffffff000000"); // two colours: white, black
    for (qsizetype f = 0; f < frames.size(); ++f) {
        out += QByteArray::fromHex("21f90400");
        word(centiseconds[f]);
        out += QByteArray::fromHex("00002c00000000"); // the image at 0, 0
        word(size.width());
        word(size.height());
        out += QByteArray::fromHex("0002");
        QByteArray data;
        int bits = 0, filled = 0;
        const auto code = [&](int value) {
            bits |= value << filled;
            filled += 3;
            while (filled >= 8) {
                data += char(bits & 0xff);
                bits >>= 8;
                filled -= 8;
            }
        };
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                code(4);
                code(test::dark(frames[f], x, y) ? 1 : 0);
            }
        code(5);
        if (filled > 0)
            data += char(bits & 0xff);
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const QByteArray piece = data.mid(at, 255);
            out += char(piece.size());
            out += piece;
        }
        out += '\0';
    }
    return out + ';';
}

} // namespace

class PictureBlockTest : public QObject
{
    Q_OBJECT
private slots:
    void dithersKeepTheGrey_data();
    void dithersKeepTheGrey();
    void thresholdLevel();
    void placement_data();
    void placement();
    void turnsAndFlips_data();
    void turnsAndFlips();
    void animationWritesOnlyWhatChanged();
    void numberedFilesInTheirOrderAndTheLimit();
    void gifFramesWithTheirDelays();
};

void PictureBlockTest::dithersKeepTheGrey_data()
{
    QTest::addColumn<int>("dither");
    QTest::addColumn<int>("grey"); // -1: the ramp
    for (const auto& [name, dither] : {std::pair{"diffusion", Dither::Diffuse}, std::pair{"Atkinson", Dither::Atkinson},
                                       std::pair{"ordered", Dither::Ordered}}) {
        QTest::addRow("%s, ramp", name) << int(dither) << -1;
        if (dither != Dither::Atkinson) // it gives up a quarter of the error, so flat greys drift
            for (int grey : {40, 128, 200})
                QTest::addRow("%s, grey %d", name, grey) << int(dither) << grey;
    }
}

void PictureBlockTest::dithersKeepTheGrey()
{
    QFETCH(int, dither);
    QFETCH(int, grey);
    const QImage picture = grey < 0 ? ramp({128, 64}) : oneColour({128, 64}, qRgb(grey, grey, grey));
    const double wanted = grey < 0 ? 0.5 : 1 - grey / 255.0;
    const double got = darkness(blackAndWhite(picture, {Dither(dither), false}));
    // The ordered dither has 16 steps of grey: half a step off at most.
    QVERIFY2(qAbs(got - wanted) < (Dither(dither) == Dither::Ordered ? 1 / 32.0 + 0.005 : 0.03), qPrintable(QStringLiteral("%1 dark, %2 wanted").arg(got).arg(wanted)));
}

void PictureBlockTest::thresholdLevel()
{
    const QImage grey = oneColour({8, 8}, qRgb(100, 100, 100));
    QCOMPARE(test::darkPixels(blackAndWhite(grey, {Dither::Threshold, false, 100})), 0);
    QCOMPARE(test::darkPixels(blackAndWhite(grey, {Dither::Threshold, false, 101})), 64);
    QCOMPARE(test::darkPixels(blackAndWhite(grey, {Dither::Threshold, true, 101})), 0);
    QCOMPARE(test::darkPixels(blackAndWhite(oneColour({8, 8}, qRgb(0, 0, 0)), {Dither::Threshold, false, 0})), 0);
}

void PictureBlockTest::placement_data()
{
    // A black picture placed on the whole display: how many pixels are dark.
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fit");
    QTest::addColumn<int>("dark");
    QTest::newRow("fit, wide: scaled down") << QSize(256, 64) << int(Fit::Fit) << 128 * 32;
    QTest::newRow("fit, small: its own size") << QSize(64, 32) << int(Fit::Fit) << 64 * 32;
    QTest::newRow("fill, wide: cropped") << QSize(256, 64) << int(Fit::Fill) << 8192;
    QTest::newRow("fill, small: scaled up") << QSize(64, 20) << int(Fit::Fill) << 8192;
    QTest::newRow("1:1, small") << QSize(64, 20) << int(Fit::Actual) << 64 * 20;
    QTest::newRow("1:1, large: cropped") << QSize(300, 10) << int(Fit::Actual) << 128 * 10;
}

void PictureBlockTest::placement()
{
    QFETCH(QSize, size);
    QFETCH(int, fit);
    QFETCH(int, dark);
    PictureChoice choice;
    choice.fit = Fit(fit);
    QCOMPARE(test::darkPixels(convertPicture(oneColour(size, qRgb(0, 0, 0)), kWholeDisplay, choice)), dark);
}

void PictureBlockTest::turnsAndFlips_data()
{
    // A 4 x 2 picture with its one dark pixel at the top left: where it goes.
    QTest::addColumn<int>("rotation");
    QTest::addColumn<bool>("across");
    QTest::addColumn<bool>("upsideDown");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("dark");
    QTest::newRow("as it is") << 0 << false << false << QSize(4, 2) << QPoint(0, 0);
    QTest::newRow("90") << 90 << false << false << QSize(2, 4) << QPoint(1, 0);
    QTest::newRow("180") << 180 << false << false << QSize(4, 2) << QPoint(3, 1);
    QTest::newRow("270") << 270 << false << false << QSize(2, 4) << QPoint(0, 3);
    QTest::newRow("flipped across") << 0 << true << false << QSize(4, 2) << QPoint(3, 0);
    QTest::newRow("upside down") << 0 << false << true << QSize(4, 2) << QPoint(0, 1);
    QTest::newRow("90, then across") << 90 << true << false << QSize(2, 4) << QPoint(0, 0);
}

void PictureBlockTest::turnsAndFlips()
{
    QFETCH(int, rotation);
    QFETCH(bool, across);
    QFETCH(bool, upsideDown);
    QFETCH(QSize, size);
    QFETCH(QPoint, dark);
    QImage picture = oneColour({4, 2}, qRgb(255, 255, 255));
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    const QImage out = turned(picture, rotation, across, upsideDown);
    QCOMPARE(out.size(), size);
    QCOMPARE(test::darkPixels(out), 1);
    QVERIFY(test::dark(out, dark.x(), dark.y()));
}

void PictureBlockTest::animationWritesOnlyWhatChanged()
{
    // A square that moves right, then stands still.
    const QList<QImage> frames{squareAt({0, 0}), squareAt({20, 4}), squareAt({20, 4})};
    const AnimationScript animation = animationScript(frames, {100, 250, 40}, kWholeDisplay, 56000, "square");
    QCOMPARE(animation.writes.size(), 3);
    QCOMPARE(animation.writes[0].bytes, QRect(0, 0, 128, 8));
    // Columns 0 to 31 changed, in rows of bytes 0 to 1 (pixels 0 to 15).
    QCOMPARE(animation.writes[1].bytes, QRect(0, 0, 32, 2));
    QVERIFY(animation.writes[2].bytes.isEmpty() && animation.writes[2].frame.isEmpty());
    // A whole display takes over half a second at 56000 baud: no wait after it.
    QVERIFY(animation.writes[0].lineMs > 500);
    QVERIFY(animation.lineMs < animation.wholeMs);

    const auto read = script::readScript(animation.text.toUtf8());
    QVERIFY(std::holds_alternative<script::Script>(read));
    const script::Script& script = std::get<script::Script>(read);
    QCOMPARE(script.frameCount(), 2);
    QStringList waits;
    for (const script::Step& step : script.steps)
        if (step.kind == script::Step::Kind::Wait)
            waits << QString::number(step.milliseconds);
    QCOMPARE(waits, (QStringList{QString::number(250 - animation.writes[1].lineMs), "40"}));
    // On the firmware the last frame is what the display shows.
    const board::Firmware played = board::drawn(script.frames());
    QCOMPARE(played.errors(), 0);
    QCOMPARE(test::wrongPixels(played.display(), frames.last(), kWholeDisplay), 0);
}

void PictureBlockTest::numberedFilesInTheirOrderAndTheLimit()
{
    QTemporaryDir dir;
    QStringList paths;
    for (int number : {10, 2, 1}) {
        paths << dir.filePath(QStringLiteral("frame%1.png").arg(number));
        QVERIFY(oneColour({number, 1}, qRgb(0, 0, 0)).save(paths.last()));
    }
    const SourceFrames read = readFrames(paths);
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.frames.size(), 3);
    QCOMPARE(read.frames[0].image.width(), 1);
    QCOMPARE(read.frames[1].image.width(), 2);
    QCOMPARE(read.frames[2].image.width(), 10);

    paths.clear();
    for (int i = 0; i <= kMostFrames; ++i)
        paths << dir.filePath(QStringLiteral("f%1.png").arg(i));
    const SourceFrames tooMany = readFrames(paths);
    QVERIFY(tooMany.frames.isEmpty());
    QVERIFY2(tooMany.error.contains(QStringLiteral("more than 1,000 frames")), qPrintable(tooMany.error));
}

void PictureBlockTest::gifFramesWithTheirDelays()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("moving.gif"));
    QList<QImage> frames;
    for (int i = 0; i < 3; ++i) {
        QImage frame = oneColour({16, 8}, qRgb(255, 255, 255));
        for (int y = 0; y < 8; ++y)
            frame.setPixel(i * 5, y, qRgb(0, 0, 0));
        frames << frame;
    }
    const auto writeGif = [&path](const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    // A delay of none is shown as browsers show it, 100 ms.
    QVERIFY(writeGif(gif(frames, {5, 20, 0})));
    const SourceFrames read = readFrames({path});
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.frames.size(), 3);
    QList<int> delays;
    for (qsizetype i = 0; i < 3; ++i) {
        delays << read.frames[i].delayMs;
        QCOMPARE(test::differingPixels(read.frames[i].image, frames[i]), 0);
    }
    QCOMPARE(delays, (QList<int>{50, 200, 100}));

    QVERIFY(writeGif(gif(QList<QImage>(kMostFrames + 1, frames[0]), QList<int>(kMostFrames + 1, 1))));
    const SourceFrames tooMany = readFrames({path});
    QVERIFY(tooMany.frames.isEmpty());
    QVERIFY2(tooMany.error.endsWith(QStringLiteral("moving.gif has more than 1,000 frames: animations of up to 1,000 "
                                                   "frames are made into scripts.")),
             qPrintable(tooMany.error));
}

VARNIX_TEST_MAIN(PictureBlockTest)
#include "tst_pictureblock.moc"

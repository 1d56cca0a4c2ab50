// SPDX-License-Identifier: GPL-3.0-or-later
// A script's screen lines: the pictures they take and those refused before
// anything is sent; runs against a virtual board that fail on a dot the
// board shows otherwise, mark it in the difference picture, and pass once
// --update-screens has made the picture.
#include "app/cli/commandline.h"
#include "board/displaycheck.h"
#include "board/virtualboard.h"
#include "screens/screens.h"
#include "support/behind.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QtEndian>

using namespace varnix;

namespace {

const QStringList kCircle{QStringLiteral("]c]402014")};

QByteArray pngOf(const QImage& image, const char* format = "png")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A PNG's signature and header chunk claiming the size, and nothing after.
QByteArray pngHeader(quint32 width, quint32 height)
{
    QByteArray bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    QByteArray numbers(8, '\0');
    qToBigEndian(width, numbers.data());
    qToBigEndian(height, numbers.data() + 4);
    return bytes + numbers + QByteArray("\x01\x00\x00\x00\x00\0\0\0\0", 9);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Ran {
    int code = -1;
    QString out;
    QString err;
};

// varnix --run SCRIPT --port BOARD [--update-screens], in the folder.
Ran run(const QString& script, const board::VirtualBoard& board, bool update = false)
{
    Command command;
    command.kind = Command::Kind::Run;
    command.script = script;
    command.device = board.devicePath();
    command.updateScreens = update;
    Ran ran;
    QTextStream out(&ran.out), err(&ran.err);
    ran.code = runScriptCommand(command, out, err);
    return ran;
}

// The dots a difference picture marks, each square of it one colour.
QList<QPoint> marked(const QImage& picture, const board::Display& expected)
{
    QList<QPoint> dots;
    for (int y = 0; y < board::Display::height; ++y) {
        for (int x = 0; x < board::Display::width; ++x) {
            const QRect square(x * screens::kDifferenceScale, y * screens::kDifferenceScale,
                               screens::kDifferenceScale, screens::kDifferenceScale);
            const QRgb colour = picture.pixel(square.topLeft());
            for (int i = 0; i < square.width() * square.height(); ++i)
                if (picture.pixel(square.x() + i % square.width(), square.y() + i / square.width()) != colour)
                    return {QPoint(-1, -1)};
            const QColor plain = expected.pixel(x, y) ? screens::differenceColours().on
                                                      : screens::differenceColours().background;
            if (colour != plain.rgb())
                dots << QPoint(x, y);
        }
    }
    return dots;
}

} // namespace

class ScreensTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void picturesTakenOrRefused_data();
    void picturesTakenOrRefused();
    void badPicturesAreRefusedBeforeAnythingIsSent_data();
    void badPicturesAreRefusedBeforeAnythingIsSent();
    void aDotBehindTheProgramsBackFailsTheLine();
    void updateMakesTheMissingPictureAndTheNextRunPasses();
    void theExampleFailsOnAChangedDotAndPassesOnceUpdated();

private:
    // Each test in a folder of its own, which a run's pictures go into.
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_was;
};

void ScreensTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_was = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void ScreensTest::cleanup()
{
    QDir::setCurrent(m_was);
    m_dir.reset();
}

void ScreensTest::picturesTakenOrRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("refusal");   // its end; empty when taken
    QTest::addColumn<bool>("ruleNamed");
    QTest::addColumn<QList<QPoint>>("set");  // dots set, when taken

    QImage greys(128, 64, QImage::Format_ARGB32);
    greys.fill(qRgb(127, 127, 127));                 // just below the middle: set
    greys.setPixel(3, 4, qRgb(128, 128, 128));       // the middle: clear
    greys.setPixel(5, 6, qRgba(0, 0, 0, 0));         // transparent: white
    QList<QPoint> allButTwo;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            if (QPoint(x, y) != QPoint(3, 4) && QPoint(x, y) != QPoint(5, 6))
                allButTwo << QPoint(x, y);
    QImage mono = render::displayPicture(board::drawn({"]d]0102", "]d]7f3f"}).display());
    QTest::newRow("one bit a dot") << pngOf(mono) << "" << false << QList<QPoint>{{1, 2}, {127, 63}};
    QTest::newRow("greys, made one bit as Load Picture does") << pngOf(greys) << "" << true << allButTwo;
    QTest::newRow("not there") << QByteArray() << "" << false << QList<QPoint>();
    QTest::newRow("not a PNG") << pngOf(mono.convertToFormat(QImage::Format_RGB32), "bmp") << "is not a PNG picture"
                               << false << QList<QPoint>();
    QTest::newRow("wrong size") << pngOf(mono.copy(0, 0, 64, 64))
                                << "is 64 x 64 pixels; a screen line's picture is the display's 128 x 64" << false
                                << QList<QPoint>();
    QTest::newRow("4 GB in its header") << pngHeader(65536, 65536) << "is 65536 x 65536 pixels; a screen line's "
                                                                      "picture is the display's 128 x 64"
                                        << false << QList<QPoint>();
    QTest::newRow("a damaged header") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDX", 16) + QByteArray(40, 'x')
                                      << "is not a PNG picture: its header is damaged" << false << QList<QPoint>();
    QTest::newRow("unreadable: cut short") << pngOf(mono).left(60) << "cannot be read" << false << QList<QPoint>();
    QTest::newRow("a folder") << QByteArray("folder") << "is a folder, not a picture" << false << QList<QPoint>();
}

void ScreensTest::picturesTakenOrRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, refusal);
    QFETCH(bool, ruleNamed);
    QFETCH(QList<QPoint>, set);
    const QString path = m_dir->filePath(QStringLiteral("picture.png"));
    if (file == "folder")
        QVERIFY(QDir().mkpath(path));
    else if (!file.isEmpty())
        QVERIFY(writeFile(path, file));

    const auto read = screens::readPicture(path);
    if (!refusal.isEmpty()) {
        QVERIFY(std::holds_alternative<QString>(read));
        const QString why = std::get<QString>(read);
        QVERIFY2(why.startsWith(path) && why.contains(refusal), qPrintable(why));
        return;
    }
    const auto* taken = std::get_if<screens::Picture>(&read);
    QVERIFY2(taken, qPrintable(std::get_if<QString>(&read) ? *std::get_if<QString>(&read) : QString()));
    const screens::Picture& picture = *taken;
    QCOMPARE(picture.display.has_value(), !file.isEmpty());
    QCOMPARE(picture.rule.contains(QStringLiteral("below 128")), ruleNamed);
    QCOMPARE(picture.rule.isEmpty(), !ruleNamed);
    if (!picture.display)
        return;
    QList<QPoint> dots;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            if (picture.display->pixel(x, y))
                dots << QPoint(x, y);
    QCOMPARE(dots, set);
}

void ScreensTest::badPicturesAreRefusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("said");
    QTest::newRow("not a PNG") << QByteArray("]k\nscreen notes.png\n") << false
                               << "%1/test.vnx: line 2: %1/notes.png is not a PNG picture";
    QTest::newRow("its folder cannot be written")
        << QByteArray("]k\n\nscreen notes.png/screen.png\n") << true
        << "%1/test.vnx: line 3: screen.png cannot be made: %1/notes.png is not a folder";
}

void ScreensTest::badPicturesAreRefusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, update);
    QFETCH(QString, said);
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("notes.png")), "not a picture"));
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    const Ran ran = run(test::writeScriptFile(*m_dir, script), board, update);
    QCOMPARE(ran.code, 2);
    QCOMPARE(ran.err.trimmed(), QStringLiteral("varnix: ") + said.arg(m_dir->path()));
    QTest::qWait(50);
    QCOMPARE(board.received(), QByteArray());
}

void ScreensTest::aDotBehindTheProgramsBackFailsTheLine()
{
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    QVERIFY(test::writeBehind(board, "]d]0506"));
    const board::Display circle = board::drawn(kCircle).display();
    QVERIFY(screens::writePicture(circle, m_dir->filePath(QStringLiteral("circle.png"))).isEmpty());

    const Ran ran = run(test::writeScriptFile(*m_dir, "]c]402014\nscreen circle.png\n]d]0101\n"), board);
    QCOMPARE(ran.code, 1);
    QVERIFY2(ran.out.contains(QStringLiteral("2: screen circle.png -> 1 pixel differs (first at 5, 6)\n")),
             qPrintable(ran.out));
    QCOMPARE(ran.err, QStringLiteral("varnix: test.vnx line 2: 1 pixel differs (first at 5, 6)\n"
                                     "varnix: the board's display is in circle-board.png, the difference in "
                                     "circle-diff.png\n"));
    // The run ended at the line.
    QCOMPARE(board.received(), QByteArray("]d]0506]c]402014]n]007f0007"));
    // What the board showed, as a picture the line takes, and the dot marked.
    const auto shown = screens::readPicture(QStringLiteral("circle-board.png"));
    QCOMPARE(std::get<screens::Picture>(shown).display, std::optional(board.firmware().display()));
    const QImage difference(QStringLiteral("circle-diff.png"));
    QCOMPARE(difference.size(), QSize(128, 64) * screens::kDifferenceScale);
    QCOMPARE(marked(difference, circle), QList<QPoint>{QPoint(5, 6)});
    QCOMPARE(difference.pixel(5 * screens::kDifferenceScale, 6 * screens::kDifferenceScale), lcd::previewOn.rgb());
}

void ScreensTest::updateMakesTheMissingPictureAndTheNextRunPasses()
{
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    const QString script = test::writeScriptFile(*m_dir, "]k\n]c]402014\nscreen shots/circle.png\n");
    const QString picture = m_dir->filePath(QStringLiteral("shots/circle.png"));

    Ran ran = run(script, board);
    QCOMPARE(ran.code, 1);
    QVERIFY2(ran.err.startsWith(QStringLiteral("varnix: test.vnx line 3: circle.png is not there; run again with "
                                               "--update-screens to make it from what the board shows\n"
                                               "varnix: the board's display is in circle-board.png\n")),
             qPrintable(ran.err));
    QVERIFY(!QFile::exists(picture));

    ran = run(script, board, true);
    QCOMPARE(ran.code, 0);
    QVERIFY2(ran.out.contains(QStringLiteral("3: screen shots/circle.png -> wrote %1 from the board's display\n")
                                  .arg(picture)),
             qPrintable(ran.out));
    QCOMPARE(std::get<screens::Picture>(screens::readPicture(picture)).display,
             std::optional(board::drawn(kCircle).display()));

    ran = run(script, board);
    QCOMPARE(ran.code, 0);
    QVERIFY2(ran.out.contains(QStringLiteral("3: screen shots/circle.png -> no pixel differs\n")), qPrintable(ran.out));
}

// docs/scripts.md: its example fails on a dot drawn besides the approved
// screen, shows it in the difference picture, and passes once
// --update-screens has made the picture from the board.
void ScreensTest::theExampleFailsOnAChangedDotAndPassesOnceUpdated()
{
    QFile example(QStringLiteral(VARNIX_SOURCE_DIR "/docs/examples/screen.vnx"));
    QVERIFY(example.open(QIODevice::ReadOnly));
    QByteArray changed = example.readAll();
    QVERIFY(changed.contains("\nscreen screen.png\n"));
    changed.replace("\nscreen screen.png\n", "\n]d]0506\nscreen screen.png\n");
    // Unpaced, three runs take a fraction of a second.
    QVERIFY(changed.contains("\ndelay 20\n"));
    changed.replace("\ndelay 20\n", "\ndelay 0\n");
    const QString script = m_dir->filePath(QStringLiteral("screen.vnx"));
    QVERIFY(writeFile(script, changed));
    QVERIFY(QFile::copy(QStringLiteral(VARNIX_SOURCE_DIR "/docs/examples/screen.png"),
                        m_dir->filePath(QStringLiteral("screen.png"))));
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));

    Ran ran = run(script, board);
    QCOMPARE(ran.code, 1);
    QVERIFY2(ran.err.contains(QStringLiteral("1 pixel differs (first at 5, 6)")), qPrintable(ran.err));
    const auto approved = std::get<screens::Picture>(screens::readPicture(QStringLiteral("screen.png"))).display;
    QVERIFY(approved);
    QCOMPARE(marked(QImage(QStringLiteral("screen-diff.png")), *approved), QList<QPoint>{QPoint(5, 6)});

    ran = run(script, board, true);
    QCOMPARE(ran.code, 0);
    QVERIFY2(ran.out.contains(QStringLiteral("wrote ")), qPrintable(ran.out));
    ran = run(script, board);
    QCOMPARE(ran.code, 0);
}

VARNIX_TEST_MAIN(ScreensTest)
#include "tst_screens.moc"

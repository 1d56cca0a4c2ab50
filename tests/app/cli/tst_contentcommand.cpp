// SPDX-License-Identifier: GPL-3.0-or-later
// varnix --text and --picture: the program itself, started without a
// display, writes the block as a PNG and as a script.
#include "app/cli/commandline.h"
#include "board/displaycheck.h"
#include "board/virtualboard.h"
#include "render/text.h"
#include "script/script.h"
#include "support/hostrun.h"
#include "support/testmain.h"
#include "transfer/picturedriver.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace varnix;

namespace {

// The program with no display server to reach; its exit code.
int runProgram(const QStringList& arguments, QByteArray* errors = nullptr)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VARNIX_PROGRAM), arguments);
    if (!program.waitForFinished(60000))
        return -1;
    if (errors)
        *errors = program.readAllStandardError();
    return program.exitCode();
}

script::Script scriptIn(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const auto read = script::readScript(file.readAll());
    return std::holds_alternative<script::Script>(read) ? std::get<script::Script>(read) : script::Script{};
}

} // namespace

class ContentCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void textWithoutADisplay();
    void numberedPicturesBecomeAnAnimation();
    void bitmapTextAsArduinoCodeInSimavr();
    void refusals_data();
    void refusals();
};

void ContentCommandTest::textWithoutADisplay()
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("t.png"));
    const QString vnx = dir.filePath(QStringLiteral("t.vnx"));
    QCOMPARE(runProgram({"--text", "SET 21", "--align", "right,bottom", "--block", "64,127,4,7", "--invert", "--png",
                         png, "--scale", "2", "--script", vnx}),
             0);
    render::TextChoice choice;
    choice.text = QStringLiteral("SET 21");
    choice.across = render::Across::Right;
    choice.down = render::Down::Bottom;
    choice.inverted = true;
    const render::LcdBlock block{64, 127, 4, 7};
    const QImage expected = render::renderText(choice, block).mono;
    QCOMPARE(test::differingPixels(QImage(png), expected.scaled(128, 64)), 0);
    // The script writes that block on the firmware and nothing else.
    const script::Script script = scriptIn(vnx);
    QCOMPARE(script.frameCount(), 1);
    QCOMPARE(test::wrongPixels(board::drawn(script.frames()).display(), expected, block), 0);

    // Fitted to the text, as the LCD page's dialog does: the bytes it needs
    // and no more, at the right of the display.
    QCOMPARE(runProgram({"--text", "SET 21", "--align", "right", "--block", "whole,fit", "--script", vnx}), 0);
    const QStringList fitted = scriptIn(vnx).frames();
    QCOMPARE(fitted.size(), 1);
    QVERIFY2(fitted[0].startsWith(QStringLiteral("]m]5d7f0000]")) && fitted[0].count(u']') == 2 + 35,
             qPrintable(fitted[0]));

    QByteArray errors;
    QCOMPARE(runProgram({"--text", "x", "--font", "No Such Font", "--png", png}, &errors), 2);
    QVERIFY2(errors.contains("The font \"No Such Font\" is not installed."), errors.constData());
}

void ContentCommandTest::numberedPicturesBecomeAnAnimation()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("frames")));
    QList<QImage> frames;
    for (int i = 1; i <= 3; ++i) {
        QImage frame(128, 64, QImage::Format_RGB32);
        frame.fill(Qt::white);
        for (int y = 8 * i; y < 8 * i + 8; ++y)
            for (int x = 0; x < 16 * i; ++x)
                frame.setPixel(x, y, qRgb(0, 0, 0));
        QVERIFY(frame.save(dir.filePath(QStringLiteral("frames/bar%1.png").arg(i))));
        frames << frame;
    }
    const QString vnx = dir.filePath(QStringLiteral("bar.vnx"));
    QCOMPARE(runProgram({"--picture", dir.filePath(QStringLiteral("frames")), "--baud", "56000", "--script", vnx}), 0);
    const script::Script script = scriptIn(vnx);
    const QStringList written = script.frames();
    QCOMPARE(written.size(), 3);
    // The first whole; then rows 1 to 2 over 32 columns, rows 2 to 3 over 48.
    QVERIFY(written[0].startsWith(QStringLiteral("]m]007f0007]")));
    QVERIFY(written[1].startsWith(QStringLiteral("]m]001f0102]")));
    QVERIFY(written[2].startsWith(QStringLiteral("]m]002f0203]")));
    QCOMPARE(test::wrongPixels(board::drawn(written).display(), frames.last(), render::LcdBlock{}), 0);
}

// "Hello, board" in 6x13, by the name fontconfig knows it by, made into an
// Arduino sketch that an Uno runs in simavr against a virtual board: the
// board shows the text's dots. A character the font lacks is named, and a
// damaged font refused naming its line.
void ContentCommandTest::bitmapTextAsArduinoCodeInSimavr()
{
    QTemporaryDir dir;
    QByteArray errors;
    const QString vnx = dir.filePath(QStringLiteral("hello.vnx"));
    const QString bad = dir.filePath(QStringLiteral("bad.bdf"));
    QFile badFont(bad);
    QVERIFY(badFont.open(QIODevice::WriteOnly));
    badFont.write("STARTFONT 2.1\nCHARS 1\nSTARTCHAR A\nENCODING 65\nBBX 3 -2 0 0\n");
    badFont.close();
    QCOMPARE(runProgram({"--text", "A", "--font", bad, "--script", vnx}, &errors), 2);
    QVERIFY2(errors.contains("varnix: bad.bdf, line 5: BBX -2: a size from 0 to 512."), errors.constData());
    QCOMPARE(runProgram({"--text", "\u4e2d", "--font", "6x13", "--script", vnx}, &errors), 0);
    QVERIFY2(errors.contains("varnix: no glyph for '\u4e2d' in 6x13"), errors.constData());

    if (const QString why = test::HostRun::missing(hostcode::Language::Arduino); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString sketch = dir.filePath(QStringLiteral("hello.ino"));
    QCOMPARE(runProgram({"--text", "Hello, board", "--font", "6x13", "--align", "centre,middle", "--block", "whole,fit",
                         "--script", vnx, "--export", "--lang", "arduino", "-o", sketch}),
             0);
    QFile code(sketch);
    QVERIFY(code.open(QIODevice::ReadOnly));
    test::HostRun host;
    QVERIFY2(host.build(QString::fromUtf8(code.readAll()), hostcode::Language::Arduino, dir.path()),
             qPrintable(host.error()));
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    const test::Ended ended = host.run(board.devicePath());
    QVERIFY2(ended.code == 0, ended.err.constData());

    render::TextChoice choice;
    choice.text = QStringLiteral("Hello, board");
    choice.font = QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz");
    choice.across = render::Across::Centre;
    choice.down = render::Down::Middle;
    const render::LcdBlock block = render::chosenBlock({render::LcdBlock{}, true, true}, choice);
    const QImage expected = render::renderText(choice, block).mono;
    QVERIFY(test::darkPixels(expected) > 100);
    QCOMPARE(test::wrongPixels(board.firmware().display(), expected, block), 0);
}

void ContentCommandTest::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("nothing to write") << QStringList{"--text", "a"}
                                      << "--text and --picture need --png OUT.png, --script OUT.vnx or --export";
    QTest::newRow("an option alone") << QStringList{"--dither", "ordered"} << "--dither goes with --text or --picture";
    QTest::newRow("block off the display")
        << QStringList{"--text", "a", "--png", "a.png", "--block", "0,128,0,7"}
        << "--block takes X1,X2,Y1,Y2 (columns from 0 to 127 and rows from 0 to 7, each pair in order) or whole, "
           "either followed by fit for the smallest block the text needs there, not \"0,128,0,7\"";
    QTest::newRow("block both whole and corners")
        << QStringList{"--text", "a", "--png", "a.png", "--block", "whole,0,1,0,1"}
        << "--block takes X1,X2,Y1,Y2 (columns from 0 to 127 and rows from 0 to 7, each pair in order) or whole, "
           "either followed by fit for the smallest block the text needs there, not \"whole,0,1,0,1\"";
    QTest::newRow("fit with a picture") << QStringList{"--picture", "a.png", "--block", "fit", "--png", "b.png"}
                                        << "--block fit goes with --text";
    QTest::newRow("bitmap font scale") << QStringList{"--text", "a", "--png", "a.png", "--font-scale", "9"}
                                       << "--font-scale takes a whole number from 1 to 8, not \"9\"";
    QTest::newRow("rotation") << QStringList{"--picture", "a.gif", "--png", "a.png", "--rotate", "45"}
                              << "--rotate takes 0, 90, 180 or 270, not \"45\"";
    QTest::newRow("two sources") << QStringList{"--text", "a", "--picture", "b.png"}
                                 << "give one of --run, --preview, --text and --picture, once";
    QTest::newRow("png with a run") << QStringList{"--run", "a", "--png", "b"}
                                    << "--png and --scale go with --preview, --decode, --text or --picture";
}

void ContentCommandTest::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, refusal);
    const Command command = parseCommandLine(arguments);
    QCOMPARE(command.refusal, refusal);
    QCOMPARE(command.kind, Command::Kind::Refused);
}

VARNIX_TEST_MAIN(ContentCommandTest)
#include "tst_contentcommand.moc"

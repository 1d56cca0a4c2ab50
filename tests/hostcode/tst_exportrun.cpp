// SPDX-License-Identifier: GPL-3.0-or-later
// The exported code built with the host's own tools and run against a
// virtual board: the board takes the bytes a run of the script sends, with
// the pauses in the same places, and ends up showing what the script draws.
#include "app/cli/commandline.h"
#include "board/displaycheck.h"
#include "board/virtualboard.h"
#include "hostcode/core/hostcode.h"
#include "screens/screens.h"
#include "support/behind.h"
#include "support/hostrun.h"
#include "support/pty.h"
#include "support/scriptstandins.h"
#include "support/ser2net.h"
#include "support/testmain.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>


using namespace varnix;
using hostcode::Language;
using std::chrono::milliseconds;

namespace {

constexpr int kExportDelay = 80;

// Every kind of line: frames paced and not, a block, a text that needs
// escaping in every language (quotes, a backslash, "??=", a NUL, 0xff),
// sent with the prompt off, a wait and an expect met, and a screen line
// whose picture (every.png) the board shows.
const QByteArray kEveryKind = "# every kind of line\n"
                           "]k\n"
                           "delay 80\n"
                           "]c]402014\n"
                           "ready off\n"
                           "\\x22\\x5c?\?=\\x00\\xff'\\x0d\n"
                           "ready on\n"
                           "]m]10190101]01]02]04]08]10]20]40]80]ff]7e\n"
                           "wait 100\n"
                           "expect Ready: 1\n"
                           "delay 0\n"
                           "]r]007f003f]1\n"
                           "screen every.png\n";

script::Script readText(const QByteArray& text)
{
    return std::get<script::Script>(script::readScript(text));
}

// Where each frame begins in the bytes the board takes, and its delay.
struct FrameAt {
    qsizetype start;
    int delay;
};

QList<FrameAt> frameStarts(const script::Script& script)
{
    QList<FrameAt> out;
    qsizetype at = 0;
    int delay = script::kDefaultDelay;
    for (const script::Step& step : script.steps) {
        if (step.kind == script::Step::Kind::Delay)
            delay = step.milliseconds;
        if (!step.frame().isEmpty()) {
            out.append({at, delay});
            at += step.frame().size();
        }
    }
    return out;
}

// Within frames (a frame's first byte waits on the answer to the one
// before), the bytes that came after a pause: every "]" of a paced frame and
// nothing else. A busy machine may hold a byte back, which shortens the gap
// after it and lengthens the one before: two such misjudged gaps are let
// pass; pauses missing, misplaced or of another length are never so few.
QString pacingFault(const std::vector<test::Pty::Arrival>& arrivals, const QList<FrameAt>& frames)
{
    QStringList misjudged;
    for (qsizetype f = 0; f < frames.size(); ++f) {
        const qsizetype end = f + 1 < frames.size() ? frames[f + 1].start : qsizetype(arrivals.size());
        for (qsizetype i = frames[f].start + 1; i < end; ++i) {
            const auto gap = arrivals[i].at - arrivals[i - 1].at;
            const bool paced = frames[f].delay > 0 && arrivals[i].byte == ']';
            if (paced != (gap >= milliseconds(kExportDelay / 2)))
                misjudged << QStringLiteral("byte %1 (\"%2\") came %3 ms after the one before")
                                 .arg(i)
                                 .arg(QLatin1Char(arrivals[i].byte))
                                 .arg(std::chrono::duration<double, std::milli>(gap).count(), 0, 'f', 1);
        }
    }
    return misjudged.size() > 2 ? misjudged.join(QStringLiteral("; ")) : QString();
}

// The script's screen lines take their pictures from the folder.
hostcode::Source sourceOfText(const QByteArray& text, const QString& folder)
{
    hostcode::Source source;
    source.script = readText(text);
    source.script.folder = folder;
    source.madeFrom = QStringLiteral("the script test.vnx");
    source.screens = std::get<QHash<int, QByteArray>>(screens::exportedPictures(source.script));
    return source;
}

#define REQUIRE_TOOLCHAIN(language)                                                                           \
    if (const QString why = test::HostRun::missing(language); !why.isEmpty())                                 \
    QSKIP(qPrintable(why))

} // namespace

class ExportRunTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sendsWhatARunSends_data();
    void sendsWhatARunSends();
    void aFailureEndsTheSendAndSaysWhere_data();
    void aFailureEndsTheSendAndSaysWhere();
    void aPictureBecomesCodeInOneStep();

private:
    QByteArray m_runBytes;
    // The screen lines' pictures: every.png, what kEveryKind draws, and
    // circle.png.
    QTemporaryDir m_pictures;
};

// What `varnix --run` puts on the line, the reference for every export.
void ExportRunTest::initTestCase()
{
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    test::Pty line;
    QVERIFY(line.forwardTo(board.devicePath()));
    line.startReading();
    QVERIFY(screens::writePicture(board::drawn(readText(kEveryKind).frames()).display(),
                                  m_pictures.filePath(QStringLiteral("every.png")))
                .isEmpty());
    QVERIFY(screens::writePicture(board::drawn({"]c]402014"}).display(), m_pictures.filePath(QStringLiteral("circle.png")))
                .isEmpty());
    Command command;
    command.kind = Command::Kind::Run;
    command.script = test::writeScriptFile(m_pictures, kEveryKind);
    command.device = line.slavePath();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QCOMPARE(runScriptCommand(command, outStream, errStream), 0);
    m_runBytes = line.received();
    const QString fault = pacingFault(line.arrivals(), frameStarts(readText(kEveryKind)));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void ExportRunTest::sendsWhatARunSends_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<bool>("network");
    QTest::newRow("C") << "c" << false;
    QTest::newRow("Python") << "python" << false;
    QTest::newRow("Python through rfc2217") << "python" << true;
    QTest::newRow("Arduino in simavr") << "arduino" << false;
}

void ExportRunTest::sendsWhatARunSends()
{
    QFETCH(QString, lang);
    QFETCH(bool, network);
    const Language language = *hostcode::languageNamed(lang);
    REQUIRE_TOOLCHAIN(language);
    if (network && !test::Ser2net::installed())
        QSKIP("ser2net is not installed");
    QTemporaryDir dir;
    test::HostRun host;
    const hostcode::Code code =
        hostcode::generate(sourceOfText(kEveryKind, m_pictures.path()), language, QStringLiteral("every_kind"));
    QVERIFY2(host.build(code.text, language, dir.path()), qPrintable(host.error()));

    // A line before the board that times each byte as it passes.
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    test::Pty line;
    // At the line's own pace for the simulated Uno: simavr's bridge to its
    // serial port stalls on a long answer that comes all at once.
    QVERIFY(line.forwardTo(board.devicePath(), language == Language::Arduino ? 19200 / 10 : 0));
    line.startReading();
    test::Ser2net server(line.slavePath());
    if (network)
        QVERIFY2(server.start(), qPrintable(server.error()));
    const test::Ended ended = host.run(network ? server.rfc2217Address() : line.slavePath());
    QVERIFY2(ended.code == 0, ended.out + ended.err);
    QTRY_COMPARE(line.received(), m_runBytes);

    // How long the pauses are, and how near the delay, bench_export measures.
    const QString fault = pacingFault(line.arrivals(), frameStarts(readText(kEveryKind)));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(board.firmware().display(), board::drawn(readText(kEveryKind).frames()).display());
    if (language == Language::Arduino) {
        qInfo("%s", ended.err.trimmed().constData());
    } else if (!network) {
        // The program set the line as the script expects it.
        const termios set = test::lineOf(line.slavePath());
        QCOMPARE(::cfgetospeed(&set), speed_t(B19200));
    }
}

void ExportRunTest::aFailureEndsTheSendAndSaysWhere_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("sneaked");  // written straight to the board first
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("said");
    const QByteArray expecting = "]k\nexpect Done: 0.3\n]d]0101\n";
    const QByteArray refused = "]k\n]m]80810000]ff\n]d]0101\n";
    // The board takes the typed "A" for nothing and gives it no prompt.
    const QByteArray unanswered = "]k\n\\x41\n]d]0101\n";
    const QByteArray circle = "]c]402014\nscreen circle.png\n]d]0101\n";
    const QByteArray read = "]c]402014]n]007f0007";
    const QString error = QStringLiteral("the board answered \"Error: block outside the display memory\"");
    for (const char* lang : {"c", "python"}) {
        QTest::addRow("%s, an expect unanswered", lang) << lang << expecting << QByteArray() << QByteArray("]k")
                                                        << "%1: line 2: an answer expected did not come in time\n";
        QTest::addRow("%s, a frame refused", lang)
            << lang << refused << QByteArray() << QByteArray("]k]m]80810000]ff") << "%1: line 2: " + error + u'\n';
        QTest::addRow("%s, a frame without its prompt", lang)
            << lang << unanswered << QByteArray() << QByteArray("]kA")
            << "%1: line 2: a frame's \"Ready:\" did not come\n";
        QTest::addRow("%s, a dot the picture does not have", lang)
            << lang << circle << QByteArray("]d]0506") << read
            << "%1: line 2: the board's display differs from the picture: 1 pixel differs (first at 5, 6)\n";
    }
    // The sketch keeps them for its own code, where simavr reads them.
    QTest::newRow("Arduino in simavr, an expect unanswered")
        << "arduino" << expecting << QByteArray() << QByteArray("]k") << "unorun: line 2: \"\"\n";
    QTest::newRow("Arduino in simavr, a frame refused")
        << "arduino" << refused << QByteArray() << QByteArray("]k]m]80810000]ff")
        << "unorun: line 2: \"Error: block outside the display memory\"\n";
}

// Each export returns its error (the program exits 1, the sketch lights its
// LED) once the expect's time is up or the board refuses a frame, sends
// nothing after it, and names the script's line and the board's error line,
// as a run does.
void ExportRunTest::aFailureEndsTheSendAndSaysWhere()
{
    QFETCH(QString, lang);
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, sneaked);
    QFETCH(QByteArray, sent);
    QFETCH(QString, said);
    const Language language = *hostcode::languageNamed(lang);
    REQUIRE_TOOLCHAIN(language);
    QTemporaryDir dir;
    test::HostRun host;
    QString code = hostcode::generate(sourceOfText(script, m_pictures.path()), language, QStringLiteral("failing")).text;
    // A prompt given up after a fifth of the time: the same code, sooner.
    code.replace(QStringLiteral("#define VX_READY_MS 2000"), QStringLiteral("#define VX_READY_MS 400"))
        .replace(QStringLiteral("_READY_SECONDS = 2\n"), QStringLiteral("_READY_SECONDS = 0.4\n"));
    QVERIFY2(host.build(code, language, dir.path()), qPrintable(host.error()));
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    if (!sneaked.isEmpty())
        QVERIFY(test::writeBehind(board, sneaked));
    const test::Ended ended = host.run(board.devicePath(), 15000);
    QCOMPARE(ended.code, 1);
    const QString told = said.contains(u"%1") ? said.arg(board.devicePath()) : said;
    QVERIFY2(ended.err.endsWith(told.toUtf8()), ended.err);
    QTest::qWait(100);
    QCOMPARE(board.received(), sneaked + sent);
}

// varnix --picture --export: the program that it writes draws the picture.
void ExportRunTest::aPictureBecomesCodeInOneStep()
{
    REQUIRE_TOOLCHAIN(Language::C);
    QTemporaryDir dir;
    QImage picture(128, 64, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPoint(64, 32), 30, 20);
    painter.end();
    const QString png = dir.filePath(QStringLiteral("ring-1.png"));
    QVERIFY(picture.save(png));
    const QString script = dir.filePath(QStringLiteral("ring.vnx"));
    const QString source = dir.filePath(QStringLiteral("ring.c"));
    const test::Ended made = test::runToEnd(QStringLiteral(VARNIX_PROGRAM),
                                            {"--picture", png, "--script", script, "--export", "--lang", "c", "-o",
                                             source});
    QCOMPARE(made.code, 0);
    // The picture's file name is no name for a function, and said so.
    QVERIFY2(made.err.contains("varnix_send_ring_1"), made.err);

    QFile file(source);
    QVERIFY(file.open(QIODevice::ReadOnly));
    test::HostRun host;
    QVERIFY2(host.build(QString::fromUtf8(file.readAll()), Language::C, dir.path()), qPrintable(host.error()));
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    const test::Ended ended = host.run(board.devicePath());
    QVERIFY2(ended.code == 0, ended.err);
    QFile written(script);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(board.firmware().display(), board::drawn(readText(written.readAll()).frames()).display());
}

VARNIX_TEST_MAIN(ExportRunTest)
#include "tst_exportrun.moc"

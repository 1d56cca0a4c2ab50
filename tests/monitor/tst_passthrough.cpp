// SPDX-License-Identifier: GPL-3.0-or-later
// The pass-through and the tap on real pseudo-terminals: hosts (varnix
// --run and a pyserial program) send through it to a virtual board, and the
// decoded events are what they sent and what the board made of it.
#include "board/virtualboard.h"
#include "monitor/core/passthrough.h"
#include "script/script.h"
#include "support/nullmodem.h"
#include "support/pty.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

#include <csignal>

using namespace varnix;
using monitor::Event;

namespace {

// The pass-through between one end of a null modem, where the host is,
// and a virtual board, decoding what passes.
struct Line {
    bool start()
    {
        if (!modem.ok() || !board.start())
            return false;
        pass.emplace(monitor::PortChoice{modem.end(1)}, monitor::PortChoice{board.devicePath()},
                     monitor::PassThrough::Mode::Pass);
        QObject::connect(&*pass, &monitor::PassThrough::arrived,
                         [this](monitor::Direction from, const QByteArray& bytes, qint64 at) {
                             decoder.take(from, bytes, at);
                         });
        return pass->start();
    }
    // Lets the line go quiet, and the last answers come.
    void finish()
    {
        QTest::qWait(200);
        decoder.finish(QDateTime::currentMSecsSinceEpoch());
    }
    QStringList frames() const
    {
        QStringList sent;
        for (const Event& event : events) {
            if (event.isFrame())
                sent << QString::fromLatin1(event.bytes);
        }
        return sent;
    }

    test::NullModem modem;
    board::VirtualBoard board;
    std::optional<monitor::PassThrough> pass;
    QList<Event> events;
    monitor::Decoder decoder{[this](const Event& event) { events << event; }};
};

// Debian's own Python, where python3-serial puts pyserial.
QString python()
{
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                              : QStringLiteral("python3");
}

} // namespace

class PassThroughTest : public QObject
{
    Q_OBJECT
private slots:
    void scriptRunThroughIt();
    void pyserialHostThroughIt();
    void tapOfTwoPorts();
    void monitorCommandTellsTheBoardsAnswers();
    void aPortThatCannotOpen();
};

void PassThroughTest::scriptRunThroughIt()
{
    Line line;
    QVERIFY(line.start());
    QTemporaryDir dir;
    const QByteArray text = "]k\n]r]007f003f]1\n]c]402014\n]h]0A04]V]A]R]N]I]X]@\n]f]8\n]m]10110001]ff]81]ff]81\n";
    QProcess host;
    host.start(QStringLiteral(VARNIX_PROGRAM),
               {"--run", test::writeScriptFile(dir, text), "--port", line.modem.end(0), "--delay", "2"});
    QTRY_COMPARE_WITH_TIMEOUT(host.state(), QProcess::NotRunning, 30000);
    // The host had every frame answered, through the pass-through.
    QCOMPARE(host.exitCode(), 0);
    line.finish();
    QCOMPARE(line.frames(), std::get<script::Script>(script::readScript(text)).frames());
    QCOMPARE(line.decoder.firmware().display(), line.board.firmware().display());
    QCOMPARE(line.decoder.counts().refused, 0);
}

void PassThroughTest::pyserialHostThroughIt()
{
    if (QProcess::execute(python(), {"-c", "import serial"}) != 0)
        QSKIP("python3 with pyserial (python3-serial) is not installed");
    Line line;
    QVERIFY(line.start());
    // Paced as Varnix paces, but for the character "]" followed at once by
    // its line end, and a block beyond the display; then it reads until it
    // has an answer for every frame.
    const char* program = R"(
import serial, sys, time
port = serial.Serial(sys.argv[1], 19200, timeout=5)
frames = [b"]k", b"]c]402014", b"]m]80810000]ff", b"]p]4020]]\r\n", b"]d]1020"]
for frame in frames:
    for byte in frame:
        if byte == ord("]"):
            time.sleep(0.02)
        port.write(bytes([byte]))
got = b""
while got.count(b"Ready:") < len(frames):
    more = port.read(1)
    if not more:
        break
    got += more
sys.stdout.write(got.decode("latin-1"))
)";
    QProcess host;
    host.start(python(), {"-c", QString::fromLatin1(program), line.modem.end(0)});
    QTRY_COMPARE_WITH_TIMEOUT(host.state(), QProcess::NotRunning, 30000);
    const QByteArray answers = host.readAllStandardOutput();
    line.finish();
    QCOMPARE(answers.count("Ready:"), 5);
    QStringList verdicts, errors;
    for (const Event& event : line.events) {
        if (event.kind == Event::Kind::Refused)
            verdicts << event.verdict();
        if (event.kind == Event::Kind::Answer && event.bytes.startsWith("Error:"))
            errors << QString::fromLatin1(event.bytes.first(event.bytes.indexOf('\r')));
    }
    // The board's own error lines, where the decoder put them.
    QCOMPARE(verdicts, QStringList({"Error: block outside the display memory", "Error: character missing"}));
    QCOMPARE(errors, verdicts);
    QVERIFY(answers.contains("Error: character missing"));
    QCOMPARE(line.decoder.firmware().display(), line.board.firmware().display());
}

void PassThroughTest::tapOfTwoPorts()
{
    test::Pty hostLine, boardLine;
    hostLine.startReading();
    monitor::PassThrough tap({hostLine.slavePath()}, {boardLine.slavePath()}, monitor::PassThrough::Mode::Tap);
    QStringList events;
    monitor::Decoder decoder([&](const Event& event) {
        events << QString(event.direction() == monitor::Direction::Host ? u'>' : u'<') + event.text();
    });
    connect(&tap, &monitor::PassThrough::arrived, [&](monitor::Direction from, const QByteArray& bytes, qint64 at) {
        decoder.take(from, bytes, at);
    });
    QVERIFY(tap.start());
    QVERIFY(hostLine.send("]c]402014"));
    QTest::qWait(60);
    QVERIFY(boardLine.send("Ready:\r\n"));
    QTRY_VERIFY(events.size() == 2);
    QCOMPARE(events, QStringList({">]c]402014", "<Ready:\\x0d\\x0a"}));
    // A tap only listens.
    QCOMPARE(hostLine.received(), QByteArray());
    // A line that goes is told once; the other goes on.
    QList<monitor::Direction> lost;
    connect(&tap, &monitor::PassThrough::lost, [&](monitor::Direction side, const QString&) { lost << side; });
    hostLine.closeMaster();
    QTRY_COMPARE(lost, QList<monitor::Direction>({monitor::Direction::Host}));
    QVERIFY(boardLine.send("Ready:\r\n"));
    QTRY_COMPARE(events.size(), 3);
    QCOMPARE(lost.size(), 1);
}

// varnix --monitor between a host and a virtual board: each frame's line
// says what the board answered; the exit status follows --decode's rule.
// After the board's port is lost, a frame reached no board.
void PassThroughTest::monitorCommandTellsTheBoardsAnswers()
{
    for (const bool lose : {false, true}) {
        test::Pty host;
        host.startReading();
        auto board = std::make_unique<board::VirtualBoard>();
        QVERIFY(board->start());
        QProcess monitor;
        monitor.start(QStringLiteral(VARNIX_PROGRAM), {"--monitor", host.slavePath(), "--port", board->devicePath()});
        QVERIFY(monitor.waitForStarted());
        QByteArray out;
        const auto printed = [&](const char* text) {
            return QTest::qWaitFor([&] { return (out += monitor.readAllStandardOutput()).contains(text); }, 10000);
        };
        QTest::qWait(300);
        QVERIFY(host.send("]m]80810000]ff"));
        QVERIFY2(printed("Error: block outside the display memory  board: the same\n"), out.constData());
        if (lose) {
            board.reset();
            QVERIFY2(printed("The board's port was lost"), out.constData());
            QVERIFY(host.send("]d]0505"));
            QVERIFY2(printed("]d]0505  Set dot x 5, y 5  not delivered\n"), out.constData());
        }
        ::kill(pid_t(monitor.processId()), SIGINT);
        QVERIFY(monitor.waitForFinished(10000));
        const QByteArray said = monitor.readAllStandardError();
        // Refused: 1; a port lost, the line not heard whole: 2.
        QCOMPARE(monitor.exitCode(), lose ? 2 : 1);
        QVERIFY2(said.contains(lose ? "2 frames, 1 refused, 1 unanswered, 1 note," : "1 frame, 1 refused,"), said);
    }
}

// One line, with the reason: no such device, or a file that is no device.
void PassThroughTest::aPortThatCannotOpen()
{
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QList<std::pair<QString, QByteArray>> cases{
        {QStringLiteral("/dev/no-such-host"),
         "varnix: Cannot open /dev/no-such-host (the host's side): No such file or directory.\n"},
        {plain.fileName(), "varnix: Cannot open " + QFile::encodeName(plain.fileName())
                               + " (the host's side): it is no serial device.\n"},
    };
    for (const auto& [host, line] : cases) {
        QProcess program;
        program.start(QStringLiteral(VARNIX_PROGRAM), {"--monitor", host, "--port", "/dev/no-such-board"});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 2);
        QCOMPARE(program.readAllStandardError(), line);
    }
}

VARNIX_TEST_MAIN(PassThroughTest)
#include "tst_passthrough.moc"

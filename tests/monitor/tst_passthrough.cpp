// SPDX-License-Identifier: GPL-3.0-or-later
// The pass-through and the tap on real pseudo-terminals: hosts (varnix
// --run and a pyserial program) send through it to a virtual board, and the
// decoded events are what they sent and what the board made of it; a flood
// both ways at once, and every byte value through ser2net.
#include "board/virtualboard.h"
#include "monitor/core/capture.h"
#include "monitor/core/passthrough.h"
#include "script/script.h"
#include "support/nullmodem.h"
#include "support/pty.h"
#include "support/scriptstandins.h"
#include "support/ser2net.h"
#include "support/testmain.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>
#include <random>
#include <thread>

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
    void floodBothWaysAtOnce();
    void everyByteThroughSer2net_data();
    void everyByteThroughSer2net();
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

namespace {

QByteArray randomBytes(qsizetype size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random());
    return bytes;
}

// What was told of, by direction, and whether a time ever went back.
struct Told {
    explicit Told(monitor::PassThrough& pass)
    {
        QObject::connect(&pass, &monitor::PassThrough::arrived,
                         [this](monitor::Direction from, const QByteArray& bytes, qint64 at) {
                             (from == monitor::Direction::Host ? host : board) += bytes;
                             wentBack = wentBack || at < last;
                             last = at;
                         });
    }
    QByteArray host, board;
    qint64 last = 0;
    bool wentBack = false;
};

} // namespace

// A megabyte from each end at once, as fast as the lines take it, arrives
// whole and in order at the other end; the capture holds every byte, and
// its times never go back.
void PassThroughTest::floodBothWaysAtOnce()
{
    constexpr qsizetype kSize = 1000 * 1000;
    test::Pty host, board;
    host.startReading();
    board.startReading();
    monitor::PassThrough pass({host.slavePath(), QStringLiteral("115200,n,8,1")},
                              {board.slavePath(), QStringLiteral("115200,n,8,1")}, monitor::PassThrough::Mode::Pass);
    const Told told(pass);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("flood.log")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    monitor::CaptureWriter capture(file, pass.description(), QDateTime::currentMSecsSinceEpoch());
    connect(&pass, &monitor::PassThrough::arrived, [&](monitor::Direction from, const QByteArray& bytes, qint64 at) {
        capture.add(from, bytes, at);
    });
    QVERIFY(pass.start());

    const QByteArray toBoard = randomBytes(kSize, 1), toHost = randomBytes(kSize, 2);
    // Told of while they pass.
    std::thread fromHost([&] { host.send(toBoard); });
    std::thread fromBoard([&] { board.send(toHost); });
    QTRY_VERIFY_WITH_TIMEOUT(board.received().size() >= kSize && host.received().size() >= kSize, 30000);
    fromHost.join();
    fromBoard.join();
    QCOMPARE(board.received(), toBoard);
    QCOMPARE(host.received(), toHost);
    pass.stop();
    QCOMPARE(told.host, toBoard);
    QCOMPARE(told.board, toHost);
    QVERIFY(!told.wentBack);

    QVERIFY(capture.flush());
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    monitor::CaptureReader reader(file, file.fileName());
    QByteArray captured[2];
    for (auto item = reader.next(); item.kind != monitor::CaptureReader::Item::Kind::End; item = reader.next()) {
        QCOMPARE(item.kind, monitor::CaptureReader::Item::Kind::Bytes);
        captured[item.direction == monitor::Direction::Host ? 0 : 1] += item.bytes;
    }
    QCOMPARE(captured[0], toBoard);
    QCOMPARE(captured[1], toHost);
    // As written: a time of day, back only where a new day begins.
    file.seek(0);
    QByteArray last;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
        if (line.startsWith("Varnix"))
            continue;
        if (line.contains(" * date "))
            last.clear();
        QVERIFY2(line.left(12) >= last, line.left(12) + " after " + last);
        last = line.left(12);
    }
}

void PassThroughTest::everyByteThroughSer2net_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("rfc2217://") << true;
    QTest::newRow("tcp://") << false;
}

// Every byte value both ways, at once, between a host's line and a board
// behind ser2net. As RFC 2217 the byte 255 is Telnet's escape, and the
// forwarding escapes and unescapes it on the way; raw, nothing is.
void PassThroughTest::everyByteThroughSer2net()
{
    if (!test::Ser2net::installed())
        QSKIP("ser2net is not installed");
    QFETCH(bool, rfc2217);
    test::Pty host, board;
    host.startReading();
    board.startReading();
    test::Ser2net server(board.slavePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    monitor::PassThrough pass({host.slavePath()}, {rfc2217 ? server.rfc2217Address() : server.rawAddress()},
                              monitor::PassThrough::Mode::Pass);
    const Told told(pass);
    QVERIFY2(pass.start(), qPrintable(pass.why()));

    // Telnet's commands, a subnegotiation, a carriage return before NUL and
    // before a line feed, and every value in turn: all of it data.
    QByteArray bytes = QByteArray("\xff\xfa,\x01\xff\xf0\r\0\r\n\xff\xff\xff", 14);
    for (int i = 0; i < 4 * 256; ++i)
        bytes += char(i * 7 % 256);
    const QByteArray toHost = bytes + randomBytes(4096, 3);
    const QByteArray toBoard = randomBytes(4096, 4) + bytes;
    std::thread fromBoard([&] { board.send(toHost); });
    QVERIFY(host.send(toBoard));
    fromBoard.join();
    QTRY_COMPARE_WITH_TIMEOUT(board.received(), toBoard, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(host.received(), toHost, 10000);
    pass.stop();
    QCOMPARE(told.host, toBoard);
    QCOMPARE(told.board, toHost);
}

VARNIX_TEST_MAIN(PassThroughTest)
#include "tst_passthrough.moc"

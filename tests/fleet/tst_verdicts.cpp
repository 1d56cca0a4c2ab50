// SPDX-License-Identifier: GPL-3.0-or-later
// A verdict is what the board did: answers matched to their frames however
// late a board greets, a frozen server ending a board at its first frame, a
// stop that leaves no board mid-frame behind ser2net, one board never taken
// twice. Virtual boards in this process, behind a real ser2net and raw TCP.
#include "board/virtualboard.h"
#include "fleet/fleet.h"
#include "fleet/portsfile.h"
#include "support/fleetprogram.h"
#include "support/pty.h"
#include "support/scriptstandins.h"
#include "support/ser2net.h"
#include "support/tcpboard.h"
#include "support/testmain.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace varnix;
using namespace varnix::test;

namespace {

// Drops what waits to be read on the device (a virtual board's greeting).
void dropWaiting(const QString& device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::tcflush(fd, TCIFLUSH);
        ::close(fd);
    }
}

// Whether the bytes are the script's first frames, each whole.
bool wholeFrames(const QByteArray& bytes, const QStringList& frames)
{
    QByteArray expected;
    for (const QString& frame : frames) {
        if (expected == bytes)
            return true;
        expected += frame.toLatin1();
    }
    return expected == bytes;
}

} // namespace

class VerdictTest : public QObject
{
    Q_OBJECT
private slots:
    void lateGreetingsAreNeverAnswers();
    void frozenServerEndsTheBoardAtItsFirstFrame();
    void stopsBehindSer2netLeaveNoBoardMidFrame();
    void stopWhileConnectingIsAtOnce();
    void oneBoardTwiceIsRefused_data();
    void oneBoardTwiceIsRefused();
    void everyPortsFileIsTaken();
};

void VerdictTest::lateGreetingsAreNeverAnswers()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(2);
    QCOMPARE(int(boards.size()), 2);
    // A line whose board greets once the first byte has reached it, as a
    // board that starts when its line opens.
    dropWaiting(boards[0]->devicePath());
    Pty line;
    QVERIFY(line.forwardTo(boards[0]->devicePath()));
    line.startReading();
    bool greeted = false;
    connect(boards[0].get(), &board::VirtualBoard::fed, this, [&] {
        if (!std::exchange(greeted, true))
            line.send(board::Firmware().banner());
    });
    // By raw TCP, 150 ms after the connection.
    TcpBoard tcp(150);
    QVERIFY(tcp.ok());
    // Started before its ser2net: its greeting waits in the device.
    Ser2net server(boards[1]->devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));

    QTemporaryDir dir;
    // Slow enough that each greeting comes while the run is under way.
    const QString refused = writeScriptFile(dir, "delay 50\n]k\n]d]0101\n]c]zz0101\n");
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const QString ports = writePortsFile(dir, {QStringLiteral("pty %1").arg(line.slavePath()),
                                               QStringLiteral("tcp %1").arg(tcp.address()),
                                               QStringLiteral("ser2net %1").arg(server.rfc2217Address())});
    const Finished fleet = runProgram({"--run", refused, "--ports", ports, "--verify", "--junit", junit});
    QCOMPARE(fleet.code, 1);
    const QString why = QStringLiteral(": line 4: the board answered: Error: hex digit expected | Ready:");
    QCOMPARE(junitCases(junit), (QStringList{"pty" + why, "tcp" + why, "ser2net" + why}));
    QVERIFY2(fleet.out.contains(QStringLiteral("3 boards: 0 passed, 3 failed")), qPrintable(fleet.out));

    // A single run, and one that verifies a board that greets late.
    const Finished single = runProgram({"--run", refused, "--port", tcp.address()});
    QCOMPARE(single.code, 1);
    QVERIFY2(single.out.startsWith(QStringLiteral("2: ]k -> Ready:\n")), qPrintable(single.out));
    QVERIFY2(single.out.contains(QStringLiteral("board: Lumdra demo firmware")), qPrintable(single.out));
    QVERIFY2(single.err.contains(QStringLiteral("line 4: the board answered: Error: hex digit expected")),
             qPrintable(single.err));
    greeted = false;
    const Finished verified =
        runProgram({"--run", writeScriptFile(dir, "]k\n]d]0101\n"), "--port", line.slavePath(), "--verify"});
    QVERIFY2(verified.code == 0, qPrintable(verified.out + verified.err));
    QVERIFY2(verified.out.contains(QStringLiteral("verify: no pixel differs")), qPrintable(verified.out));
}

void VerdictTest::frozenServerEndsTheBoardAtItsFirstFrame()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(1);
    QCOMPARE(int(boards.size()), 1);
    Ser2net server(boards[0]->devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    // Frozen: the system still takes the connection and the bytes.
    QCOMPARE(::kill(pid_t(server.processId()), SIGSTOP), 0);
    QByteArray script;
    for (int i = 0; i < 10; ++i)
        script += "]d]" + QByteArray::number(10 + i) + "10\n";
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const Finished run = runProgram(
        {"--run", writeScriptFile(dir, script), "--port", server.rawAddress(), "--junit", junit});
    ::kill(pid_t(server.processId()), SIGCONT);
    QCOMPARE(run.code, 1);
    QCOMPARE(junitCases(junit, true),
             QStringList{server.rawAddress() + ": line 1: no answer: \"Ready:\" did not come within 2 s [no answer]"});
    QVERIFY2(rowOf(run.out, server.rawAddress()).contains(QStringLiteral(" 0/10 ")), qPrintable(run.out));
}

void VerdictTest::stopsBehindSer2netLeaveNoBoardMidFrame()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(4);
    QCOMPARE(int(boards.size()), 4);
    QStringList devices;
    for (const auto& board : boards)
        devices << board->devicePath();
    Ser2net server(devices);
    QVERIFY2(server.start(), qPrintable(server.error()));
    QList<fleet::Board> rack;
    for (int i = 0; i < 4; ++i) {
        const QString address = i % 2 ? server.rfc2217Address(i) : server.rawAddress(i);
        rack << fleet::Board{QStringLiteral("b%1").arg(i), address};
    }
    QStringList frames;
    for (int i = 0; i < 8; ++i)
        frames << QStringLiteral("]h]080%1]A]B]C]D]E]F]@").arg(i);
    fleet::Plan plan;
    plan.script = std::get<script::Script>(script::readScript(frames.join(u'\n').toLatin1()));
    plan.delay = 3;

    // Moments the same every run, spread over the whole script.
    QRandomGenerator moments(34);
    for (int attempt = 0; attempt < 20; ++attempt) {
        QList<qint64> before;
        for (const auto& board : boards)
            before << board->receivedCount();
        fleet::Fleet run(rack, plan);
        QSignalSpy finished(&run, &fleet::Fleet::finished);
        run.start();
        const int moment = moments.bounded(400);
        QTimer::singleShot(moment, &run, [&run] { run.stop(); });
        QVERIFY(finished.wait(20000));
        for (int i = 0; i < 4; ++i) {
            // Each board has taken whole frames only: its next run starts clean.
            const auto taken = [&] {
                return wholeFrames(boards[i]->received().right(boards[i]->receivedCount() - before[i]), frames);
            };
            QTRY_VERIFY2_WITH_TIMEOUT(taken(), qPrintable(QStringLiteral("board %1, stopped at %2 ms: %3")
                                                               .arg(i)
                                                               .arg(moment)
                                                               .arg(QString::fromLatin1(boards[i]->received().right(
                                                                   boards[i]->receivedCount() - before[i])))),
                                      2000);
        }
    }
}

void VerdictTest::stopWhileConnectingIsAtOnce()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    // Takes the connection and never answers the RFC 2217 handshake.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort());
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const Finished run = runProgram({"--run", writeScriptFile(dir, "]k\n"), "--ports",
                                     writePortsFile(dir, {QStringLiteral("silent %1").arg(address)}), "--junit",
                                     junit},
                                    [&](QProcess& program) {
                                        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 10000);
                                        ::kill(pid_t(program.processId()), SIGINT);
                                    });
    QCOMPARE(run.code, 1);
    QCOMPARE(junitCases(junit, true), QStringList{"silent: cut short while connecting [cut short]"});
    QVERIFY2(rowOf(run.out, QStringLiteral("silent")).contains(QStringLiteral("while connecting")),
             qPrintable(run.out));
}

void VerdictTest::oneBoardTwiceIsRefused_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second"); // a second file's lines; none: one file
    QTest::addColumn<QString>("refusal");    // empty: taken
    const QString link = QStringLiteral("LINK");
    QTest::newRow("a device and a link to it")
        << QStringList{"b1 /dev/null", "b2 " + link} << QStringList()
        << "a.ports: line 2: \"LINK\" is the same board as line 1's \"/dev/null\"";
    QTest::newRow("a host by its address and its name")
        << QStringList{"b1 tcp://127.0.0.1:4001", "b2 tcp://localhost:4001"} << QStringList()
        << "a.ports: line 2: \"tcp://localhost:4001\" is the same board as line 1's \"tcp://127.0.0.1:4001\"";
    QTest::newRow("names that differ in case")
        << QStringList{"b1 rfc2217://Lab-Rack:3001", "# and again", "b2 rfc2217://lab-rack:3001"} << QStringList()
        << "a.ports: line 3: \"rfc2217://lab-rack:3001\" is the same board as line 1's "
           "\"rfc2217://Lab-Rack:3001\"";
    QTest::newRow("raw and RFC 2217 to one port")
        << QStringList{"b1 rfc2217://lab-rack:3001", "b2 tcp://lab-rack:3001"} << QStringList()
        << "a.ports: line 2: \"tcp://lab-rack:3001\" is the same board as line 1's \"rfc2217://lab-rack:3001\"";
    QTest::newRow("in two files") << QStringList{"b1 tcp://127.0.0.1:4001"} << QStringList{"b2 tcp://localhost:4001"}
                                  << "b.ports: line 1: \"tcp://localhost:4001\" is the same board as line 1's "
                                     "\"tcp://127.0.0.1:4001\" in a.ports";
    QTest::newRow("a name in two files") << QStringList{"b1 /dev/ttyS0"} << QStringList{"b1 /dev/ttyS1"}
                                         << "b.ports: line 1: the name \"b1\" is line 1's already in a.ports";
    QTest::newRow("other ports, other boards")
        << QStringList{"b1 tcp://lab-rack:3001", "b2 tcp://lab-rack:3002", "b3 /dev/null"}
        << QStringList{"b4 rfc2217://localhost:3001"} << QString();
}

void VerdictTest::oneBoardTwiceIsRefused()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("board-link"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
    first.replaceInStrings(QStringLiteral("LINK"), link);
    refusal.replace(QStringLiteral("LINK"), link);
    QStringList paths{writePortsFile(dir, first, QStringLiteral("a.ports"))};
    if (!second.isEmpty())
        paths << writePortsFile(dir, second, QStringLiteral("b.ports"));
    // Named as given, from the folder they are in.
    const QString wasIn = QDir::currentPath();
    QDir::setCurrent(dir.path());
    paths.replaceInStrings(dir.path() + u'/', QString());
    // Names as a resolver knows them, without asking the network.
    const auto resolve = [](const QString& host) {
        return host == u"localhost" ? QStringList{"127.0.0.1", "::1"} : QStringList();
    };
    const fleet::BoardsRead read = fleet::readPortsFiles(paths, resolve);
    QDir::setCurrent(wasIn);
    const auto* error = std::get_if<fleet::PortsError>(&read);
    QCOMPARE(error ? error->describe() : QString(), refusal);
}

void VerdictTest::everyPortsFileIsTaken()
{
    BoardList boards = startBoards(2);
    QCOMPARE(int(boards.size()), 2);
    QTemporaryDir dir;
    const QString a = writePortsFile(dir, {QStringLiteral("one %1").arg(boards[0]->devicePath())},
                                     QStringLiteral("a.ports"));
    const QString b = writePortsFile(dir, {QStringLiteral("two %1").arg(boards[1]->devicePath())},
                                     QStringLiteral("b.ports"));
    const Finished run = runProgram({"--run", writeScriptFile(dir, "]k\n"), "--ports", a, "--ports", b});
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QStringLiteral("2 boards: 2 passed")), qPrintable(run.out));
    for (const auto& board : boards)
        QCOMPARE(board->received(), QByteArray("]k"));
}

VARNIX_TEST_MAIN(VerdictTest)
#include "tst_verdicts.moc"

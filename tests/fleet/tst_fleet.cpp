// SPDX-License-Identifier: GPL-3.0-or-later
// A script on many boards at once: the program run on virtual boards in this
// process, on their pseudo-terminals and behind one real ser2net, its JUnit
// report read back by python3's XML reader.
#include "board/displaycheck.h"
#include "board/virtualboard.h"
#include "fleet/fleet.h"
#include "fleet/portsfile.h"
#include "fleet/report.h"
#include "script/script.h"
#include "screens/screens.h"
#include "support/behind.h"
#include "support/fleetprogram.h"
#include "support/scriptstandins.h"
#include "support/ser2net.h"
#include "support/testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace varnix;
using namespace varnix::test;

namespace {

} // namespace

class FleetTest : public QObject
{
    Q_OBJECT
private slots:
    void sixteenBoardsThroughOneSer2net();
    void rackOfTwoHundredFailsOnlyAtTheBoardThatRefused();
    void onlyTheFaultyBoardsFailEachWithItsReason();
    void ctrlCEndsEveryBoardAtAFrameBoundary();
    void portsFileRefusedWithItsLine_data();
    void portsFileRefusedWithItsLine();
    void badLineSendsNothing();
    void reportHoldsAnyAnswerAsWellFormedXml();
    void aScreenThatDiffersIsAttachedToItsFailure();
    void viewIsErasedWhateverTheWidthNow_data();
    void viewIsErasedWhateverTheWidthNow();
};

void FleetTest::sixteenBoardsThroughOneSer2net()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(16);
    QCOMPARE(int(boards.size()), 16);
    QStringList devices;
    for (const auto& board : boards)
        devices << board->devicePath();
    test::Ser2net server(devices);
    QVERIFY2(server.start(), qPrintable(server.error()));
    QStringList lines{QStringLiteral("# sixteen boards, raw and RFC 2217 in turn")};
    for (int i = 0; i < 16; ++i) {
        lines << QStringLiteral("board-%1  %2").arg(i + 1, 2, 10, QChar(u'0'))
                     .arg(i % 2 ? server.rfc2217Address(i) : server.rawAddress(i));
    }
    QTemporaryDir dir;
    const QByteArray script = "delay 2\n]k\n]r]007f003f]1\n]c]402014\n]b]181f2837]1\n]h]0A04]V]A]R]N]I]X]@\n";
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const Finished run = runProgram({"--run", writeScriptFile(dir, script), "--ports",
                                     writePortsFile(dir, lines), "--verify", "--junit", junit});
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));

    const board::Display drawn =
        board::drawn(std::get<script::Script>(script::readScript(script)).frames()).display();
    QStringList expected;
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(boards[i]->firmware().display(), drawn);
        expected << QStringLiteral("board-%1: passed").arg(i + 1, 2, 10, QChar(u'0'));
    }
    QCOMPARE(junitCases(junit), expected);
    QVERIFY2(run.out.contains(QStringLiteral("16 boards: 16 passed")), qPrintable(run.out));
}

void FleetTest::rackOfTwoHundredFailsOnlyAtTheBoardThatRefused()
{
    REQUIRE_TOOLS();
    QTemporaryDir dir;
    const QString ports = dir.filePath(QStringLiteral("rack.ports"));
    QProcess rack;
    rack.start(QStringLiteral(VARNIX_BOARD_PROGRAM), {"--boards", "200", "--ports-file", ports});
    QStringList devices;
    while (devices.size() < 200 && rack.waitForReadyRead(10000)) {
        while (rack.canReadLine())
            devices << QString::fromLocal8Bit(rack.readLine()).trimmed();
    }
    QVERIFY2(devices.size() == 200, rack.readAllStandardError().constData());
    QCOMPARE(QSet<QString>(devices.begin(), devices.end()).size(), 200);
    const auto read = fleet::readPortsFile(ports);
    QVERIFY(std::holds_alternative<QList<fleet::Board>>(read));
    const QList<fleet::Board> boards = std::get<QList<fleet::Board>>(read);
    QStringList addresses;
    for (const fleet::Board& board : boards)
        addresses << board.address;
    QCOMPARE(addresses, devices);

    // Board 137 is left inside a frame behind the program's back, so that it
    // refuses the script's first frame: an unknown command first, whose
    // answer shows the board has read it all.
    const int refusing = 136;
    QCOMPARE(boards[refusing].name, QStringLiteral("board-137"));
    const int fd = ::open(QFile::encodeName(boards[refusing].address).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "]z]d", 4), ssize_t(4));
    QByteArray answer;
    QElapsedTimer waited;
    waited.start();
    while (!answer.contains("unknown command\r\nReady:") && waited.elapsed() < 10000) {
        char buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            answer.append(buffer, got);
        else
            QTest::qWait(5);
    }
    ::close(fd);
    QVERIFY2(answer.contains("unknown command\r\nReady:"), answer.constData());

    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const Finished run = runProgram({"--run", writeScriptFile(dir, "delay 1\n]k\n]d]0506\n]c]402014\n"), "--ports",
                                     ports, "--verify", "--junit", junit});
    QCOMPARE(run.code, 1);
    QStringList expected;
    for (const fleet::Board& board : boards) {
        expected << board.name
                + (board.name == u"board-137" ? QStringLiteral(": line 2: the board answered: Error: frame cut short | Ready:")
                                              : QStringLiteral(": passed"));
    }
    QStringList cases = junitCases(junit);
    QCOMPARE(cases, expected);
    QVERIFY2(run.out.contains(QStringLiteral("200 boards: 199 passed, 1 failed")), qPrintable(run.out));
    rack.terminate();
    QVERIFY(rack.waitForFinished(10000));
}

void FleetTest::onlyTheFaultyBoardsFailEachWithItsReason()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(4);
    QCOMPARE(int(boards.size()), 4);
    test::Ser2net server(QStringList{boards[0]->devicePath(), boards[1]->devicePath()});
    QVERIFY2(server.start(), qPrintable(server.error()));
    const QString refusing = QStringLiteral("tcp://127.0.0.1:%1").arg(test::freeLocalPort());
    QTemporaryDir dir;
    // Two behind ser2net, two on their own pseudo-terminals, an address where
    // nothing listens and a device that is not there.
    const QStringList lines{QStringLiteral("net-raw %1").arg(server.rawAddress(0)),
                            QStringLiteral("net-rfc %1 19200,n,8,1").arg(server.rfc2217Address(1)),
                            QStringLiteral("killed %1").arg(boards[2]->devicePath()),
                            QStringLiteral("tampered %1").arg(boards[3]->devicePath()),
                            QStringLiteral("refusing %1").arg(refusing), QStringLiteral("missing /dev/ttyNOPE")};
    const QString ports = writePortsFile(dir, lines);

    // A dot the script does not draw, put there behind the program's back.
    const int fd = ::open(QFile::encodeName(boards[3]->devicePath()).constData(), O_WRONLY | O_NOCTTY);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "]d]0506", 7), ssize_t(7));
    ::close(fd);
    QTRY_COMPARE(boards[3]->received(), QByteArray("]d]0506"));
    QTest::qWait(100);
    // Pulled out after its third frame.
    QByteArray script = "delay 5\n";
    for (int i = 0; i < 8; ++i)
        script += "]c]" + QByteArray::number(16 + 12 * i, 16) + QByteArray::number(20 + i, 16) + "08\n";
    board::VirtualBoard* killed = boards[2].get();
    QObject::connect(killed, &board::VirtualBoard::fed, killed, [&boards] {
        if (boards[2] && boards[2]->received().size() >= 3 * 9)
            QMetaObject::invokeMethod(qApp, [&boards] { boards[2].reset(); }, Qt::QueuedConnection);
    });

    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const QString logs = dir.filePath(QStringLiteral("logs"));
    const Finished run = runProgram({"--run", writeScriptFile(dir, script), "--ports", ports, "--verify",
                                     "--junit", junit, "--log-dir", logs});
    QCOMPARE(run.code, 1);
    QVERIFY2(rowOf(run.out, QStringLiteral("net-raw")).contains(QStringLiteral("passed")), qPrintable(run.out));
    QVERIFY2(rowOf(run.out, QStringLiteral("net-rfc")).contains(QStringLiteral("passed")), qPrintable(run.out));
    const QStringList cases = junitCases(junit);
    QCOMPARE(cases.size(), 6);
    QCOMPARE(cases.mid(0, 2), (QStringList{"net-raw: passed", "net-rfc: passed"}));
    QVERIFY2(cases[2].startsWith(QStringLiteral("killed: line "))
                 && cases[2].contains(QStringLiteral("the port was lost")),
             qPrintable(cases[2]));
    QCOMPARE(cases[3], QStringLiteral("tampered: verify: 1 pixel differs; the first at column 5, row 6"));
    QVERIFY2(cases[4].contains(refusing) && cases[4].contains(QStringLiteral("the connection was refused")),
             qPrintable(cases[4]));
    // Why a device does not open, as a single run says it.
    QCOMPARE(cases[5], QStringLiteral("missing: Cannot open /dev/ttyNOPE: no such device."));
    // Each reason in the table too, and at the end of the board's own log.
    for (const QString& line : cases) {
        const QString name = line.section(u':', 0, 0);
        const QString why = line.section(QStringLiteral(": "), 1);
        QVERIFY2(rowOf(run.out, name).contains(why), qPrintable(run.out));
        QFile log(QDir(logs).filePath(name + QStringLiteral(".log")));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY2(text.contains(why == u"passed" ? why : QStringLiteral("failed: ") + why), qPrintable(name));
        // Its first line names the board's address, whether or not it opened.
        QString address;
        for (const QString& board : std::as_const(lines)) {
            if (board.section(u' ', 0, 0) == name)
                address = board.section(u' ', 1, 1);
        }
        QVERIFY2(text.section(u'\n', 0, 0).contains(QStringLiteral("session log: %1,").arg(address)),
                 qPrintable(text.section(u'\n', 0, 0)));
    }
}

void FleetTest::ctrlCEndsEveryBoardAtAFrameBoundary()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(3);
    QCOMPARE(int(boards.size()), 3);
    // Frames that spend most of their time between their own characters.
    QStringList frames;
    for (int i = 0; i < 30; ++i)
        frames << QStringLiteral("]h]080%1]A]B]C]D]E]F]@").arg(i % 8);
    const QByteArray script = "delay 25\n" + frames.join(u'\n').toLatin1() + '\n';
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const QString logs = dir.filePath(QStringLiteral("logs"));
    // Two at a time: the third never starts.
    const Finished run = runProgram(
        {"--run", writeScriptFile(dir, script), "--port", boards[0]->devicePath(), "--port",
         boards[1]->devicePath(), "--port", boards[2]->devicePath(), "--junit", junit, "--jobs", "2", "--log-dir",
         logs},
        [&](QProcess& program) {
            QTRY_VERIFY_WITH_TIMEOUT(boards[0]->received().size() > 40 && boards[1]->received().size() > 40, 20000);
            ::kill(pid_t(program.processId()), SIGINT);
        });
    QCOMPARE(run.code, 1);
    const QStringList cases = junitCases(junit);
    QCOMPARE(cases.size(), 3);
    for (int i = 0; i < 2; ++i) {
        const QString name = boards[i]->devicePath();
        QVERIFY2(cases[i].startsWith(name + QStringLiteral(": cut short")), qPrintable(cases[i]));
        // The board holds whole frames only, and not all of them.
        QTest::qWait(200);
        const QByteArray received = boards[i]->received();
        qsizetype whole = 0;
        int sent = 0;
        while (sent < frames.size() && received.startsWith(frames.mid(0, sent + 1).join(QString()).toLatin1()))
            whole = frames.mid(0, ++sent).join(QString()).size();
        QVERIFY2(whole == received.size() && sent < frames.size(), received.constData());
        // Each frame it took was answered before the port closed, and every
        // count says so.
        const QRegularExpression cut(QStringLiteral("cut short +%1/30 ").arg(sent));
        QVERIFY2(rowOf(run.out, name).contains(cut), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("%1: cut short, %2 of 30 frames answered, ").arg(name).arg(sent)),
                 qPrintable(run.out));
    }
    const QString unstarted = boards[2]->devicePath();
    QCOMPARE(cases[2], unstarted + QStringLiteral(": skipped"));
    QCOMPARE(boards[2]->receivedCount(), 0);
    QFile log(QDir(logs).filePath(fleet::Fleet::logFileNames({fleet::Board{unstarted, unstarted}}).value(0)));
    QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.section(u'\n', 0, 0).contains(unstarted) && text.contains(QStringLiteral("not started")),
             qPrintable(text));
}

void FleetTest::portsFileRefusedWithItsLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("refusal"); // empty: taken
    QTest::newRow("comments, blanks, settings") << QByteArray("# rack\n\nb1 /dev/ttyUSB0  # bench\r\n"
                                                              "b2\trfc2217://lab:3002\t9600,e,7,2\n")
                                                << QString();
    QTest::newRow("name alone") << QByteArray("b1 /dev/ttyUSB0\nb2\n")
                                << "line 2: \"b2\" needs its address after its name";
    QTest::newRow("not a name") << QByteArray("rack/1 /dev/ttyUSB0\n")
                                << "line 1: \"rack/1\" is not a board's name: use at most 64 letters, digits, "
                                   "\".\", \"-\" and \"_\", not beginning with \".\"";
    QTest::newRow("neither device nor address") << QByteArray("b1 ttyUSB0\n")
                                                << "line 1: \"ttyUSB0\" is neither a device (/dev/ttyUSB0) nor a "
                                                   "network address (rfc2217://HOST:PORT or tcp://HOST:PORT)";
    QTest::newRow("address without port") << QByteArray("\nb1 rfc2217://lab\n")
                                          << "line 2: \"rfc2217://lab\" is not a network address (the port is "
                                             "missing); use rfc2217://HOST:PORT or tcp://HOST:PORT";
    QTest::newRow("bad settings") << QByteArray("b1 /dev/ttyS0 19200,x,8,1\n")
                                  << "line 1: \"19200,x,8,1\" are not line settings such as 19200,n,8,1";
    QTest::newRow("settings of a raw port") << QByteArray("b1 tcp://lab:4001 9600,n,8,1\n")
                                            << "line 1: a tcp:// board has the server's line settings; give them "
                                               "to an rfc2217:// address or a device";
    QTest::newRow("a word too many") << QByteArray("b1 /dev/ttyS0 9600,n,8,1 fast\n")
                                     << "line 1: a board is a name, an address and line settings; \"fast\" is one "
                                        "word too many";
    QTest::newRow("name twice") << QByteArray("b1 /dev/ttyS0\nb1 /dev/ttyS1\n")
                                << "line 2: the name \"b1\" is line 1's already";
    QTest::newRow("address twice") << QByteArray("b1 /dev/ttyS0\nb2 /dev/ttyS0\n")
                                   << "line 2: \"/dev/ttyS0\" is line 1's board already";
    QTest::newRow("not UTF-8") << QByteArray("b1 /dev/ttyS0\nb\xff /dev/ttyS1\n") << "line 2: not UTF-8 text";
    QTest::newRow("no boards") << QByteArray("# nothing yet\n\n") << "no boards in it";
}

void FleetTest::portsFileRefusedWithItsLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, refusal);
    const fleet::Boards read = fleet::readPorts(text);
    const auto* error = std::get_if<script::ReadError>(&read);
    QCOMPARE(error ? error->describe() : QString(), refusal);
    if (!error) {
        const auto& boards = std::get<QList<fleet::Board>>(read);
        QCOMPARE(boards.size(), 2);
        QCOMPARE(boards[0].settings, QStringLiteral("19200,n,8,1"));
        QCOMPARE(boards[1].address, QStringLiteral("rfc2217://lab:3002"));
        QCOMPARE(boards[1].settings, QStringLiteral("9600,e,7,2"));
    }
}

void FleetTest::badLineSendsNothing()
{
    BoardList boards = startBoards(1);
    QCOMPARE(int(boards.size()), 1);
    QTemporaryDir dir;
    const QString ports = writePortsFile(dir, {QStringLiteral("good %1").arg(boards[0]->devicePath()),
                                               QStringLiteral("bad tcp://lab")});
    const Finished run = runProgram({"--run", writeScriptFile(dir, "]k\n"), "--ports", ports});
    QCOMPARE(run.code, 2);
    const QString refusal = QStringLiteral("varnix: %1: line 2: \"tcp://lab\" is not a network address").arg(ports);
    QVERIFY2(run.err.startsWith(refusal), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QTest::qWait(100);
    QCOMPARE(boards[0]->receivedCount(), 0);
}

void FleetTest::reportHoldsAnyAnswerAsWellFormedXml()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    fleet::BoardReport odd;
    odd.board = {QStringLiteral("odd"), QStringLiteral("/dev/\x01<&>\"]]>")};
    odd.started = true;
    odd.stage = fleet::BoardReport::Stage::Done;
    odd.ending.kind = fleet::Ending::Kind::BoardError;
    odd.ending.line = 2;
    odd.ending.reason = QStringLiteral("the board answered: <Error> & \x02 \xfffe") + QChar(0xd800);
    odd.answers << QStringLiteral("1: ]k -> \x1b]]>");
    fleet::BoardReport waiting;
    waiting.board = {QStringLiteral("later"), QStringLiteral("/dev/ttyS1")};
    waiting.stage = fleet::BoardReport::Stage::Done;
    waiting.ending.kind = fleet::Ending::Kind::CutShort;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.xml"));
    QString why;
    QVERIFY2(fleet::writeJUnit(path, QStringLiteral("a&b.vnx"), {odd, waiting}, 3, 1500, &why), qPrintable(why));
    QCOMPARE(junitCases(path), (QStringList{"odd: line 2: the board answered: <Error> & \\x02 \\ufffe\\ud800",
                                            "later: skipped"}));
}

// Four boards, one showing a dot the script did not draw: that board alone
// fails its screen line, and its pictures, kept under its name, are the
// attachments of its test case, named from the folder the run began in.
void FleetTest::aScreenThatDiffersIsAttachedToItsFailure()
{
    REQUIRE_TOOLS();
    BoardList boards = startBoards(4);
    QCOMPARE(int(boards.size()), 4);
    QVERIFY(writeBehind(*boards[2], "]d]0506"));
    QTemporaryDir dir;
    QVERIFY(screens::writePicture(board::drawn({"]c]402014"}).display(), dir.filePath("circle.png")).isEmpty());
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        lines << QStringLiteral("b%1 %2").arg(i + 1).arg(boards[i]->devicePath());
    const QString ports = writePortsFile(dir, lines);
    const QString script = writeScriptFile(dir, "]c]402014\nscreen circle.png\n");

    const QString was = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const Finished run = runProgram({"--run", script, "--ports", ports, "--junit", "report.xml", "--log-dir", "logs"});
    QDir::setCurrent(was);
    QCOMPARE(run.code, 1);
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    QCOMPARE(junitCases(junit, true), (QStringList{"b1: passed", "b2: passed",
                                                   "b3: line 2: 1 pixel differs (first at 5, 6) [screen differs]",
                                                   "b4: passed"}));
    QStringList attached;
    QFile report(junit);
    QVERIFY(report.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&report);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"system-out")
            continue;
        for (const QString& line : xml.readElementText().split(u'\n'))
            if (line.startsWith(QLatin1String("[[ATTACHMENT|")))
                attached << line;
    }
    QCOMPARE(attached, (QStringList{"[[ATTACHMENT|logs/b3-circle-board.png]]", "[[ATTACHMENT|logs/b3-circle-diff.png]]"}));
    QCOMPARE(QDir(dir.filePath("logs")).entryList({"*.png"}), (QStringList{"b3-circle-board.png", "b3-circle-diff.png"}));
}

void FleetTest::viewIsErasedWhateverTheWidthNow_data()
{
    QTest::addColumn<QList<int>>("widths"); // of the lines as drawn
    QTest::addColumn<int>("columns");       // the terminal's width now
    QTest::addColumn<int>("rows");
    QTest::newRow("as wide as drawn") << QList<int>{40, 79, 20} << 80 << 3;
    QTest::newRow("made narrower") << QList<int>{40, 79, 20} << 30 << 2 + 3 + 1;
    QTest::newRow("a line as wide as the terminal") << QList<int>{30, 31} << 30 << 1 + 2;
    QTest::newRow("an empty line still a row") << QList<int>{0, 12} << 10 << 1 + 2;
    QTest::newRow("nothing drawn") << QList<int>{} << 80 << 0;
}

void FleetTest::viewIsErasedWhateverTheWidthNow()
{
    QFETCH(QList<int>, widths);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QCOMPARE(fleet::rowsTaken(widths, columns), rows);
}

VARNIX_TEST_MAIN(FleetTest)
#include "tst_fleet.moc"

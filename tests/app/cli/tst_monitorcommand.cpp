// SPDX-License-Identifier: GPL-3.0-or-later
// varnix --decode run as a program, and the options of --decode and
// --monitor that do not go together.
#include "app/cli/commandline.h"
#include "board/firmware.h"
#include "support/testmain.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnix;

class MonitorCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void decodePrintsEachEventAndTheDisplay();
    void exitStatus_data();
    void exitStatus();
    void jsonCarriesBothVerdicts();
    void refusals_data();
    void refusals();
};

void MonitorCommandTest::decodePrintsEachEventAndTheDisplay()
{
    QTemporaryDir dir;
    QFile log(dir.filePath(QStringLiteral("host.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("Varnix 1.2 session log: /dev/ttyUSB0, 19200,n,8,1, 2025-01-31\n"
              "10:00:00.000 > ]k\n10:00:00.010 < Ready:\n10:00:00.100 > ]c]402014\n10:00:00.110 < Ready:\n"
              "10:00:00.200 > ]c]40zz14\n10:00:00.210 < Error: hex digit expected\n10:00:00.210 < Ready:\n"
              "10:00:00.300 > ]d]0102\n");
    log.close();
    const QString png = dir.filePath(QStringLiteral("after.png"));
    QProcess program;
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--decode", log.fileName(), "--png", png, "--at", "3"});
    QVERIFY(program.waitForFinished(30000));
    // A refused frame, and one the board did not answer, make it 1.
    QCOMPARE(program.exitCode(), 1);
    // Each frame with the board's answer beside the model's verdict.
    QCOMPARE(QString::fromLatin1(program.readAllStandardOutput()).split(u'\n'),
             QStringList({"1  10:00:00.000  >  ]k  Clear display  taken  board: Ready:",
                          "2  10:00:00.010  <  Ready:\\x0d\\x0a  answer to 1 (Clear display)",
                          "3  10:00:00.100  >  ]c]402014  Circle x 64, y 32, radius 20  taken  board: Ready:",
                          "4  10:00:00.110  <  Ready:\\x0d\\x0a  answer to 3 (Circle)",
                          "5  10:00:00.200  >  ]c]40z  Circle x 64  Error: hex digit expected  board: the same",
                          "6  10:00:00.210  <  Error: hex digit expected\\x0d\\x0aReady:\\x0d\\x0a  answer to 5 (Circle)",
                          "7  10:00:00.200  >  z14  not a frame  skipped after the error",
                          "8  10:00:00.300  >  ]d]0102  Set dot x 1, y 2  taken  but the board: no answer", ""}));
    QCOMPARE(program.readAllStandardError(),
             QByteArray("varnix: 4 frames, 1 refused, 1 unanswered, 27 bytes from the host, 51 from the board\n"));
    // The display after event 3: the circle, not the dot.
    board::Firmware circle;
    circle.feed("]k]c]402014");
    const QImage picture(png);
    QCOMPARE(picture.size(), QSize(128, 64));
    int differing = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            differing += (picture.pixel(x, y) == qRgb(0, 0, 0)) != circle.display().pixel(x, y);
    QCOMPARE(differing, 0);
}

void MonitorCommandTest::exitStatus_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("summary");
    const QByteArray capture = "Varnix 1.2 capture: host a, board b, 19200,n,8,1, 2025-01-31\n";
    QTest::newRow("every frame taken") << "a.log" << capture + "10:00:00.000 > ]k\n10:00:00.010 < Ready:\\x0d\\x0a\n"
                                       << 0 << "1 frame, 0 refused, 2 bytes from the host, 8 from the board";
    QTest::newRow("a silent board") << "a.log" << capture + "10:00:00.000 > ]k\n10:00:01.000 > ]d]0101\n" << 1
                                    << "2 frames, 0 refused, 2 unanswered, 9 bytes from the host, 0 from the board";
    QTest::newRow("the board answering otherwise")
        << "a.log" << capture + "10:00:00.000 > ]k\n10:00:00.010 < Error: ] expected\\x0d\\x0aReady:\\x0d\\x0a\n" << 1
        << "1 frame, 0 refused, 1 answered otherwise than the model,";
    QTest::newRow("a frame after the board's port was lost")
        << "a.log"
        << capture + "10:00:00.000 > ]k\n10:00:00.010 < Ready:\\x0d\\x0a\n10:00:01.000 * The board's port was lost: gone.\n"
                     "10:00:02.000 > ]d]0505\n"
        << 1 << "2 frames, 0 refused, 1 unanswered, 1 note,";
    QTest::newRow("lines left out") << "a.log"
                                    << capture + "10:00:00.000 > ]k\n10:00:0X.000 > ]k\n10:00:00.100 > \\x4\n" << 2
                                    << "1 frame, 0 refused, 1 unanswered, 2 notes, 2 bytes from the host, 0 from the "
                                       "board; 2 parts of the file could not be read";
    QTest::newRow("a script with an unknown word")
        << "a.vnx" << QByteArray("]k\nfill 3\n") << 2 << "1 note, 2 bytes from the host, 0 from the board; 1 part";
    QTest::newRow("ending inside a frame") << "raw.txt" << QByteArray("]k]c]40") << 1
                                           << "2 frames, 0 refused, 7 bytes from the host, 0 from the board; "
                                              "unfinished: event 2, Circle x 64";
}

// One rule for the exit status, the summary counting what it rests on:
// 0 every frame taken, 1 refused, unanswered or unfinished, 2 a file not
// read whole.
void MonitorCommandTest::exitStatus()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, code);
    QFETCH(QString, summary);
    QTemporaryDir dir;
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QProcess program;
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--decode", file.fileName()});
    QVERIFY(program.waitForFinished(30000));
    const QString said = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2(said.startsWith(QStringLiteral("varnix: ")) && said.contains(summary), qPrintable(said));
    QCOMPARE(program.exitCode(), code);
}

// JSON lines: the bytes as JSON's own text, a string's meaning quoted so
// that its quotes cannot end it, the model's verdict and the board's.
void MonitorCommandTest::jsonCarriesBothVerdicts()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("a.log")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Varnix 1.2 capture: host a, board b, 19200,n,8,1, 2025-01-31\n"
               "10:00:00.000 > ]h]0000]\"]\\\\]A]@\n10:00:00.010 < Error: ] expected\\x0d\\x0aReady:\\x0d\\x0a\n");
    file.close();
    QProcess program;
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--decode", file.fileName(), "--json"});
    QVERIFY(program.waitForFinished(30000));
    const QList<QByteArray> lines = program.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject frame = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(frame.value("bytes").toString(), QStringLiteral("]h]0000]\"]\\]A]@"));
    QCOMPARE(frame.value("meaning").toString(), QStringLiteral("Horizontal string x 0, y 0, text \"\\x22\\\\A\""));
    QCOMPARE(frame.value("verdict").toString(), QStringLiteral("taken"));
    QCOMPARE(frame.value("model").toString(), QStringLiteral("taken"));
    QCOMPARE(frame.value("board").toString(), QStringLiteral("error"));
    QCOMPARE(frame.value("board_error").toString(), QStringLiteral("Error: ] expected"));
    QVERIFY(frame.value("differs").toBool());
    const QJsonObject answer = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(answer.value("bytes").toString(), QStringLiteral("Error: ] expected\r\nReady:\r\n"));
}

void MonitorCommandTest::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("monitor without the board") << QStringList{"--monitor", "/dev/ttyUSB0"}
                                               << "--monitor needs --port BOARD_PORT, the board's side";
    QTest::newRow("save without monitor") << QStringList{"--decode", "a.log", "--save", "b.log"}
                                          << "--save goes with --monitor";
    QTest::newRow("at without png") << QStringList{"--decode", "a.log", "--at", "3"} << "--at goes with --png";
    QTest::newRow("scale without png") << QStringList{"--decode", "a.log", "--scale", "4"}
                                       << "--scale goes with --png";
    QTest::newRow("at not a number") << QStringList{"--decode", "a.log", "--at", "x"}
                                     << "--at takes the number of an event, 1 or more, not \"x\"";
    QTest::newRow("json alone") << QStringList{"--json"} << "--json goes with --decode or --monitor";
    QTest::newRow("line not settings") << QStringList{"--monitor", "a", "--port", "b", "--line", "fast"}
                                       << "--line takes the line's settings as BAUD,PARITY,BITS,STOP such as "
                                          "19200,n,8,1, not \"fast\"";
    QTest::newRow("line with decode") << QStringList{"--decode", "a.log", "--line", "9600,n,8,1"}
                                      << "--line goes with --export or --monitor";
    QTest::newRow("png with monitor") << QStringList{"--monitor", "a", "--port", "b", "--png", "c.png"}
                                      << "--png goes with --decode, not with --monitor";
    QTest::newRow("decode and run") << QStringList{"--run", "a.vnx", "--decode", "b.log"}
                                    << "give one of --run, --preview, --decode and --monitor, once";
    QTest::newRow("a host that is no address") << QStringList{"--monitor", "tcp://host", "--port", "b"}
                                               << "\"tcp://host\" is not a network address (the port is missing); "
                                                  "use rfc2217://HOST:PORT or tcp://HOST:PORT";
    QTest::newRow("monitor with everything") << QStringList{"--monitor", "a", "--port", "rfc2217://[::1]:3001",
                                                            "--line", "56000,n,8,1", "--save", "c.log", "--json"}
                                             << "";
}

void MonitorCommandTest::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, refusal);
    const Command command = parseCommandLine(arguments);
    QCOMPARE(command.refusal, refusal);
    QCOMPARE(command.kind == Command::Kind::Refused, !refusal.isEmpty());
}

VARNIX_TEST_MAIN(MonitorCommandTest)
#include "tst_monitorcommand.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// varnix --decode run as a program, and the options of --decode and
// --monitor that do not go together.
#include "app/cli/commandline.h"
#include "board/firmware.h"
#include "support/testmain.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnix;

class MonitorCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void decodePrintsEachEventAndTheDisplay();
    void refusals_data();
    void refusals();
};

void MonitorCommandTest::decodePrintsEachEventAndTheDisplay()
{
    QTemporaryDir dir;
    QFile log(dir.filePath(QStringLiteral("host.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("Varnix 1.2 session log: /dev/ttyUSB0, 19200,n,8,1, 2025-01-31\n"
              "10:00:00.000 > ]k\n10:00:00.010 < Ready:\n10:00:00.100 > ]c]402014\n10:00:00.200 > ]c]40zz14\n"
              "10:00:00.300 > ]d]0102\n");
    log.close();
    const QString png = dir.filePath(QStringLiteral("after.png"));
    QProcess program;
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--decode", log.fileName(), "--png", png, "--at", "3"});
    QVERIFY(program.waitForFinished(30000));
    // A refused frame makes the exit status 1.
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(QString::fromLatin1(program.readAllStandardOutput()).split(u'\n'),
             QStringList({"1  10:00:00.000  >  ]k  Clear display  taken",
                          "2  10:00:00.010  <  Ready:\\x0d\\x0a  answer to 1 (Clear display)",
                          "3  10:00:00.100  >  ]c]402014  Circle x 64, y 32, radius 20  taken",
                          "4  10:00:00.200  >  ]c]40z  Circle x 64  Error: hex digit expected",
                          "5  10:00:00.200  >  z14  not a frame  skipped after the error",
                          "6  10:00:00.300  >  ]d]0102  Set dot x 1, y 2  taken", ""}));
    QCOMPARE(program.readAllStandardError(),
             QByteArray("varnix: 4 frames, 1 refused, 27 bytes from the host, 8 from the board\n"));
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

void MonitorCommandTest::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("monitor without the board") << QStringList{"--monitor", "/dev/ttyUSB0"}
                                               << "--monitor needs --port BOARD_PORT, the board's side";
    QTest::newRow("save without monitor") << QStringList{"--decode", "a.log", "--save", "b.log"}
                                          << "--save goes with --monitor";
    QTest::newRow("at without png") << QStringList{"--decode", "a.log", "--at", "3"} << "--at goes with --png";
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

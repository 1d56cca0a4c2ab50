// SPDX-License-Identifier: GPL-3.0-or-later
// varnix --run and --preview: runs against a virtual board in this process,
// and the program itself started without a display.
#include "app/cli/commandline.h"
#include "board/displaycheck.h"
#include "board/virtualboard.h"
#include "script/script.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>

using namespace varnix;

namespace {

// The program with no display server to reach.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

} // namespace

class ScriptCommandTest : public QObject
{
    Q_OBJECT
private slots:
    void runAgainstVirtualBoard_data();
    void runAgainstVirtualBoard();
    void previewIsTheModelsDisplayWithoutADisplayServer();
    void runWithoutADisplayServer();
    void refusesWhatItCannotDo_data();
    void refusesWhatItCannotDo();
};

void ScriptCommandTest::runAgainstVirtualBoard_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("sneaked");  // written straight to the board first
    QTest::addColumn<bool>("verify");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");  // a line the run prints
    QTest::addColumn<QString>("err");
    QTest::addColumn<QByteArray>("reached");  // what the board received, from the script

    const QByteArray screen = "]k\n]r]007f003f]1\n]c]402014\n]h]0A04]V]A]R]N]I]X]@\nexpect Ready:\n";
    QTest::newRow("draws and verifies") << screen << QByteArray() << true << 0
                                        << "verify: no pixel differs" << ""
                                        << QByteArray("]k]r]007f003f]1]c]402014]h]0A04]V]A]R]N]I]X]@]n]007f0007");
    QTest::newRow("a difference fails the check")
        << QByteArray("]c]402014\n") << QByteArray("]d]0506") << true << 1
        << "verify: 1 pixel differs; the first at column 5, row 6" << "" << QByteArray("]c]402014]n]007f0007");
    QTest::newRow("error stops there") << QByteArray("]k\n]c]40zz14\n]d]0101\n") << QByteArray() << false << 1
                                       << "2: ]c]40zz14 -> Error: hex digit expected | Ready:"
                                       << "test.vnx line 2: the board answered: Error: hex digit expected"
                                       << QByteArray("]k]c]40zz14");
    QTest::newRow("expect times out") << QByteArray("]k\nexpect Done 0.3\n]d]0101\n") << QByteArray() << false << 1
                                      << "1: ]k -> Ready:" << "test.vnx line 2: \"Done\" did not come within 0.3 s"
                                      << QByteArray("]k");
    QTest::newRow("unreadable script") << QByteArray("]k\n\nfill 3\n") << QByteArray() << false << 2 << ""
                                       << "line 3: unknown word \"fill\"" << QByteArray();
}

void ScriptCommandTest::runAgainstVirtualBoard()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, sneaked);
    QFETCH(bool, verify);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, reached);

    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    if (!sneaked.isEmpty()) {
        const int fd = ::open(QFile::encodeName(board.devicePath()).constData(), O_WRONLY | O_NOCTTY);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, sneaked.constData(), size_t(sneaked.size())), ssize_t(sneaked.size()));
        ::close(fd);
        QTRY_COMPARE(board.received(), sneaked);
        QTest::qWait(100);
    }
    QTemporaryDir dir;
    Command command;
    command.kind = Command::Kind::Run;
    command.script = test::writeScriptFile(dir, script);
    command.device = board.devicePath();
    command.verify = verify;
    QString printed, complained;
    QTextStream outStream(&printed), errStream(&complained);

    QCOMPARE(runScriptCommand(command, outStream, errStream), code);
    QVERIFY2(out.isEmpty() || printed.contains(out), qPrintable(printed));
    QVERIFY2(err.isEmpty() ? complained.isEmpty() : complained.contains(err), qPrintable(complained));
    QCOMPARE(board.received().mid(sneaked.size()), reached);
    if (code == 0) {
        const auto read = script::readScript(script);
        QCOMPARE(board.firmware().display(), board::drawn(std::get<script::Script>(read).frames()).display());
    }
}

void ScriptCommandTest::previewIsTheModelsDisplayWithoutADisplayServer()
{
    QTemporaryDir dir;
    const QByteArray text = "]k\n]f]4\n]b]1030081a]1\n]p]4020]Q\n]e]0000\n";
    const QString png = dir.filePath(QStringLiteral("out.png"));
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(VARNIX_PROGRAM),
                  {"--preview", test::writeScriptFile(dir, text), "--png", png, "--scale", "3"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);

    const QImage picture(png);
    QCOMPARE(picture.size(), QSize(128 * 3, 64 * 3));
    const board::Display model = board::drawn(std::get<script::Script>(script::readScript(text)).frames()).display();
    int differing = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb expected = model.pixel(x / 3, y / 3) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            differing += picture.pixel(x, y) != expected;
        }
    }
    QCOMPARE(differing, 0);
}

void ScriptCommandTest::runWithoutADisplayServer()
{
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    QTemporaryDir dir;
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--run", test::writeScriptFile(dir, "]k\n]c]402014\n"), "--port",
                                                    board.devicePath(), "--delay", "0"});
    // The board answers from this process's event loop.
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
    QCOMPARE(program.exitCode(), 0);
    // The board's start-up text is shown as its own, not as an answer.
    QCOMPARE(program.readAllStandardOutput(),
             QByteArray("board: Lumdra demo firmware, virtual Tessel board | Ready:\n"
                        "1: ]k -> Ready:\n2: ]c]402014 -> Ready:\n"));
    QCOMPARE(board.received(), QByteArray("]k]c]402014"));
}

void ScriptCommandTest::refusesWhatItCannotDo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("unknown option") << QStringList{"--log2", "x"} << "unknown option --log2 (see --help)";
    QTest::newRow("stray argument") << QStringList{"demo.vnx"} << "unexpected argument \"demo.vnx\" (see --help)";
    QTest::newRow("run without its script") << QStringList{"--run"} << "--run needs a value (see --help)";
    QTest::newRow("both") << QStringList{"--run", "a", "--preview", "b"} << "give one of --run and --preview, once";
    QTest::newRow("preview without png") << QStringList{"--preview", "a"} << "--preview needs --png OUT.png";
    QTest::newRow("verify without run") << QStringList{"--preview", "a", "--png", "b", "--verify"}
                                        << "--port, --delay and --verify go with --run SCRIPT";
    QTest::newRow("port not an address") << QStringList{"--port", "rfc2217://board"}
                                         << "\"rfc2217://board\" is not a network address (the port is missing); "
                                            "use rfc2217://HOST:PORT or tcp://HOST:PORT";
    QTest::newRow("an address of 5000 characters is quoted in part")
        << QStringList{"--port", "tcp://" + QString(5000, u'a') + ":1"}
        << QStringLiteral("\"tcp://%1\u2026\" is not a network address (\"%2\u2026\" is not a host name); use "
                          "rfc2217://HOST:PORT or tcp://HOST:PORT")
               .arg(QString(33, u'a'), QString(39, u'a'));
    QTest::newRow("port with preview") << QStringList{"--preview", "a", "--png", "b", "--port", "/dev/ttyS0"}
                                       << "--port, --delay and --verify go with --run SCRIPT";
    QTest::newRow("scale beyond") << QStringList{"--preview", "a", "--png", "b", "--scale=33"}
                                  << "--scale takes a whole number from 1 to 32, not \"33\"";
    QTest::newRow("delay not a number") << QStringList{"--run", "a", "--delay", "5ms"}
                                        << "--delay takes milliseconds from 0 to 2147483647, not \"5ms\"";
    QTest::newRow("log with a run") << QStringList{"--run", "a", "--log", "b.log"}
                                    << "--log goes with the window, not with --run or --preview";
    QTest::newRow("log without its file") << QStringList{"--log="}
                                          << "--log needs the file to write the session log to";
    QTest::newRow("ports file without a run") << QStringList{"--ports", "rack.ports"}
                                              << "--ports, --jobs, --junit, --log-dir and a second --port go with "
                                                 "--run SCRIPT";
    QTest::newRow("two ports for the window") << QStringList{"--port", "/dev/ttyS0", "--port", "/dev/ttyS1"}
                                              << "--ports, --jobs, --junit, --log-dir and a second --port go with "
                                                 "--run SCRIPT";
    QTest::newRow("ports both ways") << QStringList{"--run", "a", "--port", "/dev/ttyS0", "--ports", "rack.ports"}
                                     << "give the boards as --port or in --ports FILE, not both";
    QTest::newRow("no jobs") << QStringList{"--run", "a", "--ports", "rack.ports", "--jobs", "0"}
                             << "--jobs takes a whole number from 1 to 4096, not \"0\"";
    QTest::newRow("the window") << QStringList() << "";
    QTest::newRow("the window with a log") << QStringList{"--log", "b.log"} << "";
    QTest::newRow("the window on an address") << QStringList{"--port", "rfc2217://[::1]:2000"} << "";
    QTest::newRow("the window on a device") << QStringList{"--port=/dev/ttyUSB0"} << "";
    QTest::newRow("the editor on a script") << QStringList{"--edit", "tank.vnx", "--log", "b.log"} << "";
    QTest::newRow("the editor on a new screen") << QStringList{"--edit", "--port", "/dev/ttyS0"} << "";
    QTest::newRow("the editor with a run") << QStringList{"--run", "a", "--edit"}
                                           << "--edit goes with the window, not with --run, --preview or the other "
                                              "commands";
}

void ScriptCommandTest::refusesWhatItCannotDo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, refusal);
    const Command command = parseCommandLine(arguments);
    QCOMPARE(command.refusal, refusal);
    QCOMPARE(command.kind, refusal.isEmpty() ? Command::Kind::Window : Command::Kind::Refused);
    if (arguments.contains(QStringLiteral("b.log")) && refusal.isEmpty())
        QCOMPARE(command.logFile, QStringLiteral("b.log"));
    // The window opens the port it is given.
    if (refusal.isEmpty() && arguments.value(0).startsWith(QLatin1String("--port")))
        QCOMPARE(command.device, arguments.join(u'=').section(u'=', 1));
    // The editor opens its script, or a new screen.
    if (refusal.isEmpty())
        QCOMPARE(command.edit, arguments.contains(QStringLiteral("--edit")));
    if (command.edit && refusal.isEmpty())
        QCOMPARE(command.editFile, arguments.value(1).startsWith(u'-') ? QString() : arguments.value(1));
}

VARNIX_TEST_MAIN(ScriptCommandTest)
#include "tst_scriptcommand.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// A script made into code: names made into identifiers, byte-list runs kept
// as bytes, lines a language cannot set, and --export on the command line.
#include "app/cli/commandline.h"
#include "hostcode/core/plan.h"
#include "script/runner.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace varnix;
namespace {

// A frame's pieces as "text" and "[N bytes, lower|upper]".
QString piecesSaid(const hostcode::Plan& plan, const hostcode::Action& action)
{
    QStringList out;
    for (const hostcode::Piece& piece : action.pieces) {
        if (piece.block < 0) {
            out << QString::fromLatin1(piece.text);
        } else {
            const hostcode::Block& block = plan.blocks[piece.block];
            out << QStringLiteral("[%1 bytes, %2]")
                       .arg(block.bytes.size())
                       .arg(block.upper ? QStringLiteral("upper") : QStringLiteral("lower"));
        }
    }
    return out.join(u' ');
}

} // namespace

class HostcodeTest : public QObject
{
    Q_OBJECT
private slots:
    void namesBecomeIdentifiers_data();
    void namesBecomeIdentifiers();
    void byteListRunsAreKeptAsBytes_data();
    void byteListRunsAreKeptAsBytes();
    void aBlockSentTwiceIsKeptOnce();
    void whatItWasMadeFromStaysInTheComment();
    void linesALanguageCannotSet_data();
    void linesALanguageCannotSet();
    void runtimesBuildOnTheirOwn_data();
    void runtimesBuildOnTheirOwn();
    void runtimesTakeTheRunnersTimes();
    void exportOptions_data();
    void exportOptions();
    void exportToStandardOutput();
    void exportRefusesWhatItCannotWrite_data();
    void exportRefusesWhatItCannotWrite();
};

void HostcodeTest::namesBecomeIdentifiers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("a name") << "logo" << "logo";
    QTest::newRow("a file's name") << "logo-small" << "logo_small";
    QTest::newRow("runs of others as one") << "my  big logo!" << "my_big_logo";
    QTest::newRow("none at the ends") << "__init__" << "init";
    QTest::newRow("a digit first") << "3d" << "3d";
    QTest::newRow("accented letters") << "\u00e9cran \u00fcber" << "ecran_uber";
    QTest::newRow("letters that do not decompose") << "Stra\u00dfe \u00f8l" << "Strasse_ol";
    QTest::newRow("no Latin letters") << "\u0434\u0438\u0441\u043f\u043b\u0435\u0439" << "";
    QTest::newRow("nothing left") << "---" << "";
    QTest::newRow("cut, not ending in _") << QString(39, u'a') + QStringLiteral("-b") << QString(39, u'a');
}

void HostcodeTest::namesBecomeIdentifiers()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QCOMPARE(hostcode::identifierFrom(text), name);
    QCOMPARE(hostcode::isIdentifier(text), text == name);
}

void HostcodeTest::byteListRunsAreKeptAsBytes_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("pieces");
    QTest::newRow("no list") << "]c]402014" << "]c]402014";
    QTest::newRow("an LCD write") << "]m]007f0007]00]01]02]03]04]05]f6]07" << "]m]007f0007 [8 bytes, lower]";
    QTest::newRow("too short to loop") << "]o]00000006]00]01]02]03]04]05]06" << "]o]00000006]00]01]02]03]04]05]06";
    QTest::newRow("capitals") << "]w]0000]AB]CD]EF]AB]CD]EF]AB]CD" << "]w]0000 [8 bytes, upper]";
    QTest::newRow("a change of case ends a run")
        << "]aa]bb]cc]dd]AA]BB]CC]DD]EE]FF]AA]BB" << "]aa]bb]cc]dd [8 bytes, upper]";
    QTest::newRow("a pair of both cases is text") << "]00]11]22]33]44]55]66]77]aB]88"
                                                  << "[8 bytes, lower] ]aB]88";
    QTest::newRow("a cut item after it") << "]00]11]22]33]44]55]66]77]8" << "[8 bytes, lower] ]8";
    QTest::newRow("not hex") << "]00]11]22]33]44]55]66]7g]88" << "]00]11]22]33]44]55]66]7g]88";
    QTest::newRow("nothing") << "" << "";
}

void HostcodeTest::byteListRunsAreKeptAsBytes()
{
    QFETCH(QString, frame);
    QFETCH(QString, pieces);
    script::Script script;
    script.steps.append({script::Step::Kind::Send, 1, frame});
    const hostcode::Plan plan = hostcode::planOf(script);
    QCOMPARE(piecesSaid(plan, plan.actions.constFirst()), pieces);
    // The pieces put back together are the frame.
    QByteArray whole;
    for (const hostcode::Piece& piece : plan.actions.constFirst().pieces) {
        if (piece.block < 0) {
            whole += piece.text;
            continue;
        }
        const hostcode::Block& block = plan.blocks[piece.block];
        for (const char byte : block.bytes) {
            const QByteArray pair = QByteArray(1, byte).toHex();
            whole += ']' + (block.upper ? pair.toUpper() : pair);
        }
    }
    QCOMPARE(QString::fromLatin1(whole), frame);
}

// An animation that shows a picture twice keeps its bytes once.
void HostcodeTest::aBlockSentTwiceIsKeptOnce()
{
    const QByteArray text = "]m]00070000]01]02]03]04]05]06]07]08\n"
                            "]m]00070000]ff]ff]ff]ff]ff]ff]ff]ff\n"
                            "]m]00070000]01]02]03]04]05]06]07]08\n";
    const hostcode::Plan plan = hostcode::planOf(std::get<script::Script>(script::readScript(text)));
    QCOMPARE(plan.blocks.size(), 2);
    QCOMPARE(plan.actions[0].pieces[1].block, plan.actions[2].pieces[1].block);
}

// A file name or a text with a line break or a comment's end in it cannot
// end the file's comment and be taken for code.
void HostcodeTest::whatItWasMadeFromStaysInTheComment()
{
    hostcode::Source source;
    source.script = std::get<script::Script>(script::readScript("]k\n"));
    source.madeFrom = QStringLiteral("the text \"x\nMARK */ import os\"");
    for (const char* language : {"c", "arduino", "python"}) {
        const QString code = hostcode::generate(source, *hostcode::languageNamed(QLatin1String(language)),
                                                QStringLiteral("x"))
                                 .text;
        QVERIFY2(code.contains(QStringLiteral("x\\x0aMARK *\\x2f import os")), language);
        QVERIFY2(!code.contains(QStringLiteral("\nMARK")) && !code.contains(QStringLiteral("MARK */")), language);
    }
}

void HostcodeTest::linesALanguageCannotSet_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("C at the window's 56000") << "56000,n,8,1" << "c" << "no speed of 56000 baud";
    QTest::newRow("Arduino at 56000") << "56000,n,8,1" << "arduino" << "";
    QTest::newRow("C at 115200, even, 7, 2") << "115200,e,7,2" << "c" << "";
    QTest::newRow("Arduino with mark parity") << "9600,m,8,1" << "arduino" << "no mark parity";
    QTest::newRow("Python with mark parity") << "9600,m,8,1" << "python" << "";
    QTest::newRow("C with 1.5 stop bits") << "9600,n,5,1.5" << "c" << "no 1.5 stop bits";
    QTest::newRow("not a line") << "9600" << "python" << "no line setting";
}

void HostcodeTest::linesALanguageCannotSet()
{
    QFETCH(QString, line);
    QFETCH(QString, language);
    QFETCH(QString, refusal);
    hostcode::Source source;
    source.script = std::get<script::Script>(script::readScript("]k\n"));
    source.lineSettings = line;
    const hostcode::Code code = hostcode::generate(source, *hostcode::languageNamed(language), QStringLiteral("clear"));
    QVERIFY2(refusal.isEmpty() ? code.ok() : code.refusal.contains(refusal), qPrintable(code.refusal));
    QCOMPARE(code.text.isEmpty(), !refusal.isEmpty());
}

void HostcodeTest::runtimesBuildOnTheirOwn_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    const QStringList warnings{"-Wall", "-Wextra", "-Werror", "-fsyntax-only"};
    for (const char* cc : {"gcc", "clang"}) {
        QTest::addRow("C, %s", cc) << "runtime.c" << cc << warnings;
        QTest::addRow("C with its main(), %s", cc) << "runtime.c" << cc << warnings + QStringList{"-DVARNIX_MAIN"};
    }
    const QString core = QStringLiteral("/usr/share/arduino/hardware/arduino/avr");
    QTest::newRow("Arduino, for an Uno")
        << "runtime.cpp" << "avr-g++"
        << warnings + QStringList{"-x", "c++", "-std=gnu++11", "-Os", "-mmcu=atmega328p", "-DF_CPU=16000000L",
                                  "-DARDUINO=10807", "-DARDUINO_AVR_UNO", "-DARDUINO_ARCH_AVR",
                                  "-DDECIMAL_DIG=__DECIMAL_DIG__", "-I", core + "/cores/arduino", "-I",
                                  core + "/variants/standard"};
    QTest::newRow("Python") << "runtime.py" << "python3" << QStringList{"-m", "py_compile"};
}

// What every export carries, compiled by itself with every warning as an
// error, or byte-compiled: its steps are there for any script, used or not.
void HostcodeTest::runtimesBuildOnTheirOwn()
{
    QFETCH(QString, file);
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    if (QStandardPaths::findExecutable(tool).isEmpty())
        QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QVERIFY(QFile::copy(QStringLiteral(":/hostcode/runtime/") + file, path));
    QProcess compiler;
    compiler.setProcessChannelMode(QProcess::MergedChannels);
    compiler.start(tool, arguments + QStringList{path});
    QVERIFY(compiler.waitForFinished(60000));
    QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());
}

// The exports wait as long as a run does: the runner's times, not the file's.
void HostcodeTest::runtimesTakeTheRunnersTimes()
{
    hostcode::Source source;
    source.script = std::get<script::Script>(script::readScript("]k\n"));
    const auto code = [&](const char* language) {
        return hostcode::generate(source, *hostcode::languageNamed(QLatin1String(language)), QStringLiteral("x")).text;
    };
    QVERIFY(code("c").contains(QStringLiteral("#define VX_READY_MS %1\n").arg(script::kReadyTimeoutMs)));
    QVERIFY(code("c").contains(QStringLiteral("#define VX_SETTLE_MS %1\n").arg(script::Runner::kSettleMs)));
    QVERIFY(code("arduino").contains(
        QStringLiteral("#define VX_LONGEST_SETTLE_MS %1UL\n").arg(script::Runner::kLongestSettleMs)));
    QVERIFY(code("python").contains(QStringLiteral("_SETTLE_SECONDS = %1\n").arg(script::Runner::kSettleMs / 1000.0)));
    // The repository's own comment stays behind.
    for (const char* language : {"c", "arduino", "python"})
        QVERIFY2(!code(language).contains(QStringLiteral("SPDX")), language);
}

void HostcodeTest::exportOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("refusal");
    const QStringList base{"--export", "a.vnx", "--lang", "c", "-o", "a.c"};
    QTest::newRow("a script") << (base + QStringList{"--delay", "5", "--line", "9600,e,7,1"}) << "";
    QTest::newRow("a picture") << QStringList{"--picture", "p.png", "--export", "--lang", "Arduino", "-o", "p.ino"}
                               << "";
    QTest::newRow("no language") << QStringList{"--export", "a.vnx", "-o", "a.c"}
                                 << "--export needs --lang c, arduino or python";
    QTest::newRow("another language") << QStringList{"--export=a.vnx", "--lang", "rust", "-o", "a.c"}
                                      << "--lang takes c, arduino or python, not \"rust\"";
    QTest::newRow("no file") << QStringList{"--export", "a.vnx", "--lang", "c"}
                             << "--export needs -o OUT, the file to write the code to";
    QTest::newRow("a name made into one") << (base + QStringList{"--name", "2 logo-x"}) << "";
    QTest::newRow("no name") << (base + QStringList{"--name", "---"})
                             << "--name \"---\" gives no name for the function (varnix_send_NAME): use letters, "
                                "digits and _";
    QTest::newRow("scale without png") << QStringList{"--text", "hi", "--script", "a.vnx", "--scale", "2"}
                                       << "--scale goes with --png";
    QTest::newRow("no line") << (base + QStringList{"--line", "19200"})
                             << "--line takes the line's settings as BAUD,PARITY,BITS,STOP such as 19200,n,8,1, not "
                                "\"19200\"";
    QTest::newRow("without --export") << QStringList{"--lang", "c"} << "--lang goes with --export";
    QTest::newRow("nothing to export") << QStringList{"--export", "--lang", "c", "-o", "a.c"}
                                       << "--export needs the script to export, or goes with --text or --picture";
    QTest::newRow("a script after a picture")
        << QStringList{"--picture", "p.png", "--export", "a.vnx", "--lang", "c", "-o", "a.c"}
        << "--export SCRIPT goes alone; after --text or --picture, --export takes no script";
    QTest::newRow("a port") << (base + QStringList{"--port", "/dev/ttyS0"})
                            << "--port and --verify go with --run SCRIPT";
}

void HostcodeTest::exportOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, refusal);
    const Command command = parseCommandLine(arguments);
    QCOMPARE(command.refusal, refusal);
    if (refusal.isEmpty()) {
        QVERIFY(command.exporting.asked);
        QCOMPARE(command.kind, arguments.first() == u"--export" ? Command::Kind::Export : Command::Kind::Make);
    }
}

// "-o -" is the standard output, with the code alone on it; --name made
// into a name as the dialog makes it, and said so.
void HostcodeTest::exportToStandardOutput()
{
    QTemporaryDir dir;
    const QString script = test::writeScriptFile(dir, "]k\n");
    QProcess program;
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--export", script, "--lang", "python", "--name", "2 logo-x", "-o", "-"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    const QByteArray code = program.readAllStandardOutput();
    QVERIFY2(code.startsWith("#!/usr/bin/env python3\n") && code.contains("\ndef varnix_send_2_logo_x(port):\n")
                 && code.endsWith("stopbits=serial.STOPBITS_ONE))\n"),
             code);
    QCOMPARE(program.readAllStandardError(),
             QByteArray("varnix: \"2 logo-x\" is no name a language takes: the function is varnix_send_2_logo_x\n"
                        "varnix: Python (pyserial), varnix_send_2_logo_x(), 1 frame at 19200,n,8,1\n"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("-"))));
}

void HostcodeTest::exportRefusesWhatItCannotWrite_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("said");
    QTest::newRow("a line the reader refuses") << QByteArray("]k\nfill 3\n") << "19200,n,8,1"
                                               << "test.vnx: line 2: unknown word \"fill\"";
    QTest::newRow("a speed termios lacks") << QByteArray("]k\n") << "28800,n,8,1" << "no speed of 28800 baud";
    // Named once: "cannot open nothere.vnx", not "nothere.vnx: cannot open ...".
    QTest::newRow("a file that is not there") << QByteArray() << "19200,n,8,1"
                                              << "varnix: cannot open %1/nothere.vnx: No such file or directory\n";
}

// Refused by a line that says why, and no file written.
void HostcodeTest::exportRefusesWhatItCannotWrite()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, line);
    QFETCH(QString, said);
    QTemporaryDir dir;
    ExportChoice choice;
    choice.asked = true;
    choice.language = QStringLiteral("c");
    choice.line = line;
    choice.output = dir.filePath(QStringLiteral("out.c"));
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const QString path =
        script.isNull() ? dir.filePath(QStringLiteral("nothere.vnx")) : test::writeScriptFile(dir, script);
    QCOMPARE(exporting::exportScript(path, choice, 20, outStream, errStream), 2);
    if (script.isNull())
        QCOMPARE(err, said.arg(dir.path()));
    else
        QVERIFY2(err.contains(said), qPrintable(err));
    QVERIFY(!QFile::exists(choice.output));
}

VARNIX_TEST_MAIN(HostcodeTest)
#include "tst_hostcode.moc"

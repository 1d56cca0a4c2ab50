// SPDX-License-Identifier: GPL-3.0-or-later
// A script made into code: names made into identifiers, byte-list runs kept
// as bytes, lines a language cannot set, and --export on the command line.
#include "app/cli/commandline.h"
#include "hostcode/core/plan.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

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
    void exportOptions_data();
    void exportOptions();
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
    QTest::newRow("letters beyond ASCII") << "\u00fcber" << "ber";
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
    QTest::newRow("no name") << (base + QStringList{"--name", "my logo"})
                             << "--name takes letters, digits and _ (the function is varnix_send_NAME), not "
                                "\"my logo\"; my_logo would do";
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

void HostcodeTest::exportRefusesWhatItCannotWrite_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("said");
    QTest::newRow("a line the reader refuses") << QByteArray("]k\nfill 3\n") << "19200,n,8,1"
                                               << "test.vnx: line 2: unknown word \"fill\"";
    QTest::newRow("a speed termios lacks") << QByteArray("]k\n") << "28800,n,8,1" << "no speed of 28800 baud";
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
    QCOMPARE(exporting::exportScript(test::writeScriptFile(dir, script), choice, 20, outStream, errStream), 2);
    QVERIFY2(err.contains(said), qPrintable(err));
    QVERIFY(!QFile::exists(choice.output));
}

VARNIX_TEST_MAIN(HostcodeTest)
#include "tst_hostcode.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// Scripts: the reader on good and bad files, the runner on a port in memory
// with time that passes at once, and a recording saved and read back.
#include "link/core/connection.h"
#include "link/terminal.h"
#include "script/recorder.h"
#include "script/runner.h"
#include "script/script.h"
#include "support/fixture.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace varnix;
using Outcome = script::Runner::Outcome;

namespace {

// The steps as "line:kind:text:ms", one per step.
QStringList described(const script::Script& s)
{
    static const char* const kinds[] = {"send", "delay", "wait", "expect", "ready"};
    QStringList out;
    for (const script::Step& step : s.steps) {
        QString text = step.kind == script::Step::Kind::Ready ? QString(step.on ? "on" : "off") : step.text;
        out << QStringLiteral("%1:%2:%3:%4").arg(step.line).arg(kinds[int(step.kind)], text).arg(step.milliseconds);
    }
    return out;
}

QString errorOf(const script::ReadResult& read)
{
    const auto* error = std::get_if<script::ReadError>(&read);
    return error ? error->describe() : QString();
}

} // namespace

class ScriptTest : public QObject
{
    Q_OBJECT
private slots:
    void readsGoodScripts_data();
    void readsGoodScripts();
    void refusesBadLinesByNumber_data();
    void refusesBadLinesByNumber();
    void quotesAShortPartOfALongText_data();
    void quotesAShortPartOfALongText();
    void runsAgainstAnsweringPort_data();
    void runsAgainstAnsweringPort();
    void stopAtFrameEndAwaitsTheAnswer();
    void recordingSavedReplaysTheSameBytes();
};

void ScriptTest::readsGoodScripts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("frames, comments, blanks, CRLF")
        << QByteArray("# a screen\r\n\r\n]k\r\n  ]c]402014  \r\n\t# indented comment\n]d]4020")
        << QStringList{"3:send:]k:0", "4:send:]c]402014:0", "6:send:]d]4020:0"};
    QTest::newRow("words") << QByteArray("delay 5\nwait 250\nready off\nready on\nexpect Ready:")
                           << QStringList{"1:delay::5", "2:wait::250", "3:ready:off:0", "4:ready:on:0",
                                          "5:expect:Ready::5000"};
    QTest::newRow("expect with seconds, spaces and escapes")
        << QByteArray("expect 41424344Ready: 0.5\nexpect two words 2\nexpect 12\nexpect a\\x20b\\\\ 10")
        << QStringList{"1:expect:41424344Ready::500", "2:expect:two words:2000", "3:expect:12:5000",
                       "4:expect:a b\\:10000"};
    QTest::newRow("the longest delay, a byte order mark")
        << QByteArray("\xef\xbb\xbf" "delay 2147483647") << QStringList{"1:delay::2147483647"};
    QTest::newRow("escaped frames") << QByteArray("]p]0a0a]\\x5d\n]h]0120]A]\\\\]@\n\\x41bc\n]p]0a0a]\\xe9")
                                    << QStringList{"1:send:]p]0a0a]]:0", "2:send:]h]0120]A]\\]@:0",
                                                   "3:send:Abc:0", QStringLiteral("4:send:]p]0a0a]\u00e9:0")};
}

void ScriptTest::readsGoodScripts()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, steps);
    const auto read = script::readScript(file);
    QVERIFY2(std::holds_alternative<script::Script>(read), qPrintable(errorOf(read)));
    QCOMPARE(described(std::get<script::Script>(read)), steps);
}

void ScriptTest::refusesBadLinesByNumber_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown word") << QByteArray("]k\n\nclear\n]c]402014") << "line 3: unknown word \"clear\"";
    QTest::newRow("capital word") << QByteArray("Delay 5") << "line 1: unknown word \"Delay\"";
    QTest::newRow("delay not a number") << QByteArray("# x\ndelay fast") << "line 2: delay needs";
    QTest::newRow("delay negative") << QByteArray("delay -5") << "line 1: delay needs";
    QTest::newRow("delay missing") << QByteArray("delay") << "line 1: delay needs";
    QTest::newRow("delay beyond the longest") << QByteArray("delay 2147483648") << "line 1: delay needs";
    QTest::newRow("wait with a fraction") << QByteArray("]k\nwait 1.5") << "line 2: wait needs";
    QTest::newRow("expect nothing") << QByteArray("expect") << "line 1: expect needs the text";
    QTest::newRow("ready maybe") << QByteArray("ready maybe") << "line 1: ready takes on or off";
    QTest::newRow("lone backslash") << QByteArray("]k\n]p]0a0a]\\") << "line 2: bad escape \"\\\\\"";
    QTest::newRow("short hex escape") << QByteArray("]p]0a0a]\\x4") << "line 1: bad escape \"\\\\x4\"";
    QTest::newRow("unknown escape") << QByteArray("\n\n]h]0120]\\n]@") << "line 3: bad escape \"\\\\n]@\"";
    QTest::newRow("beyond one byte") << QByteArray("]p]0a0a]\xe2\x82\xac") << "line 1: the character";
    QTest::newRow("not UTF-8") << QByteArray("]k\n]k\n]p]0a0a]\xff\n") << "line 3: not UTF-8 text";
    QTest::newRow("line ends inside a character") << QByteArray("# comment\xc3\n]k") << "line 1: not UTF-8 text";
    QTest::newRow("last line ends inside a character") << QByteArray("]k\n# \xe2\x82") << "line 2: not UTF-8 text";
    QTest::newRow("frame too long") << QByteArray("]k\n]m]" + QByteArray(40000, '0'))
                                    << "line 2: a frame of 40003 characters";
}

void ScriptTest::refusesBadLinesByNumber()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    const auto read = script::readScript(file);
    QVERIFY(std::holds_alternative<script::ReadError>(read));
    const QString said = std::get<script::ReadError>(read).describe();
    QVERIFY2(said.startsWith(error), qPrintable(said));
}

void ScriptTest::quotesAShortPartOfALongText_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    const QString cut = QString(39, u'9') + u'\u2026';
    QTest::newRow("delay") << "delay " + QByteArray(50000, '9')
                           << "line 1: delay needs a whole number of milliseconds from 0 to 2147483647, not \"" + cut
                                  + u'"';
    QTest::newRow("unknown word") << "]k\n" + QByteArray(50000, 'a')
                                  << "line 2: unknown word \"" + QString(39, u'a') + "\u2026\" (a frame begins with \"]\")";
    QTest::newRow("ready") << "ready " + QByteArray(50000, '\x01')
                           << "line 1: ready takes on or off, not \"" + QString("\\x01").repeated(10).left(39)
                                  + "\u2026\"";
    QTest::newRow("forty stay whole") << "ready " + QByteArray(40, 'x')
                                      << "line 1: ready takes on or off, not \"" + QString(40, u'x') + u'"';
}

void ScriptTest::quotesAShortPartOfALongText()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QCOMPARE(errorOf(script::readScript(file)), error);
}

void ScriptTest::runsAgainstAnsweringPort_data()
{
    QTest::addColumn<QByteArray>("file");
    // "frame=answer": what the port answers a frame; a frame not listed
    // gets "Ready:".
    QTest::addColumn<QStringList>("answers");
    // What the board says while the first frame goes out.
    QTest::addColumn<QString>("meanwhile");
    // Each answer comes a frame late: while the next frame goes out, or
    // during the wait after the last.
    QTest::addColumn<bool>("late");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("framesAnswered");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("atLeastMs");

    const QString error = QStringLiteral("Error: unknown command\r\nReady:\r\n");
    const QString hexError = QStringLiteral("]c]zz0101=Error: hex digit expected\r\nReady:\r\n");
    const QString greeting = QStringLiteral("Lumdra demo firmware, virtual Tessel board\r\nReady:\r\n");
    const QByteArray refusedLast("]k\n]d]0101\n]c]zz0101");
    QTest::newRow("every frame answered") << QByteArray("]k\n]c]402014") << QStringList() << "" << false
                                          << int(Outcome::Done) << 0 << 2 << "]k]c]402014" << 0;
    QTest::newRow("a prompt that never comes ends the run there")
        << QByteArray("]k\n]d]0101\n]c]402014") << QStringList{"]d]0101="} << "" << false << int(Outcome::NoAnswer)
        << 2 << 1 << "]k]d]0101" << script::kReadyTimeoutMs;
    QTest::newRow("error stops there") << QByteArray("]k\n]z]\n]c]402014") << QStringList{"]z]=" + error} << ""
                                       << false << int(Outcome::BoardError) << 2 << 1 << "]k]z]" << 0;
    QTest::newRow("error seen at the next frame with the prompt off")
        << QByteArray("ready off\n]z]\n]c]402014") << QStringList{"]z]=" + error} << "" << false
        << int(Outcome::BoardError) << 2 << 0 << "]z]" << 0;
    QTest::newRow("no prompt awaited when off") << QByteArray("ready off\n]d]0101\n]k") << QStringList{"]d]0101="}
                                                << "" << false << int(Outcome::Done) << 0 << 2 << "]d]0101]k" << 0;
    QTest::newRow("expect met") << QByteArray("]n]00000000\nexpect ff") << QStringList{"]n]00000000=ffReady:\r\n"}
                                << "" << false << int(Outcome::Done) << 0 << 1 << "]n]00000000" << 0;
    QTest::newRow("expect times out") << QByteArray("]k\nexpect Done 3\n]c]402014") << QStringList() << "" << false
                                      << int(Outcome::ExpectTimedOut) << 2 << 1 << "]k" << 3000;
    QTest::newRow("wait") << QByteArray("wait 1500\n]k") << QStringList() << "" << false << int(Outcome::Done) << 0
                          << 1 << "]k" << 1500;
    // Each answer is its own frame's, however late or early it comes.
    QTest::newRow("a greeting while the first frame goes out is not counted")
        << refusedLast << QStringList{hexError} << greeting << false << int(Outcome::BoardError) << 3 << 2
        << "]k]d]0101]c]zz0101" << 0;
    QTest::newRow("answers a frame late, the last one refused")
        << refusedLast << QStringList{hexError} << "" << true << int(Outcome::BoardError) << 3 << 2
        << "]k]d]0101]c]zz0101" << 0;
    QTest::newRow("a prompt while a frame goes out is not its answer")
        << QByteArray("]d]0101\n]k") << QStringList{"]d]0101="} << "Ready:\r\n" << false << int(Outcome::NoAnswer)
        << 1 << 0 << "]d]0101" << script::kReadyTimeoutMs;
    QTest::newRow("an error while a frame goes out is its refusal")
        << QByteArray("]d]0101\n]k") << QStringList{"]d]0101="} << error << false << int(Outcome::BoardError) << 1
        << 0 << "]d]0101" << 0;
    QTest::newRow("prompt off: the last frame's error is awaited")
        << QByteArray("ready off\n]k\n]z]") << QStringList{"]z]=" + error} << "" << true << int(Outcome::BoardError)
        << 3 << 1 << "]k]z]" << 0;
}

void ScriptTest::runsAgainstAnsweringPort()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, answers);
    QFETCH(QString, meanwhile);
    QFETCH(bool, late);
    QFETCH(int, outcome);
    QFETCH(int, line);
    QFETCH(int, framesAnswered);
    QFETCH(QString, written);
    QFETCH(int, atLeastMs);

    test::FakePort port;
    test::RecordingPause pause;
    link::Connection connection(port, pause);
    QVERIFY(connection.open());
    QString held;
    const auto arrive = [&](const QString& text) {
        port.incoming += text;
        emit port.readyRead();
    };
    QObject::connect(&connection, &link::Connection::sent, [&](const QString& frame, bool) {
        QString answer = QStringLiteral("Ready:\r\n");
        for (const QString& entry : answers) {
            if (entry.section(u'=', 0, 0) == frame)
                answer = entry.section(u'=', 1);
        }
        if (late)
            held += answer;
        else
            port.incoming += answer;
    });
    pause.duringWait = [&] {
        arrive(std::exchange(held, {}));
        if (port.written.size() <= 1)
            arrive(std::exchange(meanwhile, {}));
    };
    test::StandInClock clock;
    clock.duringSleep = [&] {
        if (port.written.size() > 0)
            arrive(std::exchange(held, {}));
    };
    script::Runner runner(connection, clock);
    runner.setStartLine(QStringLiteral("Lumdra demo firmware"));
    const auto result = runner.run(std::get<script::Script>(script::readScript(file)), 20);

    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(result.line, line);
    QCOMPARE(result.framesAnswered, framesAnswered);
    QCOMPARE(port.written, written);
    QVERIFY2(clock.ms >= atLeastMs, qPrintable(QString::number(clock.ms)));
    // A prompt that comes ends its wait at once.
    if (atLeastMs == 0)
        QVERIFY2(clock.ms < 1000, qPrintable(QString::number(clock.ms)));
}

void ScriptTest::stopAtFrameEndAwaitsTheAnswer()
{
    test::FakePort port;
    test::RecordingPause pause;
    link::Connection connection(port, pause);
    QVERIFY(connection.open());
    test::StandInClock clock;
    script::Runner runner(connection, clock);
    // Asked to stop while the second frame goes out; its answer comes late.
    QString held;
    QObject::connect(&connection, &link::Connection::sent, [&](const QString&, bool) { held += "Ready:\r\n"; });
    pause.duringWait = [&] {
        if (port.written.size() == 4)
            runner.stopAtFrameEnd();
    };
    int sleptAfterStop = 0;
    clock.duringSleep = [&] {
        if (!held.isEmpty()) {
            port.incoming += std::exchange(held, {});
            emit port.readyRead();
        } else if (port.written.size() >= 4) {
            ++sleptAfterStop;
        }
    };
    const auto result = runner.run(std::get<script::Script>(script::readScript("]k\n]c]402014\n]k")), 20);
    QCOMPARE(int(result.outcome), int(Outcome::Stopped));
    QCOMPARE(port.written, QStringLiteral("]k]c]402014"));
    QCOMPARE(result.framesAnswered, 2);
    QCOMPARE(sleptAfterStop, 0);
}

void ScriptTest::recordingSavedReplaysTheSameBytes()
{
    test::Fixture f;
    f.openPort();
    QTemporaryDir dir;
    f.desktop.savePath = dir.filePath(QStringLiteral("taken"));

    f.click(QStringLiteral("Command1"));  // ]k before recording: not taken
    f.click(QStringLiteral("cmdRecord"));
    f.click(QStringLiteral("Command1"));
    // Typed: Escape, a backslash, a letter, Enter.
    for (const QChar key : {QChar(27), QChar(u'\\'), QChar(u'a'), QChar(13)})
        f.main().terminal().txmText_KeyPress(key);
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("5"));
    f.setField(QStringLiteral("txtH"), QStringLiteral("A\\]B"));
    f.click(QStringLiteral("cmdH"));
    f.setField(QStringLiteral("txtPutChr"), QStringLiteral("\u00e9"));
    f.click(QStringLiteral("cmdPutChr"));
    // A blank for the character, which the frame must keep at its end, sent
    // with a delay as long as the window allows.
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("2147483647"));
    f.setField(QStringLiteral("txtPutChr"), QStringLiteral(" "));
    f.click(QStringLiteral("cmdPutChr"));
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("20"));
    f.click(QStringLiteral("cmdRecord"));
    f.click(QStringLiteral("Command1"));  // after: not taken
    f.click(QStringLiteral("cmdSaveScript"));
    QCOMPARE(f.desktop.texts(), QStringList());

    const QString expected = f.port.written.mid(2, f.port.written.size() - 4);
    QVERIFY(expected.contains(QChar(0xc9)) && expected.contains(QChar(27)) && expected.endsWith(u' '));
    const auto read = script::readScriptFile(f.desktop.savePath + QStringLiteral(".vnx"));
    QVERIFY2(std::holds_alternative<script::Script>(read), qPrintable(errorOf(read)));
    const script::Script& saved = std::get<script::Script>(read);
    QCOMPARE(saved.frames().join(QString()), expected);
    QStringList delays;
    for (const script::Step& step : saved.steps) {
        if (step.kind == script::Step::Kind::Delay)
            delays << QString::number(step.milliseconds);
    }
    QCOMPARE(delays, (QStringList{"20", "5", "2147483647"}));

    // Played back, the same bytes go out, paced as they were.
    test::FakePort port;
    test::RecordingPause pause;
    link::Connection connection(port, pause);
    QVERIFY(connection.open());
    QObject::connect(&connection, &link::Connection::sent, [&](const QString&, bool) { port.incoming += "Ready:"; });
    test::StandInClock clock;
    script::Runner runner(connection, clock);
    QCOMPARE(int(runner.run(saved, 200).outcome), int(Outcome::Done));
    QCOMPARE(port.written, expected);
    QCOMPARE(pause.waits.first().milliseconds, 20);
    QCOMPARE(pause.waits.last().milliseconds, 2147483647);
}

VARNIX_TEST_MAIN(ScriptTest)
#include "tst_script.moc"

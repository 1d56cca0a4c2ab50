// SPDX-License-Identifier: GPL-3.0-or-later
// The line monitor's decoder and the files it reads: what a host sent,
// frame by frame with the firmware's verdict, from bytes with their times
// and from captures, logs, scripts and raw files.
#include "monitor/core/capture.h"
#include "monitor/core/decoder.h"
#include "monitor/core/eventtable.h"
#include "monitor/core/scriptexport.h"
#include "script/script.h"
#include "support/testmain.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace varnix;
using monitor::Event;

namespace {

// An event as the table shows it: its bytes and verdict, or a note's text.
QString shown(const Event& event)
{
    if (event.kind == Event::Kind::Note)
        return QStringLiteral("* ") + event.meaning.section(u',', 0, 0);
    if (event.kind == Event::Kind::Answer)
        return QStringLiteral("< ") + event.text();
    return event.text() + QStringLiteral(" | ") + event.verdict();
}

struct Collected {
    QList<Event> events;
    monitor::Decoder::Sink sink()
    {
        return [this](const Event& event) { events << event; };
    }
    QStringList shown() const
    {
        QStringList lines;
        for (const Event& event : events)
            lines << ::shown(event);
        return lines;
    }
};

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

} // namespace

class DecoderTest : public QObject
{
    Q_OBJECT
private slots:
    void verdicts_data();
    void verdicts();
    void answersFollowTheirFrames();
    void files_data();
    void files();
    void scriptSendsWhatTheHostSent();
    void tableKeepsItsLimitAndItsDisplays();
};

void DecoderTest::verdicts_data()
{
    QTest::addColumn<QStringList>("parts"); // a millisecond apart; "pause" is 100 ms of quiet
    QTest::addColumn<QStringList>("events");
    QTest::newRow("frames and typed text")
        << QStringList{"]k]c]402014hel", "lo\r\n]d]1020"}
        << QStringList{"]k | taken", "]c]402014 | taken", "hello\\x0d\\x0a | ignored", "]d]1020 | taken"};
    QTest::newRow("a block outside the display memory")
        << QStringList{"]m]80810000]ff]00"}
        << QStringList{"]m]80810000 | Error: block outside the display memory", "]ff]00 | skipped after the error"};
    QTest::newRow("a bad field") << QStringList{"]c]40zz14"}
                                 << QStringList{"]c]40z | Error: hex digit expected", "z14 | skipped after the error"};
    QTest::newRow("a stream that starts inside a frame")
        << QStringList{"0214]c]402014"} << QStringList{"0214 | ignored", "]c]402014 | taken"};
    QTest::newRow("a frame cut short by the next")
        << QStringList{"]c]40]d]1020"} << QStringList{"]c]40 | Error: frame cut short", "]d]1020 | taken"};
    QTest::newRow("the character ] with its line end at once")
        << QStringList{"]p]4020]]\r\n"}
        << QStringList{"]p]4020]]\\x0d | Error: character missing", "\\x0a | skipped after the error"};
    QTest::newRow("the character ] and a pause")
        << QStringList{"]p]4020]]", "pause", "\r\n"}
        << QStringList{"]p]4020]] | taken", "\\x0d\\x0a | ignored"};
    QTest::newRow("a step and a letter at once")
        << QStringList{"]f]4A"} << QStringList{"]f]4A | Error: number expected"};
    QTest::newRow("a step ended by the quiet") << QStringList{"]f]4", "pause", "A"}
                                               << QStringList{"]f]4 | taken", "A | ignored"};
    QTest::newRow("an unknown command") << QStringList{"]z]00"}
                                        << QStringList{"]z | Error: unknown command", "]00 | skipped after the error"};
    QTest::newRow("a frame that never ends") << QStringList{"]k]h]0000]A]B"}
                                             << QStringList{"]k | taken", "]h]0000]A]B | unfinished"};
}

void DecoderTest::verdicts()
{
    QFETCH(QStringList, parts);
    QFETCH(QStringList, events);
    Collected got;
    monitor::Decoder decoder(got.sink());
    qint64 at = 0;
    for (const QString& part : parts) {
        if (part == u"pause") {
            at += 100;
            decoder.quiet(at);
        } else {
            decoder.fromHost(part.toLatin1(), ++at);
        }
    }
    decoder.finish(at + 1);
    QCOMPARE(got.shown(), events);
}

void DecoderTest::answersFollowTheirFrames()
{
    Collected got;
    monitor::Decoder decoder(got.sink());
    decoder.fromBoard("Lumdra demo firmware, virtual Tessel board\r\nReady:\r\n", 0);
    decoder.fromHost("]k]c]40", 10);
    decoder.fromBoard("Ready:\r\n", 11);          // the clear's, while the circle comes
    decoder.fromHost("2014]n]00010000", 12);
    decoder.fromBoard("Ready:\r\n0000Ready:\r\n", 13);
    decoder.fromHost("]d]1020", 20);
    decoder.fromBoard("Error: ] expected\r\nReady:\r\n", 21); // the model took it
    decoder.fromHost("]f]4", 30);
    decoder.fromBoard("Ready:\r\n", 35); // sooner than the model's quiet ends the step
    decoder.fromHost("]k", 100);
    decoder.finish(130);
    QCOMPARE(got.shown(), QStringList({"< Lumdra demo firmware, virtual Tessel board\\x0d\\x0aReady:\\x0d\\x0a",
                                       "]k | taken", "< Ready:\\x0d\\x0a", "]c]402014 | taken", "]n]00010000 | taken",
                                       "< Ready:\\x0d\\x0a", "< 0000Ready:\\x0d\\x0a", "]d]1020 | taken",
                                       "< Error: ] expected\\x0d\\x0aReady:\\x0d\\x0a", "]f]4 | taken",
                                       "< Ready:\\x0d\\x0a", "]k | taken"}));
    QCOMPARE(got.events[0].meaning, QStringLiteral("the board started"));
    QCOMPARE(got.events[2].answers, got.events[1].number);
    QCOMPARE(got.events[6].meaning, QStringLiteral("answer to 5 (LCD read): 2 bytes"));
    QVERIFY(!got.events[6].unexpected);
    QVERIFY(got.events[8].unexpected);
    QCOMPARE(got.events[10].answers, got.events[9].number);
}

void DecoderTest::files_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("a capture cut inside a frame")
        << "cut.log"
        << QByteArray("Varnix 1.2 capture: host a, board b, 19200,n,8,1, 2025-01-31\n"
                      "10:00:00.000 > ]k\n10:00:00.010 < Ready:\\x0d\\x0a\n10:00:00.500 > ]c]4")
        << QStringList{"]k | taken", "< Ready:\\x0d\\x0a", "]c]4 | unfinished"};
    QTest::newRow("a session log with damaged lines")
        << "session.log"
        << QByteArray("Varnix 1.2 session log: /dev/ttyUSB0, 19200,n,8,1, 2025-01-31\n10:00:00.000 > ]k\n"
                      "10:00:0X.000 > ]f]1\n10:00:00.100 < Ready:\n10:00:00.200 > ]c]4\\x4\n"
                      "10:00:01.000 * closed\n10:00:02.000 > ]d]1020\n")
        << QStringList{"]k | taken", "* line 3: not a line of a capture", "< Ready:\\x0d\\x0a",
                       "* line 5: a broken escape at column 20", "* closed", "]d]1020 | taken"};
    QTest::newRow("jpnevulator between host and board")
        << "jpnevulator.txt"
        << QByteArray("2025-01-31 10:00:00.000100: /dev/ttyUSB0\n5D 6B 5D 63 5D 34 30 32 30 31 34\t]k]c]402014\n"
                      "2025-01-31 10:00:00.050000: /dev/ttyUSB1\n52 65 61 64 79 3A 0D 0A\tReady:..\n")
        << QStringList{"]k | taken", "]c]402014 | taken", "< Ready:\\x0d\\x0a"};
    // A screen line is its read of the whole display.
    QTest::newRow("a script") << "screen.vnx" << QByteArray("]k\ndelay 50\n]f]4\n\\x41\nfill\nscreen shot.png\n")
                              << QStringList{"]k | taken", "]f]4 | taken", "A | ignored",
                                             "* line 5: unknown word \"fill\" (a frame begins with \"]\"); left out",
                                             "]n]007f0007 | taken"};
    QTest::newRow("not a capture at all")
        << "picture.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
        << QStringList{"* This is no capture: 5 of its first 16 bytes are no text. It is read as raw bytes the host "
                       "sent.",
                       "\\x89PNG\\x0d\\x0a | ignored", "\\x1a\\x0a | ignored", "\\x00\\x00\\x00\\x0d | ignored",
                       "IHDR | ignored"};
}

void DecoderTest::files()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, events);
    QTemporaryDir dir;
    Collected got;
    monitor::Decoder decoder(got.sink());
    monitor::decodeFile(writeFile(dir, name, bytes), decoder);
    QCOMPARE(got.shown(), events);
}

void DecoderTest::scriptSendsWhatTheHostSent()
{
    // A host's frame paced 20 ms before each "]", a pause of a second, a
    // refused frame sent at once and text: the script sends the same bytes,
    // with the same pacing and the pause.
    QTemporaryDir dir;
    const QString capture = writeFile(
        dir, QStringLiteral("host.log"),
        "Varnix 1.2 capture: host a, board b, 19200,n,8,1, 2025-01-31\n"
        "10:00:00.000 > ]c\n10:00:00.020 > ]402014\n10:00:01.040 > ]m]80810000]ff\n10:00:01.100 > typed \n");
    const QString path = dir.filePath(QStringLiteral("host.vnx"));
    QCOMPARE(monitor::saveAsScript(capture, path), QString());
    const auto read = script::readScriptFile(path);
    QVERIFY(std::holds_alternative<script::Script>(read));
    const script::Script& script = std::get<script::Script>(read);
    QCOMPARE(script.frames(), QStringList({"]c]402014", "]m]80810000", "]fftyped "}));
    QList<int> delays, waits;
    for (const script::Step& step : script.steps) {
        if (step.kind == script::Step::Kind::Delay)
            delays << step.milliseconds;
        if (step.kind == script::Step::Kind::Wait)
            waits << step.milliseconds;
    }
    QCOMPARE(delays, QList<int>({20, 0}));
    QCOMPARE(waits, QList<int>({1020}));
}

void DecoderTest::tableKeepsItsLimitAndItsDisplays()
{
    monitor::EventTable table;
    table.setLimit(100);
    QList<board::Display> displays;
    monitor::Decoder* decoding = nullptr;
    monitor::Decoder decoder([&](const Event& event) {
        table.append(event, decoding->firmware().display());
        displays << decoding->firmware().display();
    });
    decoding = &decoder;
    for (int i = 0; i < 300; ++i)
        decoder.fromHost(QStringLiteral("]e]%1%2").arg(i % 128, 2, 16, QLatin1Char('0')).arg(i % 64, 2, 16,
                                                                                           QLatin1Char('0')).toLatin1(),
                         i);
    decoder.finish(300);
    QCOMPARE(table.size(), 300);
    const qsizetype gone = table.trim();
    QVERIFY(gone > 0 && table.size() <= 100 && table.size() >= 100 - 64);
    QCOMPARE(table.dropped(), gone);
    for (qsizetype i = 0; i < table.size(); ++i) {
        QCOMPARE(table.at(i).number, gone + i + 1);
        QVERIFY2(table.displayAfter(i) == displays[gone + i], qPrintable(QString::number(i)));
    }
}

VARNIX_TEST_MAIN(DecoderTest)
#include "tst_decoder.moc"

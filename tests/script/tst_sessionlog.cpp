// SPDX-License-Identifier: GPL-3.0-or-later
// The session log: what a session on a pseudo-terminal leaves in the file,
// how received text and typing become lines, and a file that fails.
#include "support/pagedriver.h"
#include "support/testmain.h"
#include "link/core/connection.h"
#include "link/terminal.h"
#include "script/sessionlog.h"
#include "widgets/fields.h"

#include "varnixversion.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace varnix;
using namespace varnix::test;

namespace {
QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("(cannot read %1)").arg(path)};
    QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n');
    if (lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

// Each line against a pattern, "T" standing for a time to the millisecond.
void matchLines(const QStringList& lines, const QStringList& patterns)
{
    for (qsizetype i = 0; i < std::max(lines.size(), patterns.size()); ++i) {
        const QString line = lines.value(i, QStringLiteral("(none)"));
        QString pattern = patterns.value(i, QStringLiteral("(none)"));
        pattern.replace(u'T', QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(line).hasMatch(),
                 qPrintable(QStringLiteral("line %1: \"%2\" against %3").arg(i + 1).arg(line, pattern)));
    }
}
} // namespace

class SessionLogTest : public QObject
{
    Q_OBJECT
private slots:
    void shortSessionOnAPty();
    void linesOfASession_data();
    void linesOfASession();
    void fileThatFails_data();
    void fileThatFails();
};

void SessionLogTest::shortSessionOnAPty()
{
    QTemporaryDir dir;
    PtyFixture f;
    f.pty.startReading();
    f.desktop.savePath = dir.filePath(QStringLiteral("session.log"));
    f.click(QStringLiteral("cmdLog"));
    QCOMPARE(f.find<QLabel>(QStringLiteral("lblLog"))->text(), QStringLiteral("session.log"));
    QCOMPARE(f.desktop.proposedPaths.size(), 1);
    const QString proposed = QDir::homePath() + QStringLiteral("/varnix-%1-\\d{8}-\\d{6}\\.log")
                                                    .arg(f.pty.slavePath().mid(5).replace(u'/', u'-'));
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(proposed))
                 .match(f.desktop.proposedPaths.front())
                 .hasMatch(),
             qPrintable(f.desktop.proposedPaths.front()));

    f.click(QStringLiteral("cmdCom"));
    f.click(QStringLiteral("cmdCirc"));
    f.pty.send("Ready:\r\nA\x1b\\B\r");
    f.pty.send("\nno break");
    QTRY_VERIFY(f.rcvText()->exactText().endsWith(QStringLiteral("no break")));
    QTest::qWait(2 * script::SessionLog::kQuietMs);
    QTest::keyClicks(f.txmText(), QStringLiteral("]k"));
    QTest::keyClick(f.txmText(), Qt::Key_Return);
    f.click(QStringLiteral("cmdCom"));
    f.click(QStringLiteral("cmdCom"));
    f.pty.closeSlave();
    f.pty.closeMaster();
    // The window, and the log with it, hear of the loss after the port has
    // found it.
    QTRY_COMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("OFF"));
    f.click(QStringLiteral("cmdLog"));
    QVERIFY(!f.find<QPushButton>(QStringLiteral("cmdLog"))->isChecked());

    const QString device = QRegularExpression::escape(f.pty.slavePath());
    matchLines(fileLines(f.desktop.savePath),
               {QStringLiteral("Varnix %1 session log: port closed, 19200,n,8,1, %2")
                    .arg(QRegularExpression::escape(QLatin1String(kVersion)),
                         QDate::currentDate().toString(Qt::ISODate)),
                "T \\* opened " + device + ", 19200,n,8,1", "T > \\]c\\]402014", "T < Ready:",
                "T < A\\\\x1b\\\\\\\\B", "T < no break", "T > \\]k\\\\x0d", "T \\* closed",
                "T \\* opened " + device + ", 19200,n,8,1", "T \\* lost: .+",
                "T \\* Comm:1 stopped working .+", "T \\* log stopped"});
}

void SessionLogTest::linesOfASession_data()
{
    // Steps: "<text" the board sends, ">frame" a frame goes out, "=text"
    // typed, "~" the quiet after it; the clock moves on 10 ms a step, from
    // 23:59:59.950, while the quiet takes no time of its own.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF across reads") << QStringList{"<one\r", "<\ntwo\r\n"}
                                         << QStringList{"23:59:59.960 < one", "23:59:59.970 < two"};
    QTest::newRow("lone CR and LF, empty lines")
        << QStringList{"<a\rb\nc\r\n\r\n"}
        << QStringList{"23:59:59.960 < a", "23:59:59.960 < b", "23:59:59.960 < c", "23:59:59.960 <"};
    QTest::newRow("quiet line and its break later")
        << QStringList{"<Rea", "<dy:", "~", "<\r\n", "<next\r\n"}
        << QStringList{"23:59:59.960 < Ready:", "23:59:59.990 < next"};
    QTest::newRow("frame ends a line in progress")
        << QStringList{"<partial", ">]k", "<rest\r\n"}
        << QStringList{"23:59:59.960 < partial", "23:59:59.970 > ]k", "23:59:59.980 < rest"};
    QTest::newRow("typing until the answer")
        << QStringList{"=]", "=k", "<Ready:\r\n"} << QStringList{"23:59:59.960 > ]k", "23:59:59.980 < Ready:"};
    QTest::newRow("echo while typing") << QStringList{"=a", "<a", "=b", "<b", "~"}
                                       << QStringList{"23:59:59.960 > ab", "23:59:59.970 < ab"};
    QTest::newRow("Enter ends the typing")
        << QStringList{"=x", "=\r", "=y"} << QStringList{"23:59:59.960 > x\\x0d", "23:59:59.980 > y"};
    QTest::newRow("a new day") << QStringList{"<late\r\n", ">]k", ">]k", ">]k", ">]k", ">]k", ">]k"}
                               << QStringList{"23:59:59.960 < late", "23:59:59.970 > ]k", "23:59:59.980 > ]k",
                                              "23:59:59.990 > ]k", "00:00:00.000 * date 2025-02-01",
                                              "00:00:00.000 > ]k", "00:00:00.010 > ]k", "00:00:00.020 > ]k"};
}

void SessionLogTest::linesOfASession()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    Fixture f;
    f.openPort();
    QDateTime clock(QDate(2025, 1, 31), QTime(23, 59, 59, 950));
    script::SessionLog log(f.main().connection(), [&] { return clock; });
    const QString path = dir.filePath(QStringLiteral("lines.log"));
    QVERIFY(log.start(path));
    for (const QString& step : steps) {
        if (step != u'~')
            clock = clock.addMSecs(10);
        const QString text = step.mid(1);
        if (step.startsWith(u'<')) {
            f.port.incoming = text;
            f.main().terminal().Timer1_Timer();
        } else if (step.startsWith(u'>')) {
            f.txmText()->setExactText(text);
            f.main().send();
        } else if (step.startsWith(u'=')) {
            f.main().terminal().txmText_KeyPress(text.front());
        } else {
            QTest::qWait(2 * script::SessionLog::kQuietMs);
        }
    }
    log.stop();
    QStringList written = fileLines(path);
    QVERIFY(written.takeLast().endsWith(QStringLiteral(" * log stopped")));
    QCOMPARE(written.mid(1).join(u"|"), lines.join(u"|"));
}

void SessionLogTest::fileThatFails_data()
{
    QTest::addColumn<QString>("path");  // in the test's folder unless absolute
    QTest::addColumn<bool>("removeFolder");
    QTest::addColumn<QString>("message");
    QTest::newRow("disk full") << "/dev/full" << false
                               << "The log file /dev/full could not be written: No space left on device. The log "
                                  "has stopped; the session goes on.";
    QTest::newRow("no such folder") << "missing/s.log" << false
                                    << "The log file DIR/missing/s.log could not be opened: No such file or directory.";
    QTest::newRow("folder removed") << "sub/s.log" << true
                                    << "The log file DIR/sub/s.log was removed or moved. The log has stopped; the "
                                       "session goes on.";
}

void SessionLogTest::fileThatFails()
{
    QFETCH(QString, path);
    QFETCH(bool, removeFolder);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    PtyFixture f;
    openPtyPort(f);
    f.desktop.savePath = QDir(dir.path()).filePath(path);
    message.replace(QStringLiteral("DIR"), dir.path());
    f.click(QStringLiteral("cmdLog"));
    if (removeFolder) {
        QVERIFY(f.find<QPushButton>(QStringLiteral("cmdLog"))->isChecked());
        QVERIFY(QDir(dir.filePath(QStringLiteral("sub"))).removeRecursively());
    }

    // The session goes on: frames go out and the window takes the answers,
    // while the failure is told once.
    f.click(QStringLiteral("cmdCirc"));
    f.pty.send("Ready:\r\n");
    QTRY_COMPARE(f.rcvText()->exactText(), QStringLiteral("Ready:\r\n"));
    f.click(QStringLiteral("Command1"));
    expectReceived(f, "]c]402014]k");
    QCOMPARE(f.desktop.texts(), QStringList{message});
    QVERIFY(f.port.isOpen());
    QVERIFY(!f.find<QPushButton>(QStringLiteral("cmdLog"))->isChecked());
    QCOMPARE(f.find<QLabel>(QStringLiteral("lblLog"))->text(), QString());
}

VARNIX_TEST_MAIN(SessionLogTest)
#include "tst_sessionlog.moc"

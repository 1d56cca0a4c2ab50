// SPDX-License-Identifier: GPL-3.0-or-later
// The board's answer to a read of its whole display memory, as it comes:
// late prompts of a frame before it, pieces of it, and what is no dump.
#include "board/displaycheck.h"
#include "script/runner.h"
#include "support/testmain.h"

#include <QTest>

using namespace varnix;

namespace {

board::Firmware circle()
{
    return board::drawn({QStringLiteral("]c]402014")});
}

// The hex pairs of the circle's display memory, as the board sends them.
QString dump()
{
    board::Firmware board = circle();
    const QByteArray answer = board.feed(board::kWholeDisplayRead);
    return QString::fromLatin1(answer.chopped(qsizetype(sizeof board::Firmware::prompt) - 1));
}

const QString ready = QStringLiteral("Ready:\r\n");

} // namespace

class DisplayAnswerTest : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void everyPieceOfALateAnswerIsStillComing();
};

void DisplayAnswerTest::answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("display");
    QTest::addColumn<bool>("finished");

    const QString pairs = dump();
    QString rows;
    for (qsizetype at = 0; at < pairs.size(); at += 256)
        rows += pairs.mid(at, 256) + QStringLiteral("\r\n");
    QTest::newRow("dump") << pairs + ready << true << true;
    QTest::newRow("a late prompt first") << ready + pairs + ready << true << true;
    QTest::newRow("two late prompts, blank lines") << ready + "\r\n" + ready + pairs + ready << true << true;
    QTest::newRow("rows on lines") << rows + ready << true << true;
    QTest::newRow("dump, no prompt yet") << pairs << true << false;
    QTest::newRow("dump, half a prompt") << pairs + "Rea" << true << false;
    QTest::newRow("a late prompt alone") << ready << false << false;
    QTest::newRow("half a late prompt") << QStringLiteral("Rea") << false << false;
    QTest::newRow("nothing") << QString() << false << false;
    QTest::newRow("part of the dump") << ready + pairs.left(301) << false << false;
    QTest::newRow("cut short by its prompt") << pairs.left(300) + ready << false << true;
    QTest::newRow("a byte too many") << pairs + "00" + ready << false << true;
    QTest::newRow("an error") << QStringLiteral("Error: unknown command\r\n") + ready << false << true;
    QTest::newRow("an error after a late prompt") << ready + "Error: cut short\r\n" << false << true;
    QTest::newRow("text in the dump") << pairs.left(500) + "x" << false << true;
    QTest::newRow("a digit alone") << pairs.left(301) + " " + pairs.mid(301) + ready << false << true;
}

void DisplayAnswerTest::answers()
{
    QFETCH(QString, answer);
    QFETCH(bool, display);
    QFETCH(bool, finished);

    const board::DisplayAnswer read = board::readDisplayAnswer(answer);
    QCOMPARE(read.finished, finished);
    QCOMPARE(read.display.has_value(), display);
    if (display)
        QCOMPARE(*read.display, circle().display());
}

void DisplayAnswerTest::everyPieceOfALateAnswerIsStillComing()
{
    // However the reads split it, nothing short of the whole is taken as
    // finished, nor refused.
    const QString whole = ready + dump() + QLatin1String(script::Runner::kPrompt);
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const board::DisplayAnswer read = board::readDisplayAnswer(QStringView(whole).first(length));
        QVERIFY2(!read.finished, qPrintable(QString::number(length)));
    }
    QVERIFY(board::readDisplayAnswer(whole).finished);
}

VARNIX_TEST_MAIN(DisplayAnswerTest)
#include "tst_displayanswer.moc"

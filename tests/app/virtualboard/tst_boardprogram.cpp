// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual board's program: a second one, refused the link, says how to
// run it all the same.
#include "support/testmain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class BoardProgramTest : public QObject
{
    Q_OBJECT
private slots:
    void aSecondBoardIsToldOfNoLink();
};

void BoardProgramTest::aSecondBoardIsToldOfNoLink()
{
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess first, second, beside;
    for (QProcess* board : {&first, &second, &beside})
        board->setProcessEnvironment(environment);
    first.start(QStringLiteral(VARNIX_BOARD_PROGRAM), {"--headless"});
    QVERIFY(first.waitForReadyRead(10000));
    QVERIFY(first.readLine().startsWith("/dev/"));

    second.start(QStringLiteral(VARNIX_BOARD_PROGRAM), {"--headless"});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    const QByteArray said = second.readAllStandardError();
    QVERIFY2(said.startsWith("varnix-board: another virtual board is at ") && said.contains("--no-link"), said);

    // As it says, with --no-link it runs.
    beside.start(QStringLiteral(VARNIX_BOARD_PROGRAM), {"--headless", "--no-link"});
    QVERIFY(beside.waitForReadyRead(10000));
    QVERIFY(beside.readLine().startsWith("/dev/"));
    for (QProcess* board : {&first, &beside}) {
        board->terminate();
        QVERIFY(board->waitForFinished(10000));
    }
}

VARNIX_TEST_MAIN(BoardProgramTest)
#include "tst_boardprogram.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The labgrid recipe of the fleet's page, as Debian's labgrid runs it: its
// pytest plugin reads an environment file whose NetworkSerialPort resources
// are virtual boards behind a real ser2net, and the example test drives
// `varnix --run` on all of them at once.
#include "board/displaycheck.h"
#include "script/script.h"
#include "support/fleetprogram.h"
#include "support/ser2net.h"
#include "support/testmain.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace varnix;

class LabgridTest : public QObject
{
    Q_OBJECT
private slots:
    void pytestPluginRunsTheRack();
};

void LabgridTest::pytestPluginRunsTheRack()
{
    // Debian's own Python, which has python3-labgrid.
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!test::Ser2net::installed() || QProcess::execute(python, {"-c", "import labgrid, pytest"}) != 0)
        QSKIP("ser2net or Debian's python3-labgrid is not installed");
    test::BoardList boards = test::startBoards(2);
    QCOMPARE(int(boards.size()), 2);
    test::Ser2net server(QStringList{boards[0]->devicePath(), boards[1]->devicePath()});
    QVERIFY2(server.start(), qPrintable(server.error()));

    // The example's environment, its boards here.
    QTemporaryDir dir;
    QFile example(QStringLiteral(VARNIX_SOURCE_DIR "/docs/examples/labgrid/rack.yaml"));
    QVERIFY(example.open(QIODevice::ReadOnly));
    QString environment = QString::fromUtf8(example.readAll());
    environment.replace(QStringLiteral("lab-rack"), QStringLiteral("127.0.0.1"))
        .replace(QStringLiteral("3001"), server.rfc2217Address(0).section(u':', -1))
        .replace(QStringLiteral("4004"), server.rawAddress(1).section(u':', -1));
    QFile rack(dir.filePath(QStringLiteral("rack.yaml")));
    QVERIFY(rack.open(QIODevice::WriteOnly));
    rack.write(environment.toUtf8());
    rack.close();

    const QString script = QStringLiteral(VARNIX_SOURCE_DIR "/docs/examples/screen.vnx");
    QProcess pytest;
    pytest.setWorkingDirectory(dir.path());
    pytest.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("VARNIX"), QStringLiteral(VARNIX_PROGRAM));
    variables.insert(QStringLiteral("VARNIX_SCRIPT"), script);
    pytest.setProcessEnvironment(variables);
    QSignalSpy finished(&pytest, &QProcess::finished);
    pytest.start(python, {"-m", "pytest", "-p", "no:cacheprovider", "-q", "--lg-env", rack.fileName(),
                          QStringLiteral(VARNIX_SOURCE_DIR "/docs/examples/labgrid/test_rack.py")});
    // The boards answer from this process's event loop meanwhile.
    QVERIFY(finished.wait(60000));
    const QString out = QString::fromUtf8(pytest.readAll());
    QVERIFY2(pytest.exitCode() == 0 && out.contains(QStringLiteral("1 passed")), qPrintable(out));

    QFile file(script);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const board::Display drawn =
        board::drawn(std::get<script::Script>(script::readScript(file.readAll())).frames()).display();
    for (const auto& board : boards)
        QCOMPARE(board->firmware().display(), drawn);
}

VARNIX_TEST_MAIN(LabgridTest)
#include "tst_labgrid.moc"

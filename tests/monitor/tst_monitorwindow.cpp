// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's window: a capture read into it, the refused frame standing
// out, the display stepping with the events, Copy; and its ports never the
// main window's.
#include "monitor/monitorwindow.h"

#include "monitor/core/capture.h"
#include "script/script.h"

#include "board/firmware.h"
#include "display/displayview.h"
#include "support/boardfixture.h"
#include "support/pty.h"
#include "support/testmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnix;

namespace {

// Dots, a frame each.
QByteArray dotFrames(int from, int count)
{
    QByteArray frames;
    for (int i = from; i < from + count; ++i)
        frames += QStringLiteral("]d]%1%2").arg(i, 2, 16, QChar(u'0')).arg(i % 64, 2, 16, QChar(u'0')).toLatin1();
    return frames;
}

// The host's bytes of a capture file, all its events' together.
QByteArray hostBytes(const QString& path)
{
    QByteArray bytes;
    monitor::Decoder decoder([&](const monitor::Event& event) {
        if (event.direction() == monitor::Direction::Host)
            bytes += event.bytes;
    });
    monitor::decodeFile(path, decoder);
    return bytes;
}

board::Display drawn(const QByteArray& frames)
{
    board::Firmware firmware;
    firmware.feed(frames);
    firmware.silence();
    return firmware.display();
}

} // namespace

class MonitorWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void captureWithARefusedFrame();
    void followsUnlessScrolledAway();
    void neverTheMainWindowsDevice();
};

void MonitorWindowTest::captureWithARefusedFrame()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("host.log")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Varnix 1.2 capture: host a, board b, 19200,n,8,1, 2025-01-31\n"
               "10:00:00.000 > ]k\n10:00:00.005 < Ready:\\x0d\\x0a\n"
               "10:00:00.100 > ]c]402014\n10:00:00.105 < Ready:\\x0d\\x0a\n"
               "10:00:00.200 > ]m]80810000]ff\n10:00:00.205 < Error: block outside the display memory\\x0d\\x0aReady:\\x0d\\x0a\n"
               "10:00:00.300 > ]d]1020\n10:00:00.305 < Ready:\\x0d\\x0a\n");
    file.close();
    test::RecordingDesktop desktop;
    link::PortMap ports;
    MonitorWindow window(desktop, ports);
    window.show();
    desktop.openPath = file.fileName();
    window.findChild<QPushButton*>(QStringLiteral("cmdChooseFile"))->click();
    QTRY_VERIFY(!window.running());
    window.showNew();

    auto* view = window.findChild<QTableView*>(QStringLiteral("tblEvents"));
    auto* display = window.findChild<DisplayView*>(QStringLiteral("displayView"));
    QAbstractItemModel* rows = view->model();
    QCOMPARE(rows->rowCount(), 9);
    // Following the events, the display is the board's after the last.
    QCOMPARE(display->display(), drawn("]k]c]402014]d]1020"));

    // The refused frame stands out, and alone when asked for.
    window.findChild<QCheckBox*>(QStringLiteral("chkRefused"))->setChecked(true);
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, 2).data().toString(), QStringLiteral("]m]80810000"));
    QCOMPARE(rows->index(0, 4).data().toString(), QStringLiteral("Error: block outside the display memory"));
    QVERIFY(rows->index(0, 2).data(Qt::BackgroundRole).isValid());
    window.findChild<QCheckBox*>(QStringLiteral("chkRefused"))->setChecked(false);
    QVERIFY(!rows->index(2, 2).data(Qt::BackgroundRole).isValid());

    // Stepping back shows the display as it stood then.
    view->selectRow(2);
    QCOMPARE(display->display(), drawn("]k]c]402014"));
    auto* slider = window.findChild<QSlider*>(QStringLiteral("sldTime"));
    QCOMPARE(slider->value(), 2);
    slider->setValue(0);
    QCOMPARE(display->display(), board::Display());
    QCOMPARE(view->currentIndex().row(), 0);

    view->selectionModel()->select(rows->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.findChild<QPushButton*>(QStringLiteral("cmdCopy"))->click();
    QCOMPARE(desktop.clipboard,
             QStringLiteral("1  10:00:00.000  >  ]k  Clear display  taken\n"
                            "5  10:00:00.200  >  ]m]80810000  LCD write x1 128, x2 129, row1 0, row2 0  "
                            "Error: block outside the display memory\n"));
}

void MonitorWindowTest::followsUnlessScrolledAway()
{
    test::RecordingDesktop desktop;
    link::PortMap ports;
    MonitorWindow window(desktop, ports);
    window.show();
    test::Pty host;
    window.findChild<QRadioButton*>(QStringLiteral("optTap"))->setChecked(true);
    window.findChild<QComboBox*>(QStringLiteral("cboHostPort"))->setEditText(host.slavePath());
    window.findChild<QPushButton*>(QStringLiteral("cmdStart"))->click();
    QVERIFY(window.running());
    auto dots = [&](int from, int count) {
        QVERIFY(host.send(dotFrames(from, count)));
        QTRY_COMPARE(window.table().size(), from + count);
        window.showNew();
    };
    auto* view = window.findChild<QTableView*>(QStringLiteral("tblEvents"));
    QScrollBar* bar = view->verticalScrollBar();
    dots(0, 80);
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(0);
    dots(80, 40);
    QCOMPARE(view->indexAt(QPoint(0, 0)).row(), 0);
    // The display still follows, while the last event is the one shown.
    QCOMPARE(window.findChild<DisplayView*>(QStringLiteral("displayView"))->display(),
             window.table().displayAfter(119));
    bar->setValue(bar->maximum());
    dots(120, 10);
    QCOMPARE(bar->value(), bar->maximum());

    // Saved while it goes on, the capture holds every byte; its script sends
    // them again.
    QTemporaryDir dir;
    desktop.savePath = dir.filePath(QStringLiteral("saved.log"));
    window.findChild<QPushButton*>(QStringLiteral("cmdSaveCapture"))->click();
    QCOMPARE(hostBytes(desktop.savePath), dotFrames(0, 130));
    desktop.savePath = dir.filePath(QStringLiteral("again"));
    window.findChild<QPushButton*>(QStringLiteral("cmdSaveScript"))->click();
    const auto script = script::readScriptFile(dir.filePath(QStringLiteral("again.vnx")));
    QVERIFY(std::holds_alternative<script::Script>(script));
    QCOMPARE(std::get<script::Script>(script).frames().join(QString()).toLatin1(), dotFrames(0, 130));
    QVERIFY(desktop.messages.isEmpty());
}

void MonitorWindowTest::neverTheMainWindowsDevice()
{
    test::BoardFixture main;
    main.port.setHolder(QStringLiteral("the main window"));
    main.open();
    main.click(QStringLiteral("cmdMonitor"));
    MonitorWindow* monitor = main.window->monitorWindow();
    QVERIFY(monitor && monitor->isVisible());
    test::Pty host;
    monitor->findChild<QComboBox*>(QStringLiteral("cboHostPort"))->setEditText(host.slavePath());
    monitor->findChild<QComboBox*>(QStringLiteral("cboBoardPort"))->setEditText(main.board.devicePath());
    auto* start = monitor->findChild<QPushButton*>(QStringLiteral("cmdStart"));
    start->click();
    QVERIFY(!monitor->running());
    QCOMPARE(main.desktop.messages.last().text,
             QStringLiteral("Cannot open %1 (the board's side): %1 is open in the main window.")
                 .arg(main.board.devicePath()));

    main.click(QStringLiteral("cmdCom"));
    QVERIFY(!main.port.isOpen());
    start->click();
    QVERIFY(monitor->running());
    main.click(QStringLiteral("cmdCom"));
    QVERIFY(!main.port.isOpen());
    QVERIFY2(main.desktop.messages.last().text.endsWith(
                 QStringLiteral("%1 is open in the monitor.").arg(main.board.devicePath())),
             qPrintable(main.desktop.messages.last().text));
}

VARNIX_TEST_MAIN(MonitorWindowTest)
#include "tst_monitorwindow.moc"

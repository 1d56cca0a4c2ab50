// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's window: a capture read into it, the refused frame standing
// out, the display stepping with the events, Copy; and its ports never the
// main window's.
#include "monitor/monitorwindow.h"
#include "monitor/eventmodel.h"

#include "monitor/core/capture.h"
#include "script/script.h"

#include "board/firmware.h"
#include "display/displayview.h"
#include "support/boardfixture.h"
#include "support/pty.h"
#include "support/testmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
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
    void fitsASmallWindow();
    void theDisplayGoesWithTheChosenRow();
    void followsUnlessScrolledAway();
    void neverTheMainWindowsDevice();
    void bothPortsLostEndTheMonitor();
};

// A capture of a host and a board: a refused frame, and one the board
// answered otherwise than the model.
const QByteArray kCapture =
    "Varnix 1.2 capture: host a, board b, 19200,n,8,1, 2025-01-31\n"
    "10:00:00.000 > ]k\n10:00:00.005 < Ready:\\x0d\\x0a\n"
    "10:00:00.100 > ]c]402014\n10:00:00.105 < Ready:\\x0d\\x0a\n"
    "10:00:00.200 > ]m]80810000]ff\n10:00:00.205 < Error: block outside the display memory\\x0d\\x0aReady:\\x0d\\x0a\n"
    "10:00:00.300 > ]d]1020\n10:00:00.305 < Ready:\\x0d\\x0a\n"
    "10:00:00.400 > ]e]1020\n10:00:00.405 < Error: ] expected\\x0d\\x0aReady:\\x0d\\x0a\n";

// The window with a capture read into it.
struct ReadWindow {
    explicit ReadWindow(const QByteArray& capture)
    {
        QFile file(dir.filePath(QStringLiteral("host.log")));
        if (!file.open(QIODevice::WriteOnly) || file.write(capture) != capture.size())
            return;
        file.close();
        window.show();
        desktop.openPath = file.fileName();
        window.findChild<QPushButton*>(QStringLiteral("cmdChooseFile"))->click();
        if (QTest::qWaitFor([&] { return !window.running(); }))
            window.showNew();
    }
    template <typename T>
    T* find(const char* name)
    {
        return window.findChild<T*>(QLatin1String(name));
    }

    QTemporaryDir dir;
    test::RecordingDesktop desktop;
    link::PortMap ports;
    MonitorWindow window{desktop, ports};
};

void MonitorWindowTest::captureWithARefusedFrame()
{
    ReadWindow read(kCapture.first(kCapture.indexOf("10:00:00.400")));
    MonitorWindow& window = read.window;
    test::RecordingDesktop& desktop = read.desktop;
    QVERIFY(!window.running());

    auto* view = window.findChild<QTableView*>(QStringLiteral("tblEvents"));
    auto* display = window.findChild<DisplayView*>(QStringLiteral("displayView"));
    QAbstractItemModel* rows = view->model();
    QCOMPARE(rows->rowCount(), 9);
    // Following the events, the display is the board's after the last.
    QCOMPARE(display->display(), drawn("]k]c]402014]d]1020"));

    // The refused frame stands out, and alone when asked for.
    window.findChild<QCheckBox*>(QStringLiteral("chkRefused"))->setChecked(true);
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, EventModel::Frame).data().toString(), QStringLiteral("]m]80810000"));
    QCOMPARE(rows->index(0, EventModel::Verdict).data().toString(),
             QStringLiteral("Error: block outside the display memory"));
    QCOMPARE(rows->index(0, EventModel::Board).data().toString(), QStringLiteral("the same"));
    QVERIFY(rows->index(0, EventModel::Frame).data(Qt::BackgroundRole).isValid());
    window.findChild<QCheckBox*>(QStringLiteral("chkRefused"))->setChecked(false);
    QVERIFY(!rows->index(2, EventModel::Frame).data(Qt::BackgroundRole).isValid());

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
             QStringLiteral("1  10:00:00.000  >  ]k  Clear display  taken  board: Ready:\n"
                            "5  10:00:00.200  >  ]m]80810000  LCD write x1 128, x2 129, row1 0, row2 0  "
                            "Error: block outside the display memory  board: the same\n"));
}

// At 800 x 500 every verdict and answer is whole and in view, and so is the
// line of counts; the events are numbered; "Show" lists kinds by name.
void MonitorWindowTest::fitsASmallWindow()
{
    ReadWindow read(kCapture);
    MonitorWindow& window = read.window;
    window.resize(800, 500);
    QTRY_COMPARE(window.size(), QSize(800, 500));
    QVERIFY(window.minimumSizeHint().width() <= 800 && window.minimumSizeHint().height() <= 500);
    auto* view = read.find<QTableView>("tblEvents");
    QAbstractItemModel* rows = view->model();
    QCOMPARE(rows->rowCount(), 11);
    QFont bold = view->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    for (const int column : {int(EventModel::Number), int(EventModel::Verdict), int(EventModel::Board)}) {
        QVERIFY2(view->columnViewportPosition(column) + view->columnWidth(column) <= view->viewport()->width(),
                 qPrintable(rows->headerData(column, Qt::Horizontal).toString()));
        for (int row = 0; row < rows->rowCount(); ++row) {
            const QString text = rows->index(row, column).data().toString();
            QVERIFY2(metrics.horizontalAdvance(text) + 8 <= view->columnWidth(column), qPrintable(text));
        }
    }
    QCOMPARE(rows->index(9, EventModel::Number).data().toString(), QStringLiteral("10"));
    // The dot toggled where the model takes it and the board refused it.
    QCOMPARE(rows->index(9, EventModel::Verdict).data().toString(), QStringLiteral("taken"));
    QCOMPARE(rows->index(9, EventModel::Board).data().toString(), QStringLiteral("Error: ] expected"));
    QVERIFY(rows->index(9, EventModel::Board).data(Qt::BackgroundRole).isValid());

    auto* counts = read.find<QLabel>("lblCounts");
    QVERIFY(counts->isVisible());
    QVERIFY(counts->heightForWidth(counts->width()) <= counts->height());
    QVERIFY(counts->mapTo(&window, QPoint(counts->width(), counts->height())).y() <= window.height());
    QVERIFY(counts->text().contains(QStringLiteral("1 answered otherwise than the model")));

    auto* kinds = read.find<QComboBox>("cboKind");
    QStringList names;
    for (int i = 1; i < kinds->count() && kinds->itemData(i).toInt() >= 'a'; ++i)
        names << kinds->itemText(i);
    QCOMPARE(names.size(), 25);
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(names, sorted);
}

// The display shows the event of the row chosen, or none: after filtering,
// and with the slider, the rows drawn chosen are the rows Copy copies.
void MonitorWindowTest::theDisplayGoesWithTheChosenRow()
{
    ReadWindow read(kCapture);
    auto* view = read.find<QTableView>("tblEvents");
    auto* display = read.find<DisplayView>("displayView");
    auto* slider = read.find<QSlider>("sldTime");
    view->selectRow(2);
    QCOMPARE(slider->value(), 2);
    QVERIFY(display->display() != board::Display());

    // The circle's row filtered out: no row chosen, no display.
    read.find<QCheckBox>("chkRefused")->setChecked(true);
    QVERIFY(view->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(display->display(), board::Display());
    QCOMPARE(read.find<QLabel>("lblAt")->text(), QStringLiteral("No event chosen"));
    // A row still shown stays chosen.
    view->selectRow(0);
    const QString chosen = read.find<QLabel>("lblAt")->text();
    read.find<QCheckBox>("chkRefused")->setChecked(false);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(read.find<QLabel>("lblAt")->text(), chosen);

    // The view hears the slider's choice, and repaints the rows chosen no more.
    view->selectionModel()->select(view->model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QSignalSpy changes(view->selectionModel(), &QItemSelectionModel::selectionChanged);
    slider->setValue(6);
    QVERIFY(!changes.isEmpty());
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view->selectionModel()->selectedRows().constFirst().row(), 6);
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

// A pass-through whose ports both go: each loss is said once, among the
// events and under "Start", and the monitor ends by itself, keeping what
// passed before.
void MonitorWindowTest::bothPortsLostEndTheMonitor()
{
    test::RecordingDesktop desktop;
    link::PortMap ports;
    MonitorWindow window(desktop, ports);
    window.show();
    test::Pty host, board;
    board.startReading();
    window.findChild<QRadioButton*>(QStringLiteral("optPassThrough"))->setChecked(true);
    window.findChild<QComboBox*>(QStringLiteral("cboHostPort"))->setEditText(host.slavePath());
    window.findChild<QComboBox*>(QStringLiteral("cboBoardPort"))->setEditText(board.slavePath());
    window.findChild<QPushButton*>(QStringLiteral("cmdStart"))->click();
    QVERIFY(window.running());
    QVERIFY(host.send(dotFrames(0, 3)));
    QTRY_COMPARE(board.received(), dotFrames(0, 3));
    host.closeMaster();
    board.closeMaster();
    QTRY_VERIFY(!window.running());
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("cmdStart"))->text(), QStringLiteral("&Start"));
    QStringList notes;
    QByteArray frames;
    for (qsizetype i = 0; i < window.table().size(); ++i) {
        const monitor::Event& event = window.table().at(i);
        if (event.kind == monitor::Event::Kind::Note)
            notes << event.meaning.section(u':', 0, 0);
        else if (event.isFrame())
            frames += event.bytes;
    }
    notes.sort();
    QCOMPARE(notes, QStringList({"The board's port was lost", "The host's port was lost"}));
    QCOMPARE(frames, dotFrames(0, 3));
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("lblNote"))->text().contains(QStringLiteral("port was lost")));
    QVERIFY(desktop.messages.isEmpty());
}

VARNIX_TEST_MAIN(MonitorWindowTest)
#include "tst_monitorwindow.moc"

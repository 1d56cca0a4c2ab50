// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/monitorwindow.h"

#include "display/displayview.h"
#include "link/core/linesettings.h"
#include "link/core/portmap.h"
#include "monitor/core/eventtext.h"
#include "monitor/core/framekinds.h"
#include "monitor/core/scriptexport.h"
#include "monitor/eventmodel.h"
#include "script/script.h"
#include "widgets/desktop.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryFile>
#include <QTimer>
#include <QVBoxLayout>

namespace varnix {

namespace {

// A file is read in slices this long, so that the window keeps painting.
constexpr int kReadSliceMs = 30;

QString captureFilter()
{
    return QStringLiteral("Captures and session logs (*.log);;All files (*)");
}

QComboBox* settingsList(const QString& name, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(link::offeredLineSettings());
    list->setCurrentIndex(link::kStartLineSettings);
    return list;
}

QComboBox* portList(const QString& name, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(24);
    list->lineEdit()->setPlaceholderText(QStringLiteral("a device or rfc2217://HOST:PORT"));
    return list;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

MonitorWindow::MonitorWindow(Desktop& desktop, link::PortMap& ports, QWidget* parent)
    : QWidget(parent, Qt::Window), m_desktop(desktop), m_ports(ports)
{
    setObjectName(QStringLiteral("Monitor"));
    setWindowTitle(QStringLiteral("Monitor"));
    m_tick = new QTimer(this);
    m_tick->setInterval(kTickMs);
    connect(m_tick, &QTimer::timeout, this, &MonitorWindow::tick);
    m_reading = new QTimer(this);
    m_reading->setInterval(0);
    connect(m_reading, &QTimer::timeout, this, &MonitorWindow::readFile);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(buildEvents());
    splitter->addWidget(buildDisplay());
    splitter->setStretchFactor(0, 1);

    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("lblCounts"));
    auto* copy = button(QStringLiteral("cmdCopy"), QStringLiteral("&Copy"), this);
    copy->setToolTip(QStringLiteral("Copies the selected events as lines of text"));
    auto* saveCapture = button(QStringLiteral("cmdSaveCapture"), QStringLiteral("Save C&apture\u2026"), this);
    auto* saveScript = button(QStringLiteral("cmdSaveScript"), QStringLiteral("Save as Scr&ipt\u2026"), this);
    saveScript->setToolTip(QStringLiteral("Writes a script that sends again what the host sent"));
    connect(copy, &QPushButton::clicked, this, &MonitorWindow::cmdCopy_Click);
    connect(saveCapture, &QPushButton::clicked, this, &MonitorWindow::cmdSaveCapture_Click);
    connect(saveScript, &QPushButton::clicked, this, &MonitorWindow::cmdSaveScript_Click);
    // The counts on a line of their own, wrapped where the window is narrow.
    m_counts->setWordWrap(true);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(copy);
    bottom->addWidget(saveCapture);
    bottom->addWidget(saveScript);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildSource());
    layout->addWidget(splitter, 1);
    layout->addWidget(m_counts);
    layout->addLayout(bottom);

    begin(true);
    showSource();
    showRunning();
    resize(1100, 640);
}

MonitorWindow::~MonitorWindow()
{
    stop();
}

QWidget* MonitorWindow::buildSource()
{
    auto* group = new QGroupBox(QStringLiteral("Source"), this);
    group->setObjectName(QStringLiteral("sourceGroup"));
    m_optPass = new QRadioButton(QStringLiteral("&Pass-through"), group);
    m_optPass->setObjectName(QStringLiteral("optPassThrough"));
    m_optPass->setToolTip(QStringLiteral("Passes every byte between the host's port and the board's, and shows them"));
    m_optTap = new QRadioButton(QStringLiteral("&Tap"), group);
    m_optTap->setObjectName(QStringLiteral("optTap"));
    m_optTap->setToolTip(QStringLiteral("Only listens: on a tap cable's adapters for the host's line and the "
                                        "board's, one of them or both"));
    m_optFile = new QRadioButton(QStringLiteral("&File"), group);
    m_optFile->setObjectName(QStringLiteral("optFile"));
    m_optFile->setToolTip(QStringLiteral("A capture, a session log, jpnevulator's timed output, a script or raw "
                                         "bytes"));
    m_optPass->setChecked(true);
    auto* sources = new QButtonGroup(group);
    for (QRadioButton* option : {m_optPass, m_optTap, m_optFile}) {
        sources->addButton(option);
        connect(option, &QRadioButton::toggled, this, &MonitorWindow::showSource);
    }

    m_hostPort = portList(QStringLiteral("cboHostPort"), group);
    m_hostSettings = settingsList(QStringLiteral("cboHostSettings"), group);
    m_boardPort = portList(QStringLiteral("cboBoardPort"), group);
    m_boardSettings = settingsList(QStringLiteral("cboBoardSettings"), group);
    m_hostSettings->setAccessibleName(QStringLiteral("Host's line settings"));
    m_boardSettings->setAccessibleName(QStringLiteral("Board's line settings"));
    m_fileName = new QLineEdit(group);
    m_fileName->setObjectName(QStringLiteral("txtFile"));
    m_chooseFile = button(QStringLiteral("cmdChooseFile"), QStringLiteral("C&hoose\u2026"), group);
    m_chooseFile->setAccessibleName(QStringLiteral("Choose a file"));
    connect(m_chooseFile, &QPushButton::clicked, this, &MonitorWindow::cmdChooseFile_Click);
    m_start = button(QStringLiteral("cmdStart"), QStringLiteral("&Start"), group);
    connect(m_start, &QPushButton::clicked, this, &MonitorWindow::cmdStart_Click);
    m_note = new QLabel(group);
    m_note->setObjectName(QStringLiteral("lblNote"));
    m_note->setWordWrap(true);

    auto* options = new QHBoxLayout;
    for (QRadioButton* option : {m_optPass, m_optTap, m_optFile})
        options->addWidget(option);
    options->addStretch(1);
    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("H&ost's port:"), m_hostPort, group), 0, 0);
    grid->addWidget(m_hostPort, 0, 1);
    grid->addWidget(label(QStringLiteral("Line:"), m_hostSettings, group), 0, 2);
    grid->addWidget(m_hostSettings, 0, 3);
    grid->addWidget(label(QStringLiteral("&Board's port:"), m_boardPort, group), 1, 0);
    grid->addWidget(m_boardPort, 1, 1);
    grid->addWidget(label(QStringLiteral("Line:"), m_boardSettings, group), 1, 2);
    grid->addWidget(m_boardSettings, 1, 3);
    grid->addWidget(label(QStringLiteral("Fi&le:"), m_fileName, group), 2, 0);
    grid->addWidget(m_fileName, 2, 1, 1, 2);
    grid->addWidget(m_chooseFile, 2, 3);
    grid->setColumnStretch(1, 1);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(m_start);
    startRow->addWidget(m_note, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(options);
    layout->addLayout(grid);
    layout->addLayout(startRow);
    return group;
}

QWidget* MonitorWindow::buildEvents()
{
    auto* panel = new QWidget(this);
    m_model = new EventModel(m_table, this);
    m_filter = new EventFilter(this);
    m_filter->setSourceModel(m_model);
    m_view = new QTableView(panel);
    m_view->setObjectName(QStringLiteral("tblEvents"));
    m_view->setAccessibleName(QStringLiteral("Events"));
    m_view->setModel(m_filter);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    // The frame and its meaning share what the other columns leave, which
    // are as wide as their widest text, bold as a refused row's: a verdict
    // is never cut while the window has room for it.
    QHeaderView* header = m_view->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(EventModel::Frame, QHeaderView::Stretch);
    header->setSectionResizeMode(EventModel::Meaning, QHeaderView::Stretch);
    header->setDefaultSectionSize(header->minimumSectionSize());
    QFont bold = m_view->font();
    bold.setBold(true);
    m_bold = std::make_unique<QFontMetrics>(bold);
    for (const int column : {int(EventModel::Number), int(EventModel::Time), int(EventModel::Direction)})
        fit(column, m_model->headerData(column, Qt::Horizontal).toString());
    fit(EventModel::Number, QStringLiteral("000"));
    fit(EventModel::Time, QStringLiteral("00:00:00.000"));
    for (const char* verdict : {"Verdict", "skipped after the error", "not delivered", "unfinished"})
        fit(EventModel::Verdict, QLatin1String(verdict));
    for (const char* answer : {"Board", "no answer", "the same", "Ready:"})
        fit(EventModel::Board, QLatin1String(answer));
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                // Rows coming and going move the current row; only a person
                // choosing one shows another display.
                if (current.isValid() && !m_updating)
                    showAt(m_filter->mapToSource(current).row());
            });

    m_kind = new QComboBox(panel);
    m_kind->setObjectName(QStringLiteral("cboKind"));
    m_kind->addItem(QStringLiteral("All events"), int(EventFilter::kAll));
    // By name: the letters are the firmware's, not a person's.
    QList<const monitor::FrameKind*> kinds = monitor::frameKinds();
    std::sort(kinds.begin(), kinds.end(), [](const monitor::FrameKind* a, const monitor::FrameKind* b) {
        return QLatin1String(a->name).compare(QLatin1String(b->name), Qt::CaseInsensitive) < 0;
    });
    for (const monitor::FrameKind* kind : kinds)
        m_kind->addItem(QLatin1String(kind->name), int(kind->letter));
    m_kind->addItem(QLatin1String(monitor::kUnknownKind), int(EventFilter::kUnknown));
    m_kind->addItem(QStringLiteral("Text, not a frame"), int(EventFilter::kText));
    m_kind->addItem(QStringLiteral("The board's answers"), int(EventFilter::kAnswers));
    m_kind->addItem(QStringLiteral("Notes"), int(EventFilter::kNotes));
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] {
        filter([this] { m_filter->setKind(char(m_kind->currentData().toInt())); });
    });
    m_refusedOnly = new QCheckBox(QStringLiteral("&Refused only"), panel);
    m_refusedOnly->setObjectName(QStringLiteral("chkRefused"));
    connect(m_refusedOnly, &QCheckBox::toggled, this, [this](bool only) {
        filter([this, only] { m_filter->setRefusedOnly(only); });
    });
    m_filterText = new QLineEdit(panel);
    m_filterText->setObjectName(QStringLiteral("txtFilter"));
    m_filterText->setPlaceholderText(QStringLiteral("text in a frame, its meaning or verdict"));
    m_filterText->setClearButtonEnabled(true);
    connect(m_filterText, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter([this, text] { m_filter->setText(text); });
    });

    auto* filters = new QHBoxLayout;
    filters->addWidget(label(QStringLiteral("Sho&w:"), m_kind, panel));
    filters->addWidget(m_kind);
    filters->addWidget(m_refusedOnly);
    filters->addWidget(label(QStringLiteral("&Find:"), m_filterText, panel));
    filters->addWidget(m_filterText, 1);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filters);
    layout->addWidget(m_view, 1);
    return panel;
}

QWidget* MonitorWindow::buildDisplay()
{
    // Its title short, so that the display may shrink: the label under it
    // says which event it stood after.
    auto* panel = new QGroupBox(QStringLiteral("Display"), this);
    m_display = new DisplayView(2, panel);
    m_display->setObjectName(QStringLiteral("displayView"));
    m_display->setAccessibleName(QStringLiteral("The display after the selected event"));
    // Smaller, down to a pixel a dot, where the window is small.
    m_display->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_slider = new QSlider(Qt::Horizontal, panel);
    m_slider->setObjectName(QStringLiteral("sldTime"));
    m_slider->setAccessibleName(QStringLiteral("Step through the events"));
    m_slider->setToolTip(QStringLiteral("Steps through the events; the display shows the board after each"));
    connect(m_slider, &QSlider::valueChanged, this, [this](int row) {
        showAt(row);
        selectRow(row);
    });
    m_at = new QLabel(panel);
    m_at->setObjectName(QStringLiteral("lblAt"));
    m_at->setWordWrap(true);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_display, 0, Qt::AlignHCenter);
    layout->addWidget(m_slider);
    layout->addWidget(m_at);
    layout->addStretch(1);
    return panel;
}

MonitorWindow::Source MonitorWindow::source() const
{
    if (m_optFile->isChecked())
        return Source::File;
    return m_optTap->isChecked() ? Source::Tap : Source::Pass;
}

void MonitorWindow::showSource()
{
    const bool file = source() == Source::File;
    const bool idle = !running();
    for (QWidget* w : {static_cast<QWidget*>(m_hostPort), static_cast<QWidget*>(m_hostSettings),
                       static_cast<QWidget*>(m_boardPort), static_cast<QWidget*>(m_boardSettings)})
        w->setEnabled(idle && !file);
    m_fileName->setEnabled(idle && file);
    m_chooseFile->setEnabled(idle);
    for (QRadioButton* option : {m_optPass, m_optTap, m_optFile})
        option->setEnabled(idle);
}

void MonitorWindow::listPorts()
{
    m_ports.refresh();
    for (QComboBox* list : {m_hostPort, m_boardPort}) {
        const QString current = list->currentText();
        list->clear();
        list->addItems(m_ports.devices());
        list->setEditText(current);
    }
}

bool MonitorWindow::running() const
{
    return (m_pass && m_pass->running()) || m_reader;
}

void MonitorWindow::begin(bool timesOfDay)
{
    m_table.clear();
    m_updating = true;
    m_model->reset();
    m_updating = false;
    m_decoder = std::make_unique<monitor::Decoder>([this](const monitor::Event& event) { take(event); },
                                                   [this](const monitor::BoardReply& reply) {
                                                       const qsizetype row = m_table.take(reply);
                                                       if (row < 0)
                                                           return;
                                                       m_model->changed(int(row));
                                                       fit(EventModel::Board, m_table.at(row).boardText());
                                                   });
    m_timesOfDay = timesOfDay;
    m_model->setTimesOfDay(timesOfDay);
    m_following = true;
    m_writer.reset();
    m_spool.reset();
    m_filePath.clear();
    m_note->clear();
    showNew();
}

void MonitorWindow::take(const monitor::Event& event)
{
    m_table.append(event, m_decoder->firmware().display());
    fit(EventModel::Verdict, event.verdict());
    fit(EventModel::Number, QString::number(event.number));
}

void MonitorWindow::fit(int column, const QString& text)
{
    // The cell's own margins, and the grid's line.
    constexpr int kPadding = 10;
    const int wanted = (EventModel::isBold(column) ? *m_bold : m_view->fontMetrics()).horizontalAdvance(text) + kPadding;
    if (wanted <= m_view->columnWidth(column))
        return;
    m_view->setColumnWidth(column, wanted);
    // The events' side keeps room for these columns, and some for the frame
    // and its meaning; the display's side gives way first.
    constexpr int kLeastShared = 40;
    int fixed = kLeastShared + m_view->verticalScrollBar()->sizeHint().width() + 2 * m_view->frameWidth();
    for (const int shown : {EventModel::Number, EventModel::Time, EventModel::Direction, EventModel::Verdict,
                            EventModel::Board})
        fixed += m_view->columnWidth(shown);
    m_view->setMinimumWidth(fixed);
}

void MonitorWindow::filter(const std::function<void()>& change)
{
    // The display shows the event of the row chosen: when that row is
    // filtered out, none. The view's current row moves as rows go, which
    // chooses nothing.
    m_updating = true;
    change();
    const QModelIndex shown = m_filter->mapFromSource(m_model->index(m_slider->value(), 0));
    if (m_table.size() > 0 && shown.isValid()) {
        m_view->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect
                                                             | QItemSelectionModel::Rows);
        m_view->scrollTo(shown);
    } else {
        m_view->selectionModel()->clear();
        m_following = false;
        m_display->setDisplay({});
        m_at->setText(m_table.size() > 0 ? QStringLiteral("No event chosen") : QStringLiteral("No events yet"));
    }
    m_updating = false;
}

void MonitorWindow::cmdStart_Click()
{
    if (running()) {
        stop();
        return;
    }
    if (source() == Source::File)
        startFile(m_fileName->text().trimmed());
    else
        startLive();
}

bool MonitorWindow::startLive()
{
    const bool tap = source() == Source::Tap;
    const monitor::PortChoice host{m_hostPort->currentText().trimmed(), m_hostSettings->currentText()};
    const monitor::PortChoice board{m_boardPort->currentText().trimmed(), m_boardSettings->currentText()};
    if (!tap && (host.name.isEmpty() || board.name.isEmpty())) {
        message(QStringLiteral("Choose the host's port and the board's port."));
        return false;
    }
    if (!host.name.isEmpty() && host.name == board.name) {
        message(QStringLiteral("The host's port and the board's port must be two ports."));
        return false;
    }
    auto pass = std::make_unique<monitor::PassThrough>(
        host, board, tap ? monitor::PassThrough::Mode::Tap : monitor::PassThrough::Mode::Pass);
    connect(pass.get(), &monitor::PassThrough::arrived, this,
            [this](monitor::Direction from, const QByteArray& bytes, qint64 at) {
                if (m_writer && m_spool && m_spool->size() >= kLongestCapture) {
                    m_writer->note(QStringLiteral("The capture stops here, at %1 MiB.").arg(kLongestCapture >> 20), at);
                    m_writer->flush();
                    m_writer.reset();
                    m_note->setText(QStringLiteral("The capture's file has reached %1 MiB: what comes now is shown "
                                                   "but not kept.")
                                        .arg(kLongestCapture >> 20));
                }
                if (m_writer)
                    m_writer->add(from, bytes, at);
                m_decoder->take(from, bytes, at);
            });
    connect(pass.get(), &monitor::PassThrough::lost, this,
            [this](monitor::Direction side, const QString& reason, qint64 at) {
                const QString text = monitor::lostText(side, reason);
                m_decoder->lost(side, text, at);
                if (m_writer)
                    m_writer->note(text, at);
                m_note->setText(text);
                // Told while stopping, it finds the monitor stopped.
                if (m_pass && !m_pass->running())
                    stop();
            });
    if (!pass->start()) {
        message(pass->why());
        return false;
    }
    begin(true);
    if (pass->hearsBoard())
        m_decoder->hearBoard(!tap);
    m_spool = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/varnix-capture-XXXXXX.log"));
    if (m_spool->open()) {
        m_writer = std::make_unique<monitor::CaptureWriter>(*m_spool, pass->description(),
                                                            QDateTime::currentMSecsSinceEpoch());
    } else {
        m_note->setText(QStringLiteral("No file for the capture (%1): it cannot be saved.").arg(m_spool->errorString()));
        m_spool.reset();
    }
    m_pass = std::move(pass);
    m_tick->start();
    showRunning();
    return true;
}

bool MonitorWindow::startFile(const QString& path)
{
    if (path.isEmpty()) {
        message(QStringLiteral("Choose the file to read."));
        return false;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        message(QStringLiteral("Cannot open %1: %2.").arg(path, file->errorString()));
        return false;
    }
    auto reader = std::make_unique<monitor::CaptureReader>(*file, QFileInfo(path).fileName());
    begin(reader->timesOfDay());
    if (reader->boardHeard())
        m_decoder->hearBoard(reader->passedThrough());
    m_file = std::move(file);
    m_reader = std::move(reader);
    m_filePath = path;
    m_fileAt = 0;
    m_reading->start();
    m_tick->start();
    showRunning();
    return true;
}

void MonitorWindow::readFile()
{
    if (!m_reader)
        return;
    QElapsedTimer slice;
    slice.start();
    while (slice.elapsed() < kReadSliceMs) {
        const auto item = m_reader->next();
        if (item.kind == monitor::CaptureReader::Item::Kind::End) {
            stop();
            return;
        }
        m_fileAt = item.at;
        monitor::feed(*m_decoder, item);
    }
}

void MonitorWindow::stop()
{
    m_reading->stop();
    m_tick->stop();
    if (m_pass) {
        // What arrived before is told now; a port lost among it stops the
        // monitor from inside, and then there is nothing left to do here.
        m_pass->stop();
    }
    if (m_pass) {
        // It may be telling of a lost port just now.
        m_pass.release()->deleteLater();
        m_decoder->finish(QDateTime::currentMSecsSinceEpoch());
        if (m_writer && !m_writer->flush())
            m_note->setText(QStringLiteral("The capture's file could not be written: it cannot be saved whole."));
    } else if (m_reader) {
        m_decoder->finish(m_fileAt);
        m_reader.reset();
        m_file.reset();
    }
    showNew();
    showRunning();
}

void MonitorWindow::showRunning()
{
    m_start->setText(running() ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
    showSource();
}

void MonitorWindow::tick()
{
    if (m_pass) {
        m_decoder->quiet(m_pass->tellArrivals());
        if (m_writer && !m_writer->flush())
            m_note->setText(QStringLiteral("The capture's file could not be written: it cannot be saved whole."));
    }
    showNew();
}

void MonitorWindow::showNew()
{
    QScrollBar* bar = m_view->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    const QModelIndex top = m_view->indexAt(QPoint(0, 0));
    const int topRow = top.isValid() ? m_filter->mapToSource(top).row() : -1;
    const int sliderRow = m_slider->value();

    const qsizetype removed = m_table.trim();
    m_updating = true;
    m_model->update(removed);
    m_updating = false;

    const int last = int(m_table.size()) - 1;
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setRange(0, std::max(last, 0));
        m_slider->setValue(m_following ? std::max(last, 0) : std::max(sliderRow - int(removed), 0));
    }
    showAt(m_slider->value());
    if (m_following && atEnd && last >= 0) {
        // The view's current row goes with the newest, unselected, so that
        // focusing the view does not take the display back to the first.
        // (It scrolls the view there, which only the end may do.)
        const QModelIndex newest = m_filter->mapFromSource(m_model->index(last, 0));
        m_updating = true;
        if (newest.isValid())
            m_view->selectionModel()->setCurrentIndex(newest, QItemSelectionModel::NoUpdate);
        m_updating = false;
    }
    // New rows are followed at the end; elsewhere the rows in view stay.
    if (atEnd) {
        m_view->scrollToBottom();
    } else if (removed > 0 && topRow >= 0) {
        const QModelIndex kept = m_filter->mapFromSource(m_model->index(std::max(topRow - int(removed), 0), 0));
        if (kept.isValid())
            m_view->scrollTo(kept, QAbstractItemView::PositionAtTop);
    }
    QString counts = monitor::countsText(m_decoder->counts());
    if (m_table.dropped() > 0)
        counts += QStringLiteral("; the first %1 events are no longer listed").arg(m_table.dropped());
    m_counts->setText(counts);
}

void MonitorWindow::showAt(int row)
{
    if (row < 0 || row >= m_table.size()) {
        m_display->setDisplay({});
        m_at->setText(QStringLiteral("No events yet"));
        return;
    }
    m_following = row == m_table.size() - 1;
    m_display->setDisplay(m_table.displayAfter(row));
    const monitor::Event& event = m_table.at(row);
    m_at->setText(QStringLiteral("After event %1, %2").arg(event.number).arg(monitor::timeText(event.first, m_timesOfDay)));
    if (m_slider->value() != row) {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(row);
    }
}

void MonitorWindow::selectRow(int row)
{
    const QModelIndex index = m_filter->mapFromSource(m_model->index(row, 0));
    // Not by blocking the selection's signals: the view repaints the rows
    // it hears of, and rows no longer selected would stay drawn so.
    m_updating = true;
    if (index.isValid()) {
        m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect
                                                             | QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    } else {
        m_view->selectionModel()->clearSelection();
    }
    m_updating = false;
}

void MonitorWindow::cmdChooseFile_Click()
{
    const QString path = m_desktop.openFileName(
        this, QStringLiteral("Open a Capture"),
        captureFilter() + QStringLiteral(";;Scripts (*.%1)").arg(QLatin1String(script::kExtension)));
    if (path.isEmpty())
        return;
    m_fileName->setText(path);
    m_optFile->setChecked(true);
    startFile(path);
}

void MonitorWindow::cmdCopy_Click()
{
    QList<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        rows << m_filter->mapToSource(index).row();
    if (rows.isEmpty()) {
        message(QStringLiteral("Select the events to copy first."));
        return;
    }
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << monitor::eventLine(m_table.at(row), m_timesOfDay);
    m_desktop.setClipboardText(lines.join(u'\n') + u'\n');
}

QString MonitorWindow::capturePath()
{
    if (m_writer)
        m_writer->flush();
    return m_spool ? m_spool->fileName() : m_filePath;
}

void MonitorWindow::cmdSaveCapture_Click()
{
    const QString source = capturePath();
    if (source.isEmpty()) {
        message(QStringLiteral("Nothing captured yet: press Start first."));
        return;
    }
    const QString proposed = QDir::home().filePath(
        QStringLiteral("varnix-capture-%1.log").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString target = m_desktop.saveFileName(this, QStringLiteral("Save Capture"), proposed, captureFilter());
    if (target.isEmpty())
        return;
    if (const QString failure = monitor::saveAsCapture(source, target); !failure.isEmpty())
        message(failure);
}

void MonitorWindow::cmdSaveScript_Click()
{
    const QString source = capturePath();
    if (source.isEmpty()) {
        message(QStringLiteral("Nothing captured yet: press Start first."));
        return;
    }
    QString target = m_desktop.saveFileName(
        this, QStringLiteral("Save as Script"), QString(),
        QStringLiteral("Varnix scripts (*.%1);;All files (*)").arg(QLatin1String(script::kExtension)));
    if (target.isEmpty())
        return;
    if (QFileInfo(target).suffix().isEmpty())
        target += u'.' + QLatin1String(script::kExtension);
    if (const QString failure = monitor::saveAsScript(source, target); !failure.isEmpty())
        message(failure);
}

void MonitorWindow::message(const QString& text)
{
    m_desktop.message(this, text, QStringLiteral("Varnix"), {QStringLiteral("OK")});
}

void MonitorWindow::closeEvent(QCloseEvent* event)
{
    // Ports held by a window out of sight would keep the main window off them.
    stop();
    event->accept();
}

void MonitorWindow::showEvent(QShowEvent* event)
{
    listPorts();
    QWidget::showEvent(event);
}

} // namespace varnix

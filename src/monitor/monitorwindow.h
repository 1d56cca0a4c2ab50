// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/capture.h"
#include "monitor/core/eventtable.h"
#include "monitor/core/passthrough.h"

#include <QFile>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTableView;
class QTemporaryFile;
class QTimer;

namespace varnix {

class Desktop;
class DisplayView;
class EventFilter;
class EventModel;

namespace link {
class PortMap;
}

// The line monitor: what a host sends the board, frame by frame, with the
// board's verdict, and the display after each event. The bytes come from a
// pass-through between the host's port and the board's, from a tap that
// only listens, or from a file; a live capture is kept in a file of its own
// for saving, as a capture or as a script.
class MonitorWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 100;
    // A live capture's file grows no larger; what comes after is decoded
    // and shown but not kept.
    static constexpr qint64 kLongestCapture = qint64(1) << 30;

    MonitorWindow(Desktop& desktop, link::PortMap& ports, QWidget* parent = nullptr);
    ~MonitorWindow() override;

    const monitor::EventTable& table() const { return m_table; }
    bool running() const;
    // Shows the events that came since the last tick at once.
    void showNew();

    void cmdStart_Click();
    void cmdChooseFile_Click();
    void cmdCopy_Click();
    void cmdSaveCapture_Click();
    void cmdSaveScript_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class Source { Pass, Tap, File };

    QWidget* buildSource();
    QWidget* buildEvents();
    QWidget* buildDisplay();
    Source source() const;
    void showSource();
    void listPorts();

    // A fresh table and decoder for the next capture.
    void begin(bool timesOfDay);
    bool startLive();
    bool startFile(const QString& path);
    void readFile();
    void stop();
    void showRunning();
    void take(const monitor::Event& event);
    void tick();
    void showAt(int row);
    void selectRow(int row);
    // Widens a column to show the text whole.
    void fit(int column, const QString& text);
    // Changes the rows shown; the display follows the row chosen.
    void filter(const std::function<void()>& change);
    // The capture's file to save from; empty when there is none.
    QString capturePath();
    void message(const QString& text);

    Desktop& m_desktop;
    link::PortMap& m_ports;

    monitor::EventTable m_table;
    std::unique_ptr<monitor::Decoder> m_decoder;
    std::unique_ptr<monitor::PassThrough> m_pass;
    std::unique_ptr<QTemporaryFile> m_spool;
    std::unique_ptr<monitor::CaptureWriter> m_writer;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<monitor::CaptureReader> m_reader;
    QString m_filePath;
    qint64 m_fileAt = 0;
    bool m_timesOfDay = true;
    bool m_following = true;
    bool m_updating = false;

    QRadioButton* m_optPass;
    QRadioButton* m_optTap;
    QRadioButton* m_optFile;
    QComboBox* m_hostPort;
    QComboBox* m_hostSettings;
    QComboBox* m_boardPort;
    QComboBox* m_boardSettings;
    QLineEdit* m_fileName;
    QPushButton* m_chooseFile;
    QPushButton* m_start;
    QLabel* m_note;
    QTableView* m_view;
    EventModel* m_model;
    EventFilter* m_filter;
    QComboBox* m_kind;
    QCheckBox* m_refusedOnly;
    QLineEdit* m_filterText;
    DisplayView* m_display;
    QSlider* m_slider;
    QLabel* m_at;
    QLabel* m_counts;
    QTimer* m_tick;
    QTimer* m_reading;
    std::unique_ptr<QFontMetrics> m_bold;
};

} // namespace varnix

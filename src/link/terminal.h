// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/receivemodel.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QWidget;

namespace varnix {

class FindBar;
class HexView;
class LineField;
class PageHost;
class ReceiveText;
class TextArea;

namespace link {
class Connection;
}

// The terminal: the receive window fed by the receive poll, the transmit
// window that shows the last frame and sends typed keys, and its buttons.
//
// The poll takes what arrived from the port at its own pace and stamps it
// with the time; the window shows a stream at most every kShowMs (a reply
// after a quiet spell at once): no one reads a stream faster, and each show
// paints most of the view anew, the larger part of the window's cost. The receive
// window's text view, its times margin, its hex view and the find bar all
// work on one model of what was received.
class Terminal : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kWaiting = "Waiting.....";
    static constexpr int kPollMs = 50;
    // What the receive window keeps of a long session: the newest million
    // characters or so, far more than the longest reply of the board.
    static constexpr qsizetype kReceiveLimit = 1'000'000;
    static constexpr int kShowMs = 200;
    // What the window takes in one go before it lets other events through:
    // a flood is shown in parts, and never stalls the window for long.
    static constexpr qsizetype kShowAtOnce = 16 * 1024;

    Terminal(PageHost& host, link::Connection& connection, QObject* parent = nullptr);

    QGroupBox* group() const { return m_group; }
    QPushButton* clearLcdButton() const { return m_Command1; }
    TextArea* rcvText() const;
    HexView* rcvHex() const { return m_rcvHex; }
    const link::ReceiveModel& received() const { return m_model; }
    LineField* txmText() const { return m_txmText; }
    QTimer* timer() const { return m_Timer1; }

    // The receive poll (Timer1) on or off.
    void setPolling(bool on);
    bool polling() const;
    // Dresses the terminal for an open or a closed port.
    void showPortOpen(bool open);
    // Puts a control of the window's into the row of the terminal's buttons.
    void addToButtonRow(QWidget* control);
    // The clock of the arrival times (local time); the system's by default.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // Puts what the poll took and the window has not shown yet into it.
    void showReceived() { show(-1); }
    // Empties the receive window, with what waits to be shown.
    void clearReceived();
    // Opens the find bar (Ctrl+F).
    void openFind();

    void Timer1_Timer();
    void txmText_KeyPress(QChar key);
    void cmdClear_Click();
    void Command7_Click();
    void Command1_Click();

private:
    struct Piece {
        QString text;
        qint64 time;
    };
    // Shows at most `most` characters of what waits (-1: all).
    void show(qsizetype most);
    // Of more waiting than the window keeps, what it would drop at once goes
    // unshown; true when it dropped text.
    bool skipUnseen();
    void rcvText_Changed();
    // Looks for the find bar's query anew; when the query was typed
    // (`goToFound`), the view goes to the current match once it is found.
    void searchAgain(bool goToFound = true);
    // One slice of the search, and what it found shown; the next slice
    // follows once the events that wait have been seen to.
    void searchSome();
    void showFound();
    void showHex(bool shown);
    void showMatchCount();
    void trimMemory();

    PageHost& m_host;
    link::Connection& m_connection;
    QGroupBox* m_group;
    link::ReceiveModel m_model;
    link::ReceiveSearch m_search;
    std::function<QDateTime()> m_clock;
    std::vector<Piece> m_pending;
    QElapsedTimer m_lastShown;
    QElapsedTimer m_lastTrim;
    QTimer* m_showTimer;
    QTimer* m_trimTimer;
    QTimer* m_searchTimer;
    bool m_goToFound = false;
    qsizetype m_pendingSize = 0;
    bool m_showing = false;
    ReceiveText* m_rcvText;
    HexView* m_rcvHex;
    FindBar* m_findBar;
    QCheckBox* m_chkTimes;
    QCheckBox* m_chkHex;
    LineField* m_txmText;
    QPushButton* m_Command7;
    QPushButton* m_cmdClear;
    QLabel* m_lblXmit;
    QPushButton* m_Command1;
    QTimer* m_Timer1;
};

} // namespace varnix

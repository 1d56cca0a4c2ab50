// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QWidget;

namespace varnix {

class LineField;
class PageHost;
class TextArea;

namespace link {
class Connection;
}

// The terminal: the receive window fed by the receive poll, the transmit
// window that shows the last frame and sends typed keys, and its buttons.
class Terminal : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kWaiting = "Waiting.....";
    static constexpr int kPollMs = 50;
    // What the receive window keeps of a long session: the newest million
    // characters or so, far more than the longest reply of the board.
    static constexpr qsizetype kReceiveLimit = 1'000'000;

    Terminal(PageHost& host, link::Connection& connection, QObject* parent = nullptr);

    QGroupBox* group() const { return m_group; }
    QPushButton* clearLcdButton() const { return m_Command1; }
    TextArea* rcvText() const { return m_rcvText; }
    LineField* txmText() const { return m_txmText; }
    QTimer* timer() const { return m_Timer1; }

    // The receive poll (Timer1) on or off.
    void setPolling(bool on);
    bool polling() const;
    // Dresses the terminal for an open or a closed port.
    void showPortOpen(bool open);
    // Puts a control of the window's into the row of the terminal's buttons.
    void addToButtonRow(QWidget* control);

    void Timer1_Timer();
    void txmText_KeyPress(QChar key);
    void cmdClear_Click();
    void Command7_Click();
    void Command1_Click();

private:
    PageHost& m_host;
    link::Connection& m_connection;
    QGroupBox* m_group;
    TextArea* m_rcvText;
    LineField* m_txmText;
    QPushButton* m_Command7;
    QPushButton* m_cmdClear;
    QLabel* m_lblXmit;
    QPushButton* m_Command1;
    QTimer* m_Timer1;
};

} // namespace varnix

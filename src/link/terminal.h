#pragma once

#include <QObject>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace varnix {

class Main;
class LineField;
class TextArea;

// The terminal: the receive window fed by the receive poll, the transmit
// window that shows the last frame and sends typed keys, and its buttons.
class Terminal : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kWaiting = "Waiting.....";
    static constexpr int kPollMs = 50;

    explicit Terminal(Main& main);

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

    void Timer1_Timer();
    void txmText_KeyPress(QChar key);
    void cmdClear_Click();
    void Command7_Click();
    void Command1_Click();

    // Puts a text on the clipboard, or says there is nothing to copy when it
    // is empty or all blanks; the pages' Copy buttons use it too.
    void copyText(const QString& text);

private:
    Main& m_main;
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

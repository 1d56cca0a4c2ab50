#pragma once

#include <QObject>

class QLabel;
class QProgressBar;
class QWidget;

namespace varnix {

class Main;

// The paced transmission of the transmit window and the port guard that
// every command takes first.
class Sender : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kNotOpen = "Comm Port Not Open";
    static constexpr const char* kNothingToSend = "Nothing to send!";

    explicit Sender(Main& main);

    // Shows characters sent of the total and the time left while sending.
    QWidget* progressWidget() const { return m_progress; }

    bool portGuard();
    void send();
    // Ends a transmission in progress (the system is closing).
    void cancel();
    bool sending() const { return m_sending; }

private:
    void showProgress(int sent, int total, qint64 millisecondsLeft);

    Main& m_main;
    QWidget* m_progress;
    QProgressBar* m_bar;
    QLabel* m_timeLeft;
    bool m_sending = false;
};

} // namespace varnix

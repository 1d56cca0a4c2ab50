#pragma once

#include "link/core/transmitter.h"

#include <QObject>

class QLabel;
class QProgressBar;
class QTimer;
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
    static constexpr int kRefreshMs = 40;
    void refreshProgress();

    Main& m_main;
    QWidget* m_progress;
    QProgressBar* m_bar;
    QLabel* m_timeLeft;
    QTimer* m_refresh;
    link::Progress m_latest;
    bool m_sending = false;
};

} // namespace varnix

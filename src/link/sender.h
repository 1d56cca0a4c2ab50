// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/transmitter.h"

#include <QObject>

#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

namespace varnix {

class PageHost;
class PortPanel;
class Terminal;

namespace protocol {
struct FrameResult;
}
namespace link {
class Connection;
}

// The paced transmission of the transmit window and the port guard that
// every command takes first.
class Sender : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kNotOpen = "Comm Port Not Open";
    static constexpr const char* kNothingToSend = "Nothing to send!";

    Sender(PageHost& host, link::Connection& connection, Terminal& terminal, PortPanel& panel,
           QObject* parent = nullptr);

    // Shows characters sent of the total and the time left while sending.
    QWidget* progressWidget() const { return m_progress; }

    bool portGuard();
    void send();
    // The frame into the transmit window and sent; a refused frame is told.
    bool sendFrame(const protocol::FrameResult& frame);
    // Runs the action at once when nothing is being sent, otherwise once the
    // transmission and the action around it have returned.
    void whenIdle(std::function<void()> action);

    // A send, of one frame or of a script's run: the actions of clicks and
    // keys wait for its end, and the progress shows the whole. A run's frames
    // go out one by one through sendPart(), each shown in the transmit
    // window.
    void beginRun();
    link::Transmitter::Outcome sendPart(const QString& frame, std::optional<QChar> pacing, std::int32_t delay,
                                        const std::function<void(const link::Progress&)>& progress);
    void showRunProgress(const link::Progress& whole) { m_latest = whole; }
    void endRun();

    // The system is ending: a transmission in progress stops, nothing more
    // is sent and nothing waiting for the end of a send runs.
    void shutDown();
    bool closing() const { return m_closing; }
    bool sending() const { return m_sending; }

private:
    static constexpr int kRefreshMs = 40;
    // Sends the transmit window's text, without its trailing blanks unless
    // the frame there is whole.
    void transmitText(bool whole);
    void refreshProgress();
    void runWaiting();

    PageHost& m_host;
    link::Connection& m_connection;
    Terminal& m_terminal;
    PortPanel& m_panel;
    QWidget* m_progress;
    QProgressBar* m_bar;
    QLabel* m_timeLeft;
    QTimer* m_refresh;
    link::Progress m_latest;
    bool m_sending = false;
    bool m_closing = false;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace varnix

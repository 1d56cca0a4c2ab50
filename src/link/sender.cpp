// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/sender.h"

#include "link/core/connection.h"
#include "link/core/transmitter.h"
#include "link/portpanel.h"
#include "link/terminal.h"
#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <utility>

namespace varnix {

namespace {
// Below this a frame is gone before a progress bar could be read.
constexpr qint64 kShowProgressFromMs = 400;
} // namespace

Sender::Sender(PageHost& host, link::Connection& connection, Terminal& terminal, PortPanel& panel,
               QObject* parent)
    : QObject(parent), m_host(host), m_connection(connection), m_terminal(terminal), m_panel(panel),
      m_progress(new QWidget)
{
    m_progress->setObjectName(QStringLiteral("sendProgress"));
    m_bar = new QProgressBar(m_progress);
    m_bar->setObjectName(QStringLiteral("sendProgressBar"));
    m_bar->setFormat(QStringLiteral("%v of %m characters"));
    m_timeLeft = new QLabel(m_progress);
    m_timeLeft->setObjectName(QStringLiteral("sendTimeLeft"));
    auto* layout = new QHBoxLayout(m_progress);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_bar, 1);
    layout->addWidget(m_timeLeft);
    // Keep the space so the window does not jump when a long send starts.
    QSizePolicy policy = m_progress->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(policy);
    m_progress->hide();

    // QProgressBar paints at once on every new value; drawing it from a timer
    // lets it paint inside the pauses rather than between characters.
    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &Sender::refreshProgress);
}

bool Sender::portGuard()
{
    if (m_connection.isOpen())
        return true;
    m_host.message(QString::fromLatin1(kNotOpen));
    return false;
}

bool Sender::sendFrame(const protocol::FrameResult& frame)
{
    if (m_closing)
        return false;
    if (!frame.ok()) {
        m_host.message(frame.message());
        return false;
    }
    if (m_sending) {
        // An action that ran while another frame is going out: its frame
        // follows that one whole, never inside it.
        m_waiting.push_back([this, frame] { sendFrame(frame); });
        return true;
    }
    m_terminal.txmText()->setExactText(frame.frame);
    transmitText(frame.whole);
    return !m_closing;
}

void Sender::send()
{
    transmitText(false);
}

void Sender::transmitText(bool whole)
{
    if (m_sending || m_closing)
        return;
    const QString text = m_terminal.txmText()->exactText();

    if (link::isBlank(text)) {
        m_host.message(QString::fromLatin1(kNothingToSend));
        m_terminal.setPolling(true);
        return;
    }
    m_terminal.setPolling(false);
    const auto delay = link::pacingDelay(m_panel.xmitdelay()->exactText());
    const auto pacing = link::pacingCharacter(m_panel.waitchr()->exactText());
    if (!m_connection.isOpen()) {
        m_terminal.setPolling(true);
        return;
    }

    const QString frame = whole ? text : link::withoutTrailingBlanks(text);
    auto outcome = link::Transmitter::Outcome::Failed;
    // A delay beyond 32 bits, an over-long frame or a character with no
    // single-byte form fail before anything is written.
    if (delay && frame.size() <= link::kMaxFrameLength && protocol::isLatin1(frame)) {
        m_panel.showStatus(PortPanel::Status::Busy);
        beginRun();
        outcome = m_connection.transmit(frame, pacing, *delay, [this](const link::Progress& p) { m_latest = p; });
        endRun();
    }
    // Whatever happened, the label shows what the port now is.
    m_panel.showStatus(m_connection.isOpen() ? PortPanel::Status::On : PortPanel::Status::Off);

    if (outcome == link::Transmitter::Outcome::Failed && m_connection.isOpen() && !m_closing)
        m_host.message(QString::fromLatin1(kNothingToSend));
    // A port lost during the frame has been told and left closed by now.
    if (!m_closing && m_connection.isOpen())
        m_terminal.setPolling(true);
}

void Sender::beginRun()
{
    m_sending = true;
    m_latest = {};
    m_refresh->start();
}

link::Transmitter::Outcome Sender::sendPart(const QString& frame, std::optional<QChar> pacing, std::int32_t delay,
                                            const std::function<void(const link::Progress&)>& progress)
{
    if (m_closing || !m_connection.isOpen())
        return link::Transmitter::Outcome::Failed;
    m_terminal.txmText()->setExactText(frame);
    m_terminal.setPolling(false);
    m_panel.showStatus(PortPanel::Status::Busy);
    const auto outcome = m_connection.transmit(frame, pacing, delay, progress);
    m_panel.showStatus(m_connection.isOpen() ? PortPanel::Status::On : PortPanel::Status::Off);
    if (!m_closing && m_connection.isOpen())
        m_terminal.setPolling(true);
    return outcome;
}

void Sender::endRun()
{
    m_refresh->stop();
    m_sending = false;
    m_progress->hide();
    if (!m_waiting.empty())
        QTimer::singleShot(0, this, &Sender::runWaiting);
}

void Sender::whenIdle(std::function<void()> action)
{
    if (m_closing)
        return;
    if (m_sending) {
        m_waiting.push_back(std::move(action));
        return;
    }
    action();
}

void Sender::runWaiting()
{
    // A later frame of the same action may be going out by now; its end
    // brings us back.
    if (m_sending)
        return;
    auto waiting = std::exchange(m_waiting, {});
    for (auto& action : waiting) {
        if (m_closing)
            return;
        action();
    }
}

void Sender::shutDown()
{
    m_closing = true;
    m_waiting.clear();
    m_connection.cancel();
}

void Sender::refreshProgress()
{
    const link::Progress& p = m_latest;
    if (!m_progress->isVisible()) {
        if (p.millisecondsLeft < kShowProgressFromMs || p.sent == p.total)
            return;
        m_bar->setRange(0, p.total);
        m_progress->show();
    }
    m_bar->setValue(p.sent);
    const qint64 seconds = (p.millisecondsLeft + 999) / 1000;
    m_timeLeft->setText(seconds >= 60 ? QStringLiteral("%1 min %2 s left").arg(seconds / 60).arg(seconds % 60)
                                      : QStringLiteral("%1 s left").arg(seconds));
}

} // namespace varnix

#include "link/sender.h"

#include "app/mainwindow.h"
#include "app/widgets.h"
#include "link/core/connection.h"
#include "link/core/transmitter.h"
#include "link/portpanel.h"
#include "link/terminal.h"
#include "protocol/encodings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace varnix {

namespace {
// Below this a frame is gone before a progress bar could be read.
constexpr qint64 kShowProgressFromMs = 400;
} // namespace

Sender::Sender(Main& main) : QObject(&main), m_main(main), m_progress(new QWidget)
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
    if (m_main.connection().isOpen())
        return true;
    m_main.message(QString::fromLatin1(kNotOpen));
    return false;
}

void Sender::send()
{
    if (m_sending || m_main.closing())
        return;
    Terminal& terminal = m_main.terminal();
    PortPanel& panel = m_main.portPanel();
    link::Connection& connection = m_main.connection();
    const QString text = terminal.txmText()->text();

    if (link::isBlank(text)) {
        m_main.message(QString::fromLatin1(kNothingToSend));
        terminal.setPolling(true);
        return;
    }
    terminal.setPolling(false);
    const auto delay = link::pacingDelay(panel.xmitdelay()->text());
    const auto pacing = link::pacingCharacter(panel.waitchr()->text());
    if (!connection.isOpen()) {
        terminal.setPolling(true);
        return;
    }

    const QString frame = link::withoutTrailingBlanks(text);
    auto outcome = link::Transmitter::Outcome::Failed;
    // A delay beyond 32 bits, an over-long frame or a character with no
    // single-byte form fail before anything is written.
    if (delay && frame.size() <= link::kMaxFrameLength && protocol::isLatin1(frame)) {
        panel.showStatus(PortPanel::Status::Busy);
        m_sending = true;
        m_latest = {};
        m_refresh->start();
        outcome = connection.transmit(frame, pacing, *delay, [this](const link::Progress& p) { m_latest = p; });
        m_refresh->stop();
        m_sending = false;
        m_progress->hide();
    }
    // Whatever happened, the label shows what the port now is.
    panel.showStatus(connection.isOpen() ? PortPanel::Status::On : PortPanel::Status::Off);

    if (outcome == link::Transmitter::Outcome::Failed && connection.isOpen() && !m_main.closing())
        m_main.message(QString::fromLatin1(kNothingToSend));
    if (!m_main.closing())
        terminal.setPolling(true);
}

void Sender::cancel()
{
    m_main.connection().cancel();
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

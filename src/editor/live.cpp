// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/live.h"

#include "editor/core/screen.h"
#include "editor/editorhost.h"

#include "board/firmware.h"
#include "link/core/connection.h"
#include "link/core/linesettings.h"
#include "link/core/pause.h"
#include "link/core/serialport.h"
#include "link/sender.h"
#include "widgets/inputhold.h"
#include "widgets/pagehost.h"

#include <QTimer>
#include <QWidget>

namespace varnix {

LiveLink::LiveLink(EditorHost& host, std::function<const editor::Screen&()> screen, QObject* parent)
    : QObject(parent), m_host(host), m_screen(std::move(screen)), m_hold(new InputHold(this))
{
    connect(&host.connection(), &link::Connection::lost, this, &LiveLink::portLost);
    connect(&host.connection(), &link::Connection::opened, this, &LiveLink::portOpened);
}

LiveLink::~LiveLink()
{
    // Gone in the middle of an update: the send it began is ended for it.
    if (m_sending) {
        m_host.pause().setTakesInput(false);
        m_host.sender().endRun();
    }
}

void LiveLink::setLetThrough(const QList<QWidget*>& widgets)
{
    m_through.clear();
    for (QWidget* widget : widgets)
        m_through << widget;
}

void LiveLink::setOn(bool on)
{
    if (on == m_on)
        return;
    m_resume = false;
    if (on && !m_host.pageHost().portGuard()) {
        emit switched(false);
        return;
    }
    m_on = on;
    if (on) {
        m_characters = 0;
        m_updates = 0;
    }
    emit switched(on);
    emit told(on ? QStringLiteral("Live: the board follows the screen.") : QStringLiteral("Live is off."));
    if (on)
        schedule();
}

void LiveLink::screenChanged()
{
    if (!m_on)
        return;
    if (m_sending)
        m_newer = true;
    else
        schedule();
}

void LiveLink::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    // Out of the edit that asked (the edits of one event go as one
    // update), and after any other send.
    QTimer::singleShot(0, this, [this] {
        const QPointer<LiveLink> alive(this);
        m_host.pageHost().whenIdle([alive] {
            if (alive)
                alive->sendNewest();
        });
    });
}

void LiveLink::sendNewest()
{
    m_scheduled = false;
    if (!m_on || m_sending)
        return;
    link::Connection& connection = m_host.connection();
    if (!connection.isOpen()) {
        stop(QStringLiteral("The port is closed: Live is off."), false);
        return;
    }
    const auto delay = m_host.pacingDelay();
    if (!delay) {
        stop(QStringLiteral("The pacing delay cannot be used: Live is off."), false);
        return;
    }
    const auto settings = link::LineSettings::parse(connection.port().settings());
    const editor::LineCost cost{m_host.pacingCharacter(), *delay, settings ? settings->baudRate : 19200};

    Sender& sender = m_host.sender();
    link::Pause& pause = m_host.pause();
    m_sending = true;
    sender.beginRun();
    QList<QWidget*> through;
    for (const QPointer<QWidget>& widget : std::as_const(m_through))
        if (widget)
            through << widget;
    m_hold->hold(through);
    pause.setTakesInput(true);
    const QPointer<LiveLink> alive(this);
    bool refused = false;
    do {
        m_newer = false;
        const editor::LivePlan plan = editor::livePlan(m_host.shownOnBoard().display(), m_screen(), cost);
        if (plan.way == editor::LivePlan::Way::Nothing)
            break;
        ++m_updates;
        m_lastPlan = plan;
        for (const editor::LiveFrame& frame : plan.frames) {
            const auto outcome = sender.sendPart(frame.frame, cost.pacing, frame.delay, {});
            if (!alive)
                return;
            if (outcome != link::Transmitter::Outcome::Sent) {
                refused = outcome == link::Transmitter::Outcome::Failed && connection.isOpen() && !sender.closing();
                break;
            }
            m_characters += frame.frame.size();
            if (!m_on)
                break;
        }
        // Edits made meanwhile: planned again from where the board is now,
        // once this update is whole.
    } while (m_newer && m_on && connection.isOpen() && !refused && !sender.closing());
    pause.setTakesInput(false);
    m_hold->release();
    sender.endRun();
    m_sending = false;
    if (refused)
        stop(QStringLiteral("The port refused a frame: Live is off."), false);
    else if (m_on && m_newer)
        schedule();
    else if (m_on)
        emit caughtUp();
}

void LiveLink::stop(const QString& why, bool resume)
{
    const bool was = m_on;
    m_on = false;
    m_resume = resume;
    if (was)
        emit switched(false);
    emit told(why);
}

void LiveLink::portLost()
{
    if (m_on)
        stop(QStringLiteral("The port was lost: Live stopped. It goes on from what the board shows once the port "
                            "is open again."),
             true);
}

void LiveLink::portOpened()
{
    if (!m_resume)
        return;
    emit told(QStringLiteral("The port is open again: reading what the board shows."));
    const QPointer<LiveLink> alive(this);
    m_host.followBoard([alive](bool read) {
        if (!alive || !alive->m_resume)
            return;
        alive->m_resume = false;
        if (!read) {
            emit alive->told(QStringLiteral("The board did not send its display: Live stays off."));
            return;
        }
        alive->m_on = true;
        emit alive->switched(true);
        emit alive->told(QStringLiteral("Live goes on from what the board showed."));
        alive->schedule();
    });
}

} // namespace varnix

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/liveplan.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

namespace varnix {

class EditorHost;
class InputHold;

namespace editor {
class Screen;
}

// The board following the screen as it is edited. Once the board can take
// more (nothing is being sent), it is sent what brings what it shows to
// the newest screen (see livePlan()): a drag sends nothing while an update
// is going out, and then only where it has got to, so the board is never
// more than one update behind. While it sends, the canvas alone goes on taking
// the mouse and keys; the rest of the windows' input waits.
//
// A lost port stops it and says so; when the port is open again, it goes
// on from the display read back from the board.
class LiveLink : public QObject
{
    Q_OBJECT
public:

    // `screen` gives the screen as it is now.
    LiveLink(EditorHost& host, std::function<const editor::Screen&()> screen, QObject* parent = nullptr);
    ~LiveLink() override;

    // The widgets that keep taking input while the board is sent an update.
    void setLetThrough(const QList<QWidget*>& widgets);

    bool isOn() const { return m_on; }
    // On: the board is brought to the screen, when the port is open (the
    // port guard says so otherwise and it stays off).
    void setOn(bool on);
    // The screen changed: the board follows once it can take it.
    void screenChanged();
    // An update is being sent.
    bool sending() const { return m_sending; }
    // Waiting to go on once the port that was lost is open again.
    bool waitingForPort() const { return m_resume; }

    // What went to the board since Live was switched on: characters, and
    // the updates they made.
    qint64 charactersSent() const { return m_characters; }
    int updatesSent() const { return m_updates; }
    // What the last update sent, and what its line time was reckoned at.
    const editor::LivePlan& lastPlan() const { return m_lastPlan; }

signals:
    // On or off, by the person or by a lost port.
    void switched(bool on);
    // A line for the editor's status: what Live is doing or why it stopped.
    void told(const QString& text);
    // An update has been sent whole: the board shows the newest screen.
    void caughtUp();

private:
    void schedule();
    void sendNewest();
    void stop(const QString& why, bool resume);
    void portLost();
    void portOpened();

    EditorHost& m_host;
    std::function<const editor::Screen&()> m_screen;
    InputHold* m_hold;
    QList<QPointer<QWidget>> m_through;
    bool m_on = false;
    bool m_sending = false;
    bool m_scheduled = false;
    // The screen changed while an update was going out.
    bool m_newer = false;
    bool m_resume = false;
    qint64 m_characters = 0;
    int m_updates = 0;
    editor::LivePlan m_lastPlan;
};

} // namespace varnix

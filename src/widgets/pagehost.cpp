// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/pagehost.h"

#include "protocol/encodings.h"

#include <QEvent>
#include <QFocusEvent>
#include <QObject>
#include <QWidget>

namespace varnix {

void copyToClipboard(PageHost& host, const QString& text)
{
    if (protocol::trimmedOfBlanks(text).isEmpty()) {
        host.message(QStringLiteral("Nothing to there to copy!"));
        return;
    }
    host.setClipboardText(text);
    host.message(QStringLiteral("Text copied to Clipboad"));
}

namespace {

class FocusLeftWatcher : public QObject
{
public:
    FocusLeftWatcher(QWidget* widget, PageHost& host, std::function<void()> action)
        : QObject(widget), m_host(host), m_action(std::move(action))
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                m_host.whenIdle(m_action);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    PageHost& m_host;
    std::function<void()> m_action;
};

} // namespace

void onFocusLeft(QWidget* widget, PageHost& host, std::function<void()> action)
{
    new FocusLeftWatcher(widget, host, std::move(action));
}

} // namespace varnix

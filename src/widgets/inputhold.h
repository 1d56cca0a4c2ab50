// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QEvent;
class QWidget;

namespace varnix {

// While it holds, the user's clicks and keys for every widget but the ones
// let through wait, and are handed on in their order when it lets go: what
// a transmission does to the window, with a way out (Stop) left open.
class InputHold : public QObject
{
    Q_OBJECT
public:
    explicit InputHold(QObject* parent = nullptr);
    ~InputHold() override;

    void hold(const QList<QWidget*>& through);
    // Lets go; what was held is delivered once the caller has returned to
    // the event loop.
    void release();
    bool holding() const { return m_holding; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    bool letThrough(const QWidget* widget) const;

    bool m_holding = false;
    QList<QPointer<QWidget>> m_through;
    std::vector<Held> m_held;
};

} // namespace varnix

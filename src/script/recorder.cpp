// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/recorder.h"

#include "link/core/connection.h"
#include "script/script.h"

#include "varnixversion.h"

namespace varnix::script {

Recorder::Recorder(link::Connection& connection, std::function<int()> delay, QObject* parent)
    : QObject(parent), m_delay(std::move(delay))
{
    connect(&connection, &link::Connection::sent, this, &Recorder::take);
}

void Recorder::start()
{
    m_items.clear();
    m_recording = true;
}

void Recorder::stop()
{
    m_recording = false;
}

void Recorder::take(const QString& characters, bool transmission)
{
    if (!m_recording || characters.isEmpty())
        return;
    if (!transmission && !m_items.isEmpty() && m_items.back().typed) {
        m_items.back().text += characters;
    } else {
        m_items.append(Item{characters, m_delay(), !transmission});
    }
}

QString Recorder::scriptText() const
{
    QString out = QStringLiteral("# Recorded by Varnix %1\n").arg(QLatin1String(kVersion));
    int delay = -1;
    for (const Item& item : m_items) {
        if (item.delay != delay) {
            delay = item.delay;
            out += QStringLiteral("delay %1\n").arg(delay);
        }
        if (item.typed)
            out += QStringLiteral("# typed\n");
        out += sendLine(item.text) + u'\n';
    }
    return out;
}

} // namespace varnix::script

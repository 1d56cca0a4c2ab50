// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/recorder.h"

#include "link/core/connection.h"
#include "script/script.h"

#include "varnixversion.h"

#include <QDir>
#include <QFileInfo>

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

void Recorder::addScreen(const QString& picture)
{
    Item item;
    item.text = picture;
    item.screen = true;
    m_items.append(item);
}

QString Recorder::scriptText(const QString& folder) const
{
    QString out = QStringLiteral("# Recorded by Varnix %1\n").arg(QLatin1String(kVersion));
    int delay = -1;
    for (const Item& item : m_items) {
        if (item.screen) {
            const QString relative = folder.isEmpty() ? QString() : QDir(folder).relativeFilePath(item.text);
            const bool within = !relative.isEmpty() && !relative.startsWith(QLatin1String("../"))
                && QFileInfo(relative).isRelative();
            out += screenLine(within ? relative : item.text) + u'\n';
            continue;
        }
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/scriptexport.h"

#include "monitor/core/capture.h"
#include "script/script.h"

#include "varnixversion.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace varnix::monitor {

ScriptExport::ScriptExport(const QString& source)
{
    m_text = QStringLiteral("# What the host sent, from %1; written by Varnix %2\nready off\n")
                 .arg(source, QLatin1String(kVersion));
}

void ScriptExport::take(const Event& event)
{
    if (event.direction() != Direction::Host || event.bytes.isEmpty())
        return;
    const qsizetype brackets = event.bytes.count(']');
    // The host's pause before each "]" after the first; the first one's is
    // the gap before the event.
    int delay = m_delay < 0 ? 0 : m_delay;
    if (brackets >= 2 && event.size == event.bytes.size())
        delay = int(std::clamp<qint64>((event.last - event.first) / (brackets - 1), 0, script::kLongestDelayMs));
    const bool pacedFirst = event.bytes.startsWith(']');
    if (m_lastEnd >= 0) {
        const qint64 wait = event.first - m_lastEnd - (pacedFirst ? delay : 0);
        if (wait >= board::Firmware::kSilenceMs)
            m_text += QStringLiteral("wait %1\n").arg(std::min<qint64>(wait, script::kLongestWaitMs));
    }
    if (delay != m_delay) {
        m_delay = delay;
        m_text += QStringLiteral("delay %1\n").arg(delay);
    }
    if (event.size > event.bytes.size())
        m_text += QStringLiteral("# only the first %1 of this frame's %2 bytes were kept\n")
                      .arg(event.bytes.size())
                      .arg(event.size);
    m_text += script::sendLine(QString::fromLatin1(event.bytes)) + u'\n';
    m_lastEnd = event.last;
}

QString saveAsScript(const QString& source, const QString& target)
{
    if (QFile in(source); !in.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open %1: %2.").arg(source, in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2.").arg(target, out.errorString());
    ScriptExport script(QFileInfo(source).fileName());
    Decoder decoder([&](const Event& event) {
        script.take(event);
        out.write(script.takeText().toUtf8());
    });
    decodeFile(source, decoder);
    out.write(script.takeText().toUtf8());
    if (!out.commit())
        return QStringLiteral("Cannot write %1: %2.").arg(target, out.errorString());
    return {};
}

} // namespace varnix::monitor

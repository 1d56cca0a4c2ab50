// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/decoder.h"

#include <QString>

#include <utility>

namespace varnix::monitor {

// A script that sends again what the host sent: every frame and every byte
// between frames, a line each, at the host's own pacing before each "]"
// (the delay lines), with its pauses between them where the board would
// notice them (wait lines). It does not wait for the board's prompt, since
// the host did not either.
class ScriptExport
{
public:
    // `source` names what was captured, for the script's first comment.
    explicit ScriptExport(const QString& source);

    // Takes an event; answers and notes send nothing.
    void take(const Event& event);
    // The script so far.
    const QString& text() const { return m_text; }
    // The part written since the last call, for writing as it goes.
    QString takeText() { return std::exchange(m_text, {}); }

private:
    QString m_text;
    int m_delay = -1;
    qint64 m_lastEnd = -1;
};

// Writes the script that sends again what the host sent in a capture file
// of any form, whole or not at all; why it could not, or empty.
QString saveAsScript(const QString& source, const QString& target);

} // namespace varnix::monitor

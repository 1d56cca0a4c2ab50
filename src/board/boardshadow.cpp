// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/boardshadow.h"

#include "board/displaycheck.h"

#include "link/core/connection.h"

namespace varnix::board {

BoardShadow::BoardShadow(link::Connection& connection, QObject* parent) : QObject(parent)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(Firmware::kSilenceMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        m_firmware.silence();
        emit changed();
    });
    connect(&connection, &link::Connection::sent, this, &BoardShadow::take);
}

void BoardShadow::take(const QString& characters, bool transmission)
{
    m_firmware.feed(characters.toLatin1());
    if (transmission) {
        // Nothing more of this frame follows.
        m_silence.stop();
        m_firmware.silence();
    } else {
        m_silence.start();
    }
    emit changed();
}

void BoardShadow::takeDisplay(const Display& display)
{
    m_firmware.setDisplay(display);
    emit changed();
}

Firmware BoardShadow::after(const QStringList& frames) const
{
    return drawn(frames, m_firmware);
}

} // namespace varnix::board

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/firmware.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace varnix::link {
class Connection;
}

namespace varnix::board {

// What the board should be showing: the firmware fed every character the
// program actually sent, in order, whether in a frame or typed.
class BoardShadow : public QObject
{
    Q_OBJECT
public:
    explicit BoardShadow(link::Connection& connection, QObject* parent = nullptr);

    const Firmware& firmware() const { return m_firmware; }
    // The board as it would be after these frames as well; nothing is sent.
    Firmware after(const QStringList& frames) const;
    // The display as read from the board, in place of what was drawn.
    void takeDisplay(const Display& display);

signals:
    void changed();

private:
    void take(const QString& characters, bool transmission);

    Firmware m_firmware;
    // Typed characters end a trailing number when the line goes quiet, as on
    // the board.
    QTimer m_silence;
};

} // namespace varnix::board

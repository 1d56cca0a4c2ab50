// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/screen.h"

#include "board/display.h"

#include <QChar>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// What the board must be sent to show the screen, from what it shows now.
namespace varnix::editor {

// How a plan is weighed: the line's time for its characters and pauses, as
// the paced send spends it.
struct LineCost {
    std::optional<QChar> pacing = QChar(u']');
    int delay = 20;           // before each pacing character, where the screen sets none
    int baudRate = 19200;
    // A display block's pacing: the LCD page's, or the window's when shorter.
    int blockDelay() const { return delay < kBlockDelay ? delay : kBlockDelay; }
    static constexpr int kBlockDelay = 5;

    std::int64_t microseconds(const QString& frame, int delayMs) const;
};

struct LiveFrame {
    QString frame;
    int delay = 0;
};

struct LivePlan {
    enum class Way : quint8 {
        Nothing,      // the board shows the screen already
        Objects,      // the objects that changed drawn again, blocks where dots must go
        Blocks,       // display blocks alone
        WholeScreen,  // the display cleared and the whole screen sent
    };
    Way way = Way::Nothing;
    QList<LiveFrame> frames;
    std::int64_t microseconds = 0;
    qsizetype characters = 0;
};

// What brings a board that shows `board` exactly to the screen: the
// objects whose dots differ drawn again with their own frames (and those
// drawn after them that they overlap), when that suffices; where dots must
// be cleared, the cheapest on the line of those frames with display blocks
// for the dots still wrong, display blocks alone, and the display cleared
// and the whole screen sent. A frame goes with the delay the screen sets
// before it (its "delay" lines), the cost's otherwise; blocks with the
// block delay.
LivePlan livePlan(const board::Display& board, const Screen& screen, const LineCost& cost);

// The display blocks that write `target`'s bytes where they differ from
// `now`: runs of bytes along each row, joined across short gaps and with the
// same run on the rows below.
QStringList fixBlocks(const board::Display& now, const board::Display& target, const LineCost& cost);

} // namespace varnix::editor

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "board/firmware.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace varnix::board {

// The read of the whole display memory: columns 0 to 127, rows 0 to 7.
constexpr char kWholeDisplayRead[] = "]n]007f0007";

// The board after these frames as well, the line going quiet after each as
// it does between a script's frames.
Firmware drawn(const QStringList& frames, Firmware from = {});

// The display memory from the board's answer to kWholeDisplayRead: the hex
// pairs of every byte, row by row, before the prompt. Blanks and line breaks
// are passed over; nothing when the bytes are not all there.
std::optional<Display> displayFromAnswer(QStringView answer);

// Where two displays differ; the first difference in reading order (top row
// first, left to right).
struct Difference {
    int count = 0;
    int x = -1;
    int y = -1;
    // "12 pixels differ; the first at column 3, row 40", or "no pixel differs".
    QString describe() const;
};
Difference compare(const Display& expected, const Display& actual);

} // namespace varnix::board

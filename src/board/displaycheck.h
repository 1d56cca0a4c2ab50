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

// The board's answer to kWholeDisplayRead as far as it has come: the hex
// pairs of every byte, row by row, then the prompt. Whole prompt lines ahead
// of the pairs are the late answers of a frame before and are passed over,
// as are blanks and line breaks; the answer may end anywhere, even inside a
// prompt.
struct DisplayAnswer {
    // All the bytes have come.
    std::optional<Display> display;
    // Nothing more belongs to the answer: the prompt followed the bytes, or
    // what came is no dump at all (then without a display).
    bool finished = false;
};
DisplayAnswer readDisplayAnswer(QStringView answer);
// What ends a runner's wait for that answer.
bool displayAnswerFinished(const QString& answers);

// The display memory in a whole answer to kWholeDisplayRead, its prompt
// there or not; nothing when the bytes are not all there.
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

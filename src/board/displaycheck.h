// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "board/firmware.h"
#include "protocol/frames.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace varnix::board {

using protocol::kWholeDisplayRead;

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
    // "12 pixels differ (first at 3, 40)", or "no pixel differs": a screen
    // line's verdict.
    QString brief() const;
};
Difference compare(const Display& expected, const Display& actual);

// What a script's screen line found on a board.
struct ScreenVerdict {
    enum class Kind {
        Same,      // the board shows the picture
        Written,   // the picture was made from what the board shows
        Differs,   // the board shows something else
        Missing,   // there is no picture to compare with
        NoDisplay, // the board did not send its display memory
    };
    Kind kind = Kind::Same;
    // As a person reads it: "1 pixel differs (first at 40, 12)".
    QString said;
    // The pictures written for a failure: the board's display, then the
    // difference.
    QStringList pictures;
    bool passed() const { return kind == Kind::Same || kind == Kind::Written; }
};

} // namespace varnix::board

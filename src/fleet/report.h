// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/fleet.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace varnix::fleet {

// What a person reads of a fleet's run: a terminal's view of every board,
// rewritten in place; a line per event where no terminal is (a CI log);
// the table at the end; and the JUnit report CI servers read.

// "passed", "failed", "cut short", "not started", or the stage of a board
// still running ("waiting", "connecting", "sending", "verifying").
QString stateText(const BoardReport& report);

// A board's line of the terminal's view: its name padded to nameWidth,
// frames answered of all, its state, and why a board that failed did.
QString liveLine(const BoardReport& report, int frames, int nameWidth);
// The view's last line: how many boards are where.
QString countsLine(const QList<BoardReport>& reports);
// How many rows of a terminal `columns` wide lines of these widths take, as
// a terminal that wraps them again on a resize shows them: what must be
// erased to redraw the view without leaving a copy behind.
int rowsTaken(const QList<int>& widths, int columns);

// The line a log gets when the board's stage changes: connected (sending),
// verifying, or ended. Empty for a stage that tells nothing new.
QString eventLine(const BoardReport& report, int frames);

// The table after the run: a row a board with its result, the frames it
// answered of all, the time it took and why it failed; then the counts.
QStringList table(const QList<BoardReport>& reports, int frames);

// The results as JUnit XML: a test suite named after the script, a test
// case a board (a failure with its reason, a board not started skipped),
// the board's answers as its output. Written whole or not at all; false,
// with the reason in `error`, when the file cannot be written.
bool writeJUnit(const QString& path, const QString& suite, const QList<BoardReport>& reports, int frames,
                qint64 milliseconds, QString* error);

} // namespace varnix::fleet

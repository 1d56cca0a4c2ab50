// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/cli/commandline.h"
#include "script/script.h"

#include <cstdint>

class QTextStream;

namespace varnix {

// Runs the script on every board of the command (its --port values, its
// --ports file, or port 1's device) at once. A terminal shows a line per
// board rewritten in place, anything else a line per event; then a table
// of the results, and the JUnit report when asked for. 0 when every board
// passed, 1 when any did not (or the report could not be written), 2 when
// nothing could start. Ctrl+C (or a request to terminate) ends every run
// at its next frame boundary, a second one at once; the report is written
// all the same. `judges` judges the script's screen lines, their pictures
// kept in --log-dir (else the current folder) under each board's name.
int runFleetCommand(const Command& command, const script::Script& script, const ScreenJudges& judges,
                    QTextStream& out, QTextStream& err);

// Raises the limit of open files to the most the system allows this
// process, for a port (or a board's two ends) apiece; returns the limit
// now (0 when it cannot be read).
std::uint64_t allowEveryFile();

} // namespace varnix

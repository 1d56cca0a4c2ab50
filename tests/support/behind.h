// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/virtualboard.h"

#include <QByteArray>

namespace varnix::test {

// Writes frames straight to a virtual board, behind the back of whatever
// program has its line, and waits until the board has taken and answered
// them; false when that did not happen.
bool writeBehind(board::VirtualBoard& board, const QByteArray& frames);

} // namespace varnix::test

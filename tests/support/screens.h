// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/screen.h"

#include <QByteArrayList>
#include <QRandomGenerator>

namespace varnix::test {

// A shape of the kind with its numbers at random within what the board
// takes; texts in the board's own font, pictures from a drawn pattern.
editor::Shape randomShape(QRandomGenerator& random, editor::Kind kind);

// A screen that starts with a clear display and holds `count` objects of
// every kind at random.
editor::Screen randomScreen(QRandomGenerator& random, int count);

// One edit at random, made to the screen: an object added or pasted, moved,
// resized by a handle, a number changed, dots of a block drawn, deleted,
// duplicated, raised or lowered, aligned, hidden or shown, locked or
// unlocked; on the objects of every kind there. It may change nothing.
editor::Edit randomEdit(QRandomGenerator& random, editor::Screen& screen);

// Every kind of line a screen holds, each on a line of its own: objects of
// every kind, notes, hidden objects, the script's words, frames that make no
// object, notes that belong to nothing, and lines a run refuses.
QByteArrayList everyKindOfLine();

} // namespace varnix::test

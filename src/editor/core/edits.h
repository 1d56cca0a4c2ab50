// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/screen.h"

#include <QList>
#include <QPair>
#include <QRect>
#include <QString>

#include <functional>

// The edits a person makes, each made to the screen and handed back as one
// named change that History undoes and redoes; an empty one when nothing
// changed. They take the items by id and leave alone what they were not
// asked to change: a locked object does not move.
namespace varnix::editor {

using Ids = QList<quint64>;

// "Move Circle", "Move 3 Objects": the verb and what it acts on.
QString editName(const QString& verb, const Screen& screen, const Ids& ids);

// Each object's shape replaced by what `change` makes of it; unchanged
// shapes make no change.
Edit changeShapes(Screen& screen, const Ids& ids, const QString& verb,
                  const std::function<Shape(const Shape&)>& change);

// One object's shape replaced by the one given.
Edit setShape(Screen& screen, quint64 id, const Shape& shape, const QString& verb);

// Moves the objects by (dx, dy) pixels together: as far as the one that
// can go least far can go, so that they keep their places to each other.
// Locked objects stay.
Edit moveObjects(Screen& screen, const Ids& ids, int dx, int dy);

// New items put in at `index` (the end when past it).
Edit insertItems(Screen& screen, const QList<Item>& items, int index, const QString& name);
Edit removeItems(Screen& screen, const Ids& ids, const QString& verb);

// Copies of the items, put in after the last of them, each moved by an
// offset; their new ids come back in `copies`.
Edit duplicateItems(Screen& screen, const Ids& ids, int dx, int dy, Ids* copies);

// Raise: one place later in the drawing order, past the next item that is
// not selected; Lower: one earlier. To top and to bottom go all the way.
enum class Order { Raise, Lower, ToTop, ToBottom };
Edit reorder(Screen& screen, const Ids& ids, Order order);

// Lines the objects' boxes up: with the display, or with the box around
// them all when there are several. Blocks go to whole rows.
enum class Align { Left, Centre, Right, Top, Middle, Bottom };
Edit alignObjects(Screen& screen, const Ids& ids, Align align, bool toDisplay);

// Hide or show; lock or unlock: all the objects take the state the first
// does not have.
Edit toggleHidden(Screen& screen, const Ids& ids);
Edit toggleLocked(Screen& screen, const Ids& ids);

// The box around the objects' boxes; empty for none.
QRect boxOf(const Screen& screen, const Ids& ids);

} // namespace varnix::editor

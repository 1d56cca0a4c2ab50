// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/shape.h"

#include <QString>
#include <QStringView>

#include <optional>

// What a screen keeps about an object beyond its frame, in comment lines
// that a run, a preview and an export pass over:
//
//   #: text locked font="Board 5 x 7" size=8 text="HELLO"
//   ]m]00200303]3e]41]...
//
// A note line stands right before the frame it speaks of and names the
// object's kind; a text or a picture keeps there what made it, so that it
// opens as the same text or picture again. A hidden object's frame is
// written behind "#- ", so that nothing draws it.
namespace varnix::editor {

constexpr char kNotePrefix[] = "#:";
constexpr char kHiddenPrefix[] = "#- ";

// The note line the shape needs, without its line break; empty when the
// frame says everything (an object neither locked nor made from a text or
// a picture).
QString noteLine(const Shape& shape);

// Whether the line is a note line at all ("#:" after any blanks).
bool isNoteLine(QStringView line);

// The shape, as its frame made it, with what the note says of it: nothing
// when the note does not belong to the frame (another kind; a text or
// picture note on other than a block) or holds what the editor cannot
// read, so that the note stays a comment of its own.
std::optional<Shape> withNote(const Shape& framed, QStringView note);

// The frame of a hidden object's line ("#- ]c]402014"), or nothing.
std::optional<QStringView> hiddenFrame(QStringView line);

} // namespace varnix::editor

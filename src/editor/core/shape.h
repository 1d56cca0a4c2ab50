// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "render/picture.h"
#include "render/text.h"

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The objects of a screen: each is the frame that draws it, read into the
// numbers a person edits and written back from them.
namespace varnix::editor {

enum class Kind : quint8 {
    Circle, Square, Diamond, Star, Rectangle, Line, Bar, Fill, Dot, ToggledDot, Byte, Character,
    HorizontalString, VerticalString, XAxis, YAxis, Block, Text, Picture,
};
constexpr int kKindCount = int(Kind::Picture) + 1;

// What a number of a frame is to the display: a column or row of pixels, a
// column or row of the display memory's bytes (rows of 8 pixels), or neither
// (a size, a step).
enum class Axis : quint8 { None, X, Y, Column, Row };

// What follows a frame's hex pairs.
enum class Tail : quint8 { None, Number, Character, Text, Data };

struct KindInfo {
    Kind kind;
    char letter;
    const char* name;     // "Circle", as the editor names the object
    const char* noteWord; // "circle", as a note line names it
    int numbers;          // the pairs, then a trailing number where the tail is one
    Tail tail;
    std::array<Axis, 5> axes;
};
const KindInfo& info(Kind kind);
QString kindName(Kind kind);
std::optional<Kind> kindOfNoteWord(QStringView word);

// What a text object was made from: Load Text's choices, and whether its
// block is kept fitted to the text when the text changes.
struct TextOrigin {
    render::TextChoice choice;
    bool fit = true;
};

// What a picture object was made from: the file (as the script names it:
// relative to the script's folder where it lies beside or below it) and
// Load Picture's choices.
struct PictureOrigin {
    QString file;
    render::PictureChoice choice;
};

// One object. Numbers stand in the order its frame carries them:
//   Circle, Square, Diamond, Star   x, y, size
//   Rectangle, Line, Bar            x1, x2, y1, y2 [, step or pattern]
//   Fill                            step
//   Dot, ToggledDot                 x, y
//   Byte                            x, y, value
//   Character, the strings          x, y; the text
//   XAxis                           x1, x2, y, tick
//   YAxis                           y1, y2, x, tick
//   Block, Text, Picture            column1, column2, row1, row2; the bytes row by row
// Pairs are 0 to 255 (columns 0 to 127 and rows 0 to 7 for blocks), steps
// and ticks 1 to 99999.
struct Shape {
    Kind kind = Kind::Circle;
    std::array<int, 5> n{};
    QString text;
    QByteArray bytes;
    TextOrigin textOrigin;
    PictureOrigin pictureOrigin;
    bool hidden = false;
    bool locked = false;

    bool isBlock() const { return kind == Kind::Block || kind == Kind::Text || kind == Kind::Picture; }
    render::LcdBlock block() const { return {n[0], n[1], n[2], n[3]}; }
    QString name() const { return kindName(kind); }
};

// Two shapes draw the same and keep the same notes.
bool operator==(const Shape& a, const Shape& b);

constexpr int kLargestPair = 255;
constexpr int kLargestNumber = 99999;

// The frame that draws the shape, as the pages compose it: lower-case hex
// pairs (capitals in the two string frames), steps in decimal.
QString frameOf(const Shape& shape);

// The shape a frame draws, when the frame is one whole frame of a kind the
// editor knows and the board carries it out; nothing otherwise. Hidden,
// locked and what made a text or picture come from the note, not the frame.
std::optional<Shape> shapeOfFrame(QStringView frame);

// A shape with the page's start values, at the display's centre where the
// page has no start value; a block of 16 columns and one row.
Shape startShape(Kind kind);

// The object in words, as the list of objects and a screen reader say it:
// "Circle at 64, 32, radius 20".
QString describe(const Shape& shape);

// Where the shape draws, in pixels; what a selection frames and alignment
// lines up. May reach off the display.
QRect box(const Shape& shape);

// The shape moved by (dx, dy) pixels, as far as its numbers can go; blocks
// move by whole rows, dy / 8 rounded to the nearest.
Shape moved(const Shape& shape, int dx, int dy);
// How far the shape can move at most, clamped to (dx, dy): its numbers stay
// in their range.
QPoint reachable(const Shape& shape, int dx, int dy);

// The handles that change a shape's size, radius or corners, at their
// places in pixels; none for a shape that only moves.
QList<QPoint> handles(const Shape& shape);
// The shape with handle `index` dragged to `to`, clamped to what the board
// takes. A block's corners go to whole bytes; its bytes are not redrawn here.
Shape withHandleAt(const Shape& shape, int index, QPoint to);

// The pixels the shape sets or clears when drawn: what it covers (the whole
// cell or block for those that draw opaque, the dots set for the others).
board::Display footprint(const Shape& shape);

// A block's bytes taken into a block of other corners: the part the two
// share kept, the rest clear.
QByteArray reshapedBytes(const QByteArray& bytes, const render::LcdBlock& from, const render::LcdBlock& to);

// Whether the dot of a block at pixel (x, y) of the display is set.
bool blockDot(const Shape& block, int x, int y);
// The block with that dot set or cleared.
Shape withBlockDot(const Shape& block, int x, int y, bool on);

} // namespace varnix::editor

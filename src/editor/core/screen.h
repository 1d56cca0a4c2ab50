// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/shape.h"

#include "board/firmware.h"
#include "script/script.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace varnix::editor {

// A line the editor cannot make into an object, kept as it stands.
enum class Kept : quint8 {
    Blank,
    Comment,
    Step,    // delay, wait, expect, ready
    Frames,  // text sent that makes no object: several frames, "]k", a frame from elsewhere
    Damaged, // a line a run would refuse
};

// One entry of a screen, in drawing order: an object, or a line kept.
struct Item {
    quint64 id = 0;
    // The object; none for a line kept as it stands.
    std::optional<Shape> shape;
    // The lines of the file that make the item, without their line breaks
    // (a note line, then the frame's): saved as they stand until edited.
    QList<QByteArray> lines;
    // What the item sends: an object's frame as its line gives it, or a
    // kept line's text to send.
    QString frame;
    Kept kept = Kept::Comment;
    // A kept step; why a damaged line is refused.
    script::Step step;
    QString reason;

    bool isObject() const { return shape.has_value(); }
    // Drawn on the canvas and sent to the board: a visible object, or a
    // kept line of text to send.
    bool draws() const { return isObject() ? !shape->hidden : kept == Kept::Frames; }
    // "Circle", or the kept line as the file has it.
    QString title() const;
};

// The item in words, as the list of objects and a screen reader say it: an
// object with its numbers ("Circle at 64, 32, radius 20"), or a kept line
// as the file has it, and why a run would refuse it.
QString describe(const Item& item);

// A change of the screen: an item put in at an index, taken out of it, or
// replaced there. An edit is a list of them, undone in reverse.
struct Change {
    enum class Op : quint8 { Insert, Remove, Replace };
    Op op = Op::Replace;
    int index = 0;
    Item before;
    Item after;
};

struct Edit {
    QString name; // "Move Circle"
    QList<Change> changes;
    bool isEmpty() const { return changes.isEmpty(); }
};

// A screen: a script read into objects and the lines kept as they stand.
// Its text is the file's, byte for byte, until something is edited, and
// then differs only in the lines of what was.
class Screen
{
public:
    Screen();

    // Any text opens: what cannot be an object is kept as it stands.
    static Screen read(QByteArrayView file);
    // A new screen: a comment saying what it is, and the clear display that
    // a run starts it from.
    static Screen blank();

    QByteArray text() const;
    const QList<Item>& items() const { return m_items; }
    int indexOf(quint64 id) const;
    const Item* find(quint64 id) const;

    // New items for this screen, with ids of their own and lines written
    // as the file writes its lines (CR LF when its first line ends so).
    Item objectItem(const Shape& shape);
    // The item with a changed shape: its lines written anew where they
    // change, kept where they do not.
    Item withShape(const Item& item, const Shape& shape) const;
    // Items read from script text (the clipboard's), each with a new id.
    QList<Item> readItems(QByteArrayView text);
    // The items' lines as script text, as the clipboard holds them.
    static QByteArray textOf(const QList<Item>& items);

    void apply(const Edit& edit);
    void unapply(const Edit& edit);

    // The frames a run sends, in order, with a hidden object's left out.
    QStringList frames() const;
    // The board after the screen's frames, from a clear display: what the
    // canvas shows and what the board will show.
    board::Firmware drawn() const;
    // Items that a run would refuse.
    int damagedCount() const;

private:
    QByteArray lineOf(const QString& text) const;
    QList<QByteArray> linesOf(const Shape& shape, const QString& frame) const;
    QList<Item> readLines(const QList<QByteArray>& lines);

    QList<Item> m_items;
    quint64 m_nextId = 1;
    bool m_crlf = false;
    bool m_bom = false;
    bool m_finalNewline = true;
};

// A clear board, copied where a board is needed: cheaper than a new one,
// whose memories would be filled anew.
const board::Firmware& clearBoard();

// The edits of a session, undone and redone without limit, each named.
class History
{
public:
    // An edit already made to the screen; drops what could be redone.
    void push(Edit edit);
    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_edits.size(); }
    QString undoName() const { return canUndo() ? m_edits[m_done - 1].name : QString(); }
    QString redoName() const { return canRedo() ? m_edits[m_done].name : QString(); }
    // The edit undone or redone, or null when there is none.
    const Edit* undo(Screen& screen);
    const Edit* redo(Screen& screen);
    qsizetype size() const { return m_edits.size(); }

    // The screen as saved: it is unchanged while the history stands here.
    void setClean() { m_clean = m_done; }
    // The screen differs from any file (restored from a copy).
    void setUnsaved() { m_clean = -1; }
    bool isClean() const { return m_clean == m_done; }
    void clear();

private:
    QList<Edit> m_edits;
    qsizetype m_done = 0;
    // Where the saved screen stands; -1 once it cannot be reached again.
    qsizetype m_clean = 0;
};

} // namespace varnix::editor

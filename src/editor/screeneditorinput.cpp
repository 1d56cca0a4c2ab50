// SPDX-License-Identifier: GPL-3.0-or-later
// The screen editor's canvas under the mouse and the keys: selecting,
// dragging objects, their handles and a frame around several, drawing the
// dots of a block, and reaching the objects with Tab.
#include "editor/screeneditor.h"

#include "editor/canvas.h"

#include <QKeyEvent>

#include <algorithm>

namespace varnix {

using editor::Kind;

namespace {

// Shapes the mouse finds on their dots rather than anywhere in their box.
bool drawnAsOutline(Kind kind)
{
    switch (kind) {
    case Kind::Circle:
    case Kind::Square:
    case Kind::Diamond:
    case Kind::Star:
    case Kind::Rectangle:
    case Kind::Line:
    case Kind::XAxis:
    case Kind::YAxis:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<quint64> ScreenEditor::objectAt(QPoint dot) const
{
    const auto& items = m_screen.items();
    for (auto it = items.crbegin(); it != items.crend(); ++it) {
        if (!it->isObject() || it->shape->hidden)
            continue;
        const editor::Shape& shape = *it->shape;
        if (!editor::box(shape).adjusted(-2, -2, 2, 2).contains(dot))
            continue;
        if (!drawnAsOutline(shape.kind))
            return it->id;
        // An outline is found on its dots, a dot or two off them too.
        const board::Display own = editor::footprint(shape);
        for (int y = dot.y() - 2; y <= dot.y() + 2; ++y)
            for (int x = dot.x() - 2; x <= dot.x() + 2; ++x)
                if (own.pixel(x, y))
                    return it->id;
    }
    return std::nullopt;
}

void ScreenEditor::pressed(QPoint dot, Qt::KeyboardModifiers modifiers, int handle)
{
    m_pressDot = dot;
    m_dragEdit = {};
    m_drag = Drag::None;
    if (const editor::Item* block = m_screen.find(m_dotBlock)) {
        if (editor::box(*block->shape).contains(dot)) {
            m_drag = Drag::Dots;
            m_dotsDrawn.clear();
            m_dotValue = !editor::blockDot(*block->shape, dot.x(), dot.y());
            m_dotCursor = dot;
            setDot(dot, m_dotValue, *block->shape);
            refresh();
            return;
        }
        m_dotBlock = 0;
    }
    if (handle >= 0 && single()) {
        m_drag = Drag::Handle;
        m_handle = handle;
        return;
    }
    const std::optional<quint64> hit = objectAt(dot);
    if (modifiers & Qt::ControlModifier) {
        if (hit) {
            editor::Ids ids = m_selection;
            if (ids.contains(*hit))
                ids.removeAll(*hit);
            else
                ids << *hit;
            select(ids);
            return;
        }
        m_drag = Drag::Rubber;
        m_rubberStart = m_selection;
        return;
    }
    if (!hit) {
        select({});
        m_drag = Drag::Rubber;
        m_rubberStart.clear();
        return;
    }
    if (!m_selection.contains(*hit))
        select({*hit});
    m_drag = Drag::Move;
}

void ScreenEditor::dragged(QPoint dot)
{
    switch (m_drag) {
    case Drag::None:
        return;
    case Drag::Move:
        // Undone and made again from where the objects stood: only the
        // newest place counts.
        if (!m_dragEdit.isEmpty())
            m_screen.unapply(m_dragEdit);
        m_dragEdit = editor::moveObjects(m_screen, m_selection, dot.x() - m_pressDot.x(), dot.y() - m_pressDot.y());
        break;
    case Drag::Handle: {
        if (!m_dragEdit.isEmpty())
            m_screen.unapply(m_dragEdit);
        const int handle = m_handle;
        m_dragEdit = editor::changeShapes(m_screen, m_selection, QStringLiteral("Resize"),
                                          [this, handle, dot](const editor::Shape& shape) {
                                              if (shape.locked)
                                                  return shape;
                                              editor::Shape sized = editor::withHandleAt(shape, handle, dot);
                                              if (!sized.isBlock() || sized.block().bytes() == shape.block().bytes())
                                                  return sized;
                                              if (sized.kind == Kind::Text)
                                                  sized.textOrigin.fit = false;
                                              return withContent(sized);
                                          });
        break;
    }
    case Drag::Rubber: {
        m_rubberBand = QRect(m_pressDot, dot).normalized();
        editor::Ids ids = m_rubberStart;
        for (const editor::Item& item : m_screen.items())
            if (item.isObject() && !item.shape->hidden && editor::box(*item.shape).intersects(m_rubberBand)
                && !ids.contains(item.id))
                ids << item.id;
        select(ids);
        return;
    }
    case Drag::Dots: {
        const editor::Item* block = m_screen.find(m_dotBlock);
        if (!block || !editor::box(*block->shape).contains(dot))
            return;
        m_dotCursor = dot;
        const editor::Shape original = m_dragEdit.isEmpty() ? *block->shape : *m_dragEdit.changes.front().before.shape;
        setDot(dot, m_dotValue, original);
        break;
    }
    }
    refresh();
}

void ScreenEditor::released(QPoint dot)
{
    dragged(dot);
    const Drag drag = std::exchange(m_drag, Drag::None);
    m_rubberBand = QRect();
    if (drag == Drag::Rubber) {
        refreshMarks();
        return;
    }
    editor::Edit edit = std::exchange(m_dragEdit, {});
    if (edit.isEmpty())
        return;
    const editor::Item& first = edit.changes.front().before;
    if (drag == Drag::Handle)
        edit.name = QStringLiteral("Resize %1").arg(first.title());
    else if (drag == Drag::Dots)
        edit.name = QStringLiteral("Draw Dots in %1").arg(first.title());
    m_history.push(edit);
    refresh();
}

void ScreenEditor::doubleClicked(QPoint dot)
{
    const std::optional<quint64> hit = objectAt(dot);
    const editor::Item* item = hit ? m_screen.find(*hit) : nullptr;
    if (!item)
        return;
    select({item->id});
    if (item->shape->kind == Kind::Text)
        editText();
    else if (item->shape->kind == Kind::Picture)
        editPicture();
    else if (item->shape->kind == Kind::Block)
        drawDots(true);
}

bool ScreenEditor::key(QKeyEvent* event)
{
    const int step = event->modifiers() & Qt::ShiftModifier ? 8 : 1;
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dx = -step;
        break;
    case Qt::Key_Right:
        dx = step;
        break;
    case Qt::Key_Up:
        dy = -step;
        break;
    case Qt::Key_Down:
        dy = step;
        break;
    case Qt::Key_Escape:
        if (m_drag != Drag::None) {
            if (!m_dragEdit.isEmpty())
                m_screen.unapply(std::exchange(m_dragEdit, {}));
            m_drag = Drag::None;
            m_rubberBand = QRect();
            refresh();
        } else if (m_dotBlock) {
            drawDots(false);
            tell(QString());
        } else {
            select({});
        }
        return true;
    case Qt::Key_Space:
        if (const editor::Item* block = m_screen.find(m_dotBlock)) {
            const bool on = !editor::blockDot(*block->shape, m_dotCursor.x(), m_dotCursor.y());
            const editor::Shape shape = editor::withBlockDot(*block->shape, m_dotCursor.x(), m_dotCursor.y(), on);
            commit(editor::setShape(m_screen, m_dotBlock, shape, QStringLiteral("Draw Dots in")));
            return true;
        }
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const editor::Item* item = single(); item && item->isObject()) {
            if (item->shape->kind == Kind::Text)
                editText();
            else if (item->shape->kind == Kind::Picture)
                editPicture();
            else if (item->shape->kind == Kind::Block)
                drawDots(!drawingDots());
            return true;
        }
        return false;
    default:
        return false;
    }
    if (const editor::Item* block = m_screen.find(m_dotBlock)) {
        // In a block, the arrows move the dot Space draws.
        const QRect place = editor::box(*block->shape);
        m_dotCursor = QPoint(std::clamp(m_dotCursor.x() + dx, place.left(), place.right()),
                             std::clamp(m_dotCursor.y() + dy, place.top(), place.bottom()));
        refreshMarks();
        return true;
    }
    moveSelection(dx, dy);
    return true;
}

bool ScreenEditor::tab(bool forward)
{
    QList<quint64> objects;
    for (const editor::Item& item : m_screen.items())
        if (item.isObject())
            objects << item.id;
    if (objects.isEmpty() || m_dotBlock)
        return false;
    const qsizetype at = m_selection.size() == 1 ? objects.indexOf(m_selection.front()) : -1;
    // Past the last object (or before the first), on to the next control.
    qsizetype next = at < 0 ? (forward ? 0 : objects.size() - 1) : at + (forward ? 1 : -1);
    if (next < 0 || next >= objects.size())
        return false;
    select({objects[next]});
    tell(editor::describe(*m_screen.find(objects[next])));
    return true;
}

} // namespace varnix

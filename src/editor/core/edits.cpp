// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/edits.h"

#include <QSet>

#include <algorithm>
#include <limits>

namespace varnix::editor {

namespace {

// The indices of the ids in drawing order, those that are gone left out.
QList<int> indicesOf(const Screen& screen, const Ids& ids)
{
    QList<int> indices;
    for (quint64 id : ids) {
        const int index = screen.indexOf(id);
        if (index >= 0 && !indices.contains(index))
            indices << index;
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

bool movable(const Item& item)
{
    return item.isObject() && !item.shape->locked;
}

} // namespace

QString editName(const QString& verb, const Screen& screen, const Ids& ids)
{
    const QList<int> indices = indicesOf(screen, ids);
    if (indices.size() == 1)
        return verb + u' ' + screen.items()[indices.front()].title().left(40);
    return QStringLiteral("%1 %2 Objects").arg(verb).arg(indices.size());
}

Edit changeShapes(Screen& screen, const Ids& ids, const QString& verb,
                  const std::function<Shape(const Shape&)>& change)
{
    Edit edit{editName(verb, screen, ids), {}};
    for (int index : indicesOf(screen, ids)) {
        const Item& item = screen.items()[index];
        if (!item.isObject())
            continue;
        const Shape changed = change(*item.shape);
        if (changed == *item.shape)
            continue;
        edit.changes << Change{Change::Op::Replace, index, item, screen.withShape(item, changed)};
    }
    screen.apply(edit);
    return edit;
}

Edit moveObjects(Screen& screen, const Ids& ids, int dx, int dy)
{
    QPoint step(dx, dy);
    for (int index : indicesOf(screen, ids)) {
        const Item& item = screen.items()[index];
        if (!movable(item))
            continue;
        const QPoint can = reachable(*item.shape, step.x(), step.y());
        step.setX(can.x());
        // Blocks go by whole rows, and stay where a step is too short for
        // one; the others are not held back by them.
        if (!item.shape->isBlock())
            step.setY(can.y());
    }
    if (step.isNull())
        return {};
    return changeShapes(screen, ids, QStringLiteral("Move"), [step](const Shape& shape) {
        return shape.locked ? shape : moved(shape, step.x(), step.y());
    });
}

Edit insertItems(Screen& screen, const QList<Item>& items, int index, const QString& name)
{
    Edit edit{name, {}};
    index = std::clamp(index, 0, int(screen.items().size()));
    for (const Item& item : items)
        edit.changes << Change{Change::Op::Insert, index++, {}, item};
    screen.apply(edit);
    return edit;
}

Edit removeItems(Screen& screen, const Ids& ids, const QString& verb)
{
    Edit edit{editName(verb, screen, ids), {}};
    const QList<int> indices = indicesOf(screen, ids);
    // From the last, so that the indices before stay as they are.
    for (auto it = indices.crbegin(); it != indices.crend(); ++it)
        edit.changes << Change{Change::Op::Remove, *it, screen.items()[*it], {}};
    screen.apply(edit);
    return edit;
}

Edit duplicateItems(Screen& screen, const Ids& ids, int dx, int dy, Ids* copies)
{
    const QList<int> indices = indicesOf(screen, ids);
    if (indices.isEmpty())
        return {};
    QList<Item> made;
    for (int index : indices) {
        const Item& item = screen.items()[index];
        const Item copy = item.isObject() ? screen.objectItem(moved(*item.shape, dx, dy))
                                          : screen.readItems(Screen::textOf({item})).value(0, item);
        made << copy;
        if (copies)
            *copies << copy.id;
    }
    return insertItems(screen, made, indices.back() + 1, editName(QStringLiteral("Duplicate"), screen, ids));
}

Edit reorder(Screen& screen, const Ids& ids, Order order)
{
    static const char* const verbs[] = {"Raise", "Lower", "Raise to Top", "Lower to Bottom"};
    const QList<int> indices = indicesOf(screen, ids);
    const int count = int(screen.items().size());
    if (indices.isEmpty())
        return {};
    QList<Item> kept;
    QList<Item> chosen;
    const QSet<int> picked(indices.cbegin(), indices.cend());
    for (int i = 0; i < count; ++i)
        (picked.contains(i) ? chosen : kept) << screen.items()[i];
    // Where the chosen items go among the others, as one run.
    int at = 0;
    switch (order) {
    case Order::ToTop:
        at = int(kept.size());
        break;
    case Order::ToBottom:
        at = 0;
        break;
    case Order::Raise:
        at = std::min(int(kept.size()), indices.back() - int(indices.size()) + 2);
        break;
    case Order::Lower:
        at = std::max(0, indices.front() - 1);
        break;
    }
    QList<Item> after = kept;
    for (qsizetype i = 0; i < chosen.size(); ++i)
        after.insert(at + i, chosen[i]);
    bool same = true;
    for (int i = 0; i < count; ++i)
        same = same && after[i].id == screen.items()[i].id;
    if (same)
        return {};
    // Taken out from the last, then put in at their places.
    Edit edit{editName(QString::fromLatin1(verbs[int(order)]), screen, ids), {}};
    for (auto it = indices.crbegin(); it != indices.crend(); ++it)
        edit.changes << Change{Change::Op::Remove, *it, screen.items()[*it], {}};
    for (qsizetype i = 0; i < chosen.size(); ++i)
        edit.changes << Change{Change::Op::Insert, int(at + i), {}, chosen[i]};
    screen.apply(edit);
    return edit;
}

QRect boxOf(const Screen& screen, const Ids& ids)
{
    QRect around;
    for (int index : indicesOf(screen, ids)) {
        const Item& item = screen.items()[index];
        if (item.isObject())
            around |= box(*item.shape);
    }
    return around;
}

Edit alignObjects(Screen& screen, const Ids& ids, Align align, bool toDisplay)
{
    static const char* const verbs[] = {"Align Left", "Align Centre", "Align Right",
                                        "Align Top", "Align Middle", "Align Bottom"};
    QList<quint64> movers;
    for (int index : indicesOf(screen, ids)) {
        if (movable(screen.items()[index]))
            movers << screen.items()[index].id;
    }
    const QRect target = toDisplay || movers.size() < 2
        ? QRect(0, 0, board::Display::width, board::Display::height)
        : boxOf(screen, movers);
    if (movers.isEmpty() || target.isEmpty())
        return {};
    Edit edit{QString::fromLatin1(verbs[int(align)]), {}};
    for (quint64 id : movers) {
        const int index = screen.indexOf(id);
        const Item& item = screen.items()[index];
        const QRect own = box(*item.shape);
        int dx = 0, dy = 0;
        switch (align) {
        case Align::Left:
            dx = target.left() - own.left();
            break;
        case Align::Centre:
            dx = (target.left() + target.right() - own.left() - own.right()) / 2;
            break;
        case Align::Right:
            dx = target.right() - own.right();
            break;
        case Align::Top:
            dy = target.top() - own.top();
            break;
        case Align::Middle:
            dy = (target.top() + target.bottom() - own.top() - own.bottom()) / 2;
            break;
        case Align::Bottom:
            dy = target.bottom() - own.bottom();
            break;
        }
        const Shape shifted = moved(*item.shape, dx, dy);
        if (shifted == *item.shape)
            continue;
        edit.changes << Change{Change::Op::Replace, index, item, screen.withShape(item, shifted)};
    }
    screen.apply(edit);
    return edit;
}

namespace {

// All the objects take the state of `flag` the first of them has not.
Edit toggle(Screen& screen, const Ids& ids, bool Shape::*flag, const QString& on, const QString& off)
{
    bool state = true;
    for (int index : indicesOf(screen, ids)) {
        if (screen.items()[index].isObject()) {
            state = !(*screen.items()[index].shape.*flag);
            break;
        }
    }
    return changeShapes(screen, ids, state ? on : off, [flag, state](const Shape& shape) {
        Shape out = shape;
        out.*flag = state;
        return out;
    });
}

} // namespace

Edit toggleHidden(Screen& screen, const Ids& ids)
{
    return toggle(screen, ids, &Shape::hidden, QStringLiteral("Hide"), QStringLiteral("Show"));
}

Edit toggleLocked(Screen& screen, const Ids& ids)
{
    return toggle(screen, ids, &Shape::locked, QStringLiteral("Lock"), QStringLiteral("Unlock"));
}

Edit setShape(Screen& screen, quint64 id, const Shape& shape, const QString& verb)
{
    return changeShapes(screen, {id}, verb, [&shape](const Shape&) { return shape; });
}

} // namespace varnix::editor

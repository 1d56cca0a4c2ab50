// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/screens.h"

#include "editor/core/content.h"
#include "editor/core/edits.h"

#include <QPainter>

namespace varnix::test {

namespace {

using editor::Kind;

int between(QRandomGenerator& random, int low, int high)
{
    return int(random.bounded(low, high + 1));
}

editor::Ids someIds(QRandomGenerator& random, const editor::Screen& screen)
{
    editor::Ids ids;
    const auto& items = screen.items();
    if (items.isEmpty())
        return ids;
    const int count = between(random, 1, 3);
    for (int i = 0; i < count; ++i)
        ids << items[between(random, 0, int(items.size()) - 1)].id;
    return ids;
}

QImage pattern(QRandomGenerator& random)
{
    QImage image(between(random, 8, 90), between(random, 8, 60), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setBrush(Qt::black);
    painter.drawEllipse(image.rect().adjusted(2, 2, -2, -2));
    return image;
}

} // namespace

editor::Shape randomShape(QRandomGenerator& random, Kind kind)
{
    editor::Shape shape = editor::startShape(kind);
    const auto pair = [&] { return between(random, 0, 140); };
    switch (kind) {
    case Kind::Fill:
        shape.n = {between(random, 1, 9)};
        break;
    case Kind::Rectangle:
    case Kind::Bar:
        shape.n = {pair(), pair(), pair() / 2, pair() / 2, between(random, 1, 5)};
        break;
    case Kind::XAxis:
    case Kind::YAxis:
        shape.n = {pair(), pair(), pair() / 2, between(random, 1, 10)};
        break;
    case Kind::Character:
        shape.n = {between(random, 3, 124), between(random, 4, 60)};
        shape.text = QChar(u'A' + between(random, 0, 25));
        break;
    case Kind::HorizontalString:
    case Kind::VerticalString:
        shape.n = {pair(), pair() / 2};
        shape.text = QStringLiteral("AB]1@Z").left(between(random, 0, 6)).remove(u'@');
        break;
    case Kind::Block: {
        const int x1 = between(random, 0, 120), y1 = between(random, 0, 7);
        shape.n = {x1, between(random, x1, std::min(127, x1 + 20)), y1, between(random, y1, 7)};
        shape.bytes.clear();
        for (int i = 0; i < shape.block().bytes(); ++i)
            shape.bytes += char(random.bounded(256));
        break;
    }
    case Kind::Text: {
        editor::TextOrigin origin;
        origin.choice.text = QStringLiteral("T%1").arg(between(random, 0, 99));
        origin.choice.inverted = random.bounded(2);
        shape = *editor::madeText(origin, {between(random, 0, 100), 127, between(random, 0, 6), 7}).shape;
        break;
    }
    case Kind::Picture: {
        editor::PictureOrigin origin;
        origin.file = QStringLiteral("pattern.png");
        origin.choice.mono.dither = render::Dither(between(random, 0, 3));
        const int x1 = between(random, 0, 100), y1 = between(random, 0, 6);
        shape = editor::pictureShape(pattern(random), origin, {x1, x1 + between(random, 0, 27), y1, 7});
        break;
    }
    default:
        for (int i = 0; i < editor::info(kind).numbers; ++i)
            shape.n[i] = i == 2 && editor::info(kind).numbers == 3 ? between(random, 0, 40) : pair() / (i % 2 + 1);
        break;
    }
    return shape;
}

editor::Screen randomScreen(QRandomGenerator& random, int count)
{
    editor::Screen screen = editor::Screen::blank();
    QList<editor::Item> items;
    for (int i = 0; i < count; ++i) {
        // A fill covers everything before it: first, and once, as on a
        // real screen.
        Kind kind = Kind((i + int(Kind::Fill)) % editor::kKindCount);
        if (kind == Kind::Fill && i > 0)
            kind = Kind::Circle;
        items << screen.objectItem(randomShape(random, kind));
    }
    editor::insertItems(screen, items, int(screen.items().size()), QStringLiteral("Add"));
    return screen;
}

editor::Edit randomEdit(QRandomGenerator& random, editor::Screen& screen)
{
    using namespace editor;
    const Ids ids = someIds(random, screen);
    switch (between(random, 0, 12)) {
    case 0: {
        const Kind kind = Kind(between(random, 0, kKindCount - 1));
        return insertItems(screen, {screen.objectItem(randomShape(random, kind))},
                           between(random, 0, int(screen.items().size())), QStringLiteral("Add"));
    }
    case 1:
        return moveObjects(screen, ids, between(random, -20, 20), between(random, -20, 20));
    case 2:
        return changeShapes(screen, ids, QStringLiteral("Resize"), [&](const Shape& shape) {
            const QList<QPoint> points = handles(shape);
            if (points.isEmpty())
                return shape;
            return withHandleAt(shape, between(random, 0, int(points.size()) - 1),
                                QPoint(between(random, -5, 140), between(random, -5, 70)));
        });
    case 3:
        return changeShapes(screen, ids, QStringLiteral("Change"), [&](const Shape& shape) {
            Shape out = shape;
            const int i = between(random, 0, info(shape.kind).numbers - 1);
            if (info(shape.kind).axes[i] == Axis::None)
                out.n[i] = between(random, 1, 9);
            if (shape.kind == Kind::HorizontalString || shape.kind == Kind::VerticalString)
                out.text = QStringLiteral("NEW");
            return out;
        });
    case 4: {
        // Dots drawn into one of the blocks there are.
        Ids blocks;
        for (const Item& item : screen.items())
            if (item.isObject() && item.shape->isBlock())
                blocks << item.id;
        if (blocks.isEmpty())
            return {};
        const Ids block{blocks[between(random, 0, int(blocks.size()) - 1)]};
        return changeShapes(screen, block, QStringLiteral("Draw Dots"), [&](const Shape& shape) {
            if (!shape.isBlock())
                return shape;
            const QRect place = box(shape);
            return withBlockDot(shape, between(random, place.left(), place.right()),
                                between(random, place.top(), place.bottom()), random.bounded(2));
        });
    }
    case 5:
        return removeItems(screen, ids, QStringLiteral("Delete"));
    case 6:
        return duplicateItems(screen, ids, 8, 8, nullptr);
    case 7: {
        // Pasted: the items' text read back as new items.
        QList<Item> chosen;
        for (quint64 id : ids)
            chosen << *screen.find(id);
        return insertItems(screen, screen.readItems(Screen::textOf(chosen)), int(screen.items().size()),
                           QStringLiteral("Paste"));
    }
    case 8:
        return reorder(screen, ids, Order(between(random, 0, 3)));
    case 9:
        return alignObjects(screen, ids, Align(between(random, 0, 5)), random.bounded(2));
    case 10:
        return toggleHidden(screen, ids);
    case 11:
        return toggleLocked(screen, ids);
    default:
        return changeShapes(screen, ids, QStringLiteral("Change Text"), [&](const Shape& shape) {
            if (shape.kind != Kind::Text)
                return shape;
            TextOrigin origin = shape.textOrigin;
            origin.choice.text += QChar(u'A' + between(random, 0, 25));
            Made made = madeText(origin, shape.block());
            if (!made.shape)
                return shape;
            made.shape->hidden = shape.hidden;
            made.shape->locked = shape.locked;
            return *made.shape;
        });
    }
}

QByteArrayList everyKindOfLine()
{
    return {
        "# every kind of line", "", "delay 20", "]k", "]c]402014", "]s]402014", "]q]402014", "]t]402014",
        "]r]007f003f]1", "]l]007f0028", "]b]14191438]1", "]f]2", "]d]4020", "]e]4020", "]u]0a0a7c",
        "]p]0a0a]A", "  ]h]0120]A]\\\\]@  ", "]v]4000]O]R]@", "]x]107438]4", "]y]0a3810]4",
        "]m]00010000]ff]81",
        "#: text font=\"Board 5 x 7\" size=8 bold=no italic=no across=left down=top spacing=0 rotation=0 "
        "inverted=yes fit=yes text=\"H\\x22\xc3\xa9\\x0aI\"",
        "]m]00000000]7f",
        "#: picture file=\"logo.png\" dither=atkinson level=128 inverted=no rotation=90 flipacross=yes "
        "flipdown=no size=fill",
        "]m]10110102]00]01]02]03",
        "#: circle locked", "#- ]c]101005", "#- ]p]0a0a]\\x20", "wait 100", "expect Ready: 2", "ready off",
        "]c]402014]d]0101", "]C]402014", "]c]40201", "]r]007f003f]0", "]n]007f0007",
        "#: text size=8", "#: circle", "]d]0000", "#: unknown", "#: bar locked", "]c]000000",
        "colour red", "]p]0a0a]\\q", "\xff\xfe", "screen ok.png",
    };
}

} // namespace varnix::test

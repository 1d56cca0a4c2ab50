// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/shape.h"

#include "editor/core/note.h"

#include "board/displaycheck.h"
#include "protocol/encodings.h"

#include <algorithm>
#include <cmath>

namespace varnix::editor {

namespace {

using A = Axis;

// In the order of Kind.
constexpr KindInfo kKinds[kKindCount] = {
    {Kind::Circle, 'c', "Circle", "circle", 3, Tail::None, {A::X, A::Y, A::None}},
    {Kind::Square, 's', "Square", "square", 3, Tail::None, {A::X, A::Y, A::None}},
    {Kind::Diamond, 'q', "Diamond", "diamond", 3, Tail::None, {A::X, A::Y, A::None}},
    {Kind::Star, 't', "Star", "star", 3, Tail::None, {A::X, A::Y, A::None}},
    {Kind::Rectangle, 'r', "Rectangle", "rectangle", 5, Tail::Number, {A::X, A::X, A::Y, A::Y, A::None}},
    {Kind::Line, 'l', "Line", "line", 4, Tail::None, {A::X, A::X, A::Y, A::Y}},
    {Kind::Bar, 'b', "Bar", "bar", 5, Tail::Number, {A::X, A::X, A::Y, A::Y, A::None}},
    {Kind::Fill, 'f', "Fill", "fill", 1, Tail::Number, {A::None}},
    {Kind::Dot, 'd', "Dot", "dot", 2, Tail::None, {A::X, A::Y}},
    {Kind::ToggledDot, 'e', "Toggled Dot", "toggle", 2, Tail::None, {A::X, A::Y}},
    {Kind::Byte, 'u', "Byte", "byte", 3, Tail::None, {A::X, A::Y, A::None}},
    {Kind::Character, 'p', "Character", "character", 2, Tail::Character, {A::X, A::Y}},
    {Kind::HorizontalString, 'h', "Horizontal String", "hstring", 2, Tail::Text, {A::X, A::Y}},
    {Kind::VerticalString, 'v', "Vertical String", "vstring", 2, Tail::Text, {A::X, A::Y}},
    {Kind::XAxis, 'x', "X-Axis", "xaxis", 4, Tail::Number, {A::X, A::X, A::Y, A::None}},
    {Kind::YAxis, 'y', "Y-Axis", "yaxis", 4, Tail::Number, {A::Y, A::Y, A::X, A::None}},
    {Kind::Block, 'm', "Block", "block", 4, Tail::Data, {A::Column, A::Column, A::Row, A::Row}},
    {Kind::Text, 'm', "Text", "text", 4, Tail::Data, {A::Column, A::Column, A::Row, A::Row}},
    {Kind::Picture, 'm', "Picture", "picture", 4, Tail::Data, {A::Column, A::Column, A::Row, A::Row}},
};

int pairCount(const KindInfo& kind)
{
    return kind.numbers - (kind.tail == Tail::Number ? 1 : 0);
}

// The largest value a number on that axis takes.
int largest(Axis axis)
{
    switch (axis) {
    case Axis::Column:
        return render::kLcdColumns - 1;
    case Axis::Row:
        return render::kLcdRows - 1;
    default:
        return kLargestPair;
    }
}

// Reads a frame from its start: each part either taken whole or the frame
// is not one the editor reads.
class FrameReader
{
public:
    explicit FrameReader(QStringView frame) : m_frame(frame) {}

    bool take(char16_t c)
    {
        if (m_at >= m_frame.size() || m_frame[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    std::optional<int> pair()
    {
        if (m_at + 2 > m_frame.size())
            return std::nullopt;
        const int high = protocol::hexDigitValue(m_frame[m_at].unicode());
        const int low = protocol::hexDigitValue(m_frame[m_at + 1].unicode());
        if (high < 0 || low < 0)
            return std::nullopt;
        m_at += 2;
        return high * 16 + low;
    }
    // Decimal digits to the end of the frame, as the board reads a step
    // once the line goes quiet: 1 to 99999, written in at most five digits.
    std::optional<int> numberToEnd()
    {
        const QStringView digits = m_frame.sliced(m_at);
        if (digits.isEmpty() || digits.size() > 5)
            return std::nullopt;
        int value = 0;
        for (const QChar c : digits) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        m_at = m_frame.size();
        return value >= 1 ? std::optional(value) : std::nullopt;
    }
    std::optional<QChar> character()
    {
        if (m_at >= m_frame.size())
            return std::nullopt;
        return m_frame[m_at++];
    }
    bool atEnd() const { return m_at == m_frame.size(); }

private:
    QStringView m_frame;
    qsizetype m_at = 0;
};

// The characters of a string frame up to its end "]@": the board draws any
// byte but "@" (the end) and the small letters, which it takes for a command.
std::optional<QString> stringText(FrameReader& reader)
{
    QString text;
    while (true) {
        if (!reader.take(u']'))
            return std::nullopt;
        const auto c = reader.character();
        if (!c || (c->unicode() >= u'a' && c->unicode() <= u'y'))
            return std::nullopt;
        if (*c == u'@')
            return text;
        text += *c;
    }
}

int clampTo(int value, int low, int high)
{
    return std::clamp(value, low, high);
}

// Blocks move by rows; a vertical move in pixels becomes the nearest rows.
int rowsFor(int dy)
{
    return int(std::lround(double(dy) / 8.0));
}

} // namespace

const KindInfo& info(Kind kind)
{
    return kKinds[int(kind)];
}

QString kindName(Kind kind)
{
    return QString::fromLatin1(info(kind).name);
}

std::optional<Kind> kindOfNoteWord(QStringView word)
{
    for (const KindInfo& kind : kKinds) {
        if (word == QLatin1String(kind.noteWord))
            return kind.kind;
    }
    return std::nullopt;
}

bool operator==(const Shape& a, const Shape& b)
{
    return a.kind == b.kind && a.n == b.n && a.text == b.text && a.bytes == b.bytes && a.hidden == b.hidden
        && a.locked == b.locked && noteLine(a) == noteLine(b);
}

QString frameOf(const Shape& shape)
{
    const KindInfo& kind = info(shape.kind);
    const bool upper = shape.kind == Kind::HorizontalString || shape.kind == Kind::VerticalString;
    QString frame = QStringLiteral("]") + QChar(kind.letter) + u']';
    const int pairs = pairCount(kind);
    for (int i = 0; i < pairs; ++i)
        frame += (upper ? protocol::upperHexPair(shape.n[i]) : protocol::hexPair(shape.n[i])).value_or(QString());
    switch (kind.tail) {
    case Tail::None:
        break;
    case Tail::Number:
        // The fill's step follows its separator at once.
        if (pairs > 0)
            frame += u']';
        frame += QString::number(shape.n[pairs]);
        break;
    case Tail::Character:
        frame += u']';
        frame += shape.text.left(1);
        break;
    case Tail::Text:
        for (const QChar c : shape.text) {
            frame += u']';
            frame += c;
        }
        frame += QStringLiteral("]@");
        break;
    case Tail::Data:
        frame.reserve(frame.size() + shape.bytes.size() * 3);
        for (const char byte : shape.bytes) {
            frame += u']';
            frame += QString::fromLatin1(QByteArray(1, byte).toHex());
        }
        break;
    }
    return frame;
}

std::optional<Shape> shapeOfFrame(QStringView frame)
{
    FrameReader reader(frame);
    if (!reader.take(u']') || frame.size() < 3)
        return std::nullopt;
    const QChar letter = frame[1];
    const KindInfo* kind = nullptr;
    for (const KindInfo& candidate : kKinds) {
        if (letter == QLatin1Char(candidate.letter)) {
            kind = &candidate;
            break;
        }
    }
    FrameReader rest(frame.sliced(2));
    if (!kind || !rest.take(u']'))
        return std::nullopt;
    Shape shape;
    shape.kind = kind->kind;
    const int pairs = pairCount(*kind);
    for (int i = 0; i < pairs; ++i) {
        const auto value = rest.pair();
        if (!value)
            return std::nullopt;
        shape.n[i] = *value;
    }
    switch (kind->tail) {
    case Tail::None:
        break;
    case Tail::Number: {
        if (pairs > 0 && !rest.take(u']'))
            return std::nullopt;
        const auto number = rest.numberToEnd();
        if (!number)
            return std::nullopt;
        shape.n[pairs] = *number;
        break;
    }
    case Tail::Character: {
        const auto c = rest.take(u']') ? rest.character() : std::nullopt;
        if (!c)
            return std::nullopt;
        shape.text = *c;
        break;
    }
    case Tail::Text: {
        auto text = stringText(rest);
        if (!text)
            return std::nullopt;
        shape.text = std::move(*text);
        break;
    }
    case Tail::Data: {
        const render::LcdBlock block = shape.block();
        if (block.x2 >= render::kLcdColumns || block.y2 >= render::kLcdRows || block.x2 < block.x1
            || block.y2 < block.y1)
            return std::nullopt;
        shape.bytes.reserve(block.bytes());
        for (int i = 0; i < block.bytes(); ++i) {
            const auto value = rest.take(u']') ? rest.pair() : std::nullopt;
            if (!value)
                return std::nullopt;
            shape.bytes += char(*value);
        }
        break;
    }
    }
    if (!rest.atEnd())
        return std::nullopt;
    return shape;
}

Shape startShape(Kind kind)
{
    Shape shape;
    shape.kind = kind;
    switch (kind) {
    case Kind::Circle:
    case Kind::Square:
    case Kind::Diamond:
    case Kind::Star:
        shape.n = {64, 32, 20};
        break;
    case Kind::Rectangle:
        shape.n = {0, 127, 0, 63, 1};
        break;
    case Kind::Line:
        shape.n = {0, 127, 0, 40};
        break;
    case Kind::Bar:
        shape.n = {20, 25, 20, 56, 1};
        break;
    case Kind::Fill:
        shape.n = {1};
        break;
    case Kind::Dot:
    case Kind::ToggledDot:
        shape.n = {64, 32};
        break;
    case Kind::Byte:
        shape.n = {10, 10, 124};
        break;
    case Kind::Character:
        shape.n = {10, 10};
        shape.text = QStringLiteral("A");
        break;
    case Kind::HorizontalString:
        shape.n = {1, 32};
        shape.text = QStringLiteral("TESSEL");
        break;
    case Kind::VerticalString:
        shape.n = {64, 0};
        shape.text = QStringLiteral("ORVANTA1");
        break;
    case Kind::XAxis:
        shape.n = {16, 116, 56, 4};
        break;
    case Kind::YAxis:
        shape.n = {10, 56, 16, 4};
        break;
    case Kind::Block:
    case Kind::Text:
    case Kind::Picture:
        shape.n = {56, 71, 3, 3};
        shape.bytes = QByteArray(16, '\0');
        break;
    }
    return shape;
}

QString describe(const Shape& shape)
{
    const auto& n = shape.n;
    const auto quotedText = [&] { return QStringLiteral("\"%1\"").arg(shape.text); };
    const auto columns = [&] {
        return QStringLiteral("columns %1 to %2, rows %3 to %4").arg(n[0]).arg(n[1]).arg(n[2]).arg(n[3]);
    };
    QString text = shape.name();
    switch (shape.kind) {
    case Kind::Circle:
        text += QStringLiteral(" at %1, %2, radius %3").arg(n[0]).arg(n[1]).arg(n[2]);
        break;
    case Kind::Square:
    case Kind::Diamond:
    case Kind::Star:
        text += QStringLiteral(" at %1, %2, size %3").arg(n[0]).arg(n[1]).arg(n[2]);
        break;
    case Kind::Rectangle:
    case Kind::Bar:
        text += QStringLiteral(" from %1, %2 to %3, %4, step %5").arg(n[0]).arg(n[2]).arg(n[1]).arg(n[3]).arg(n[4]);
        break;
    case Kind::Line:
        text += QStringLiteral(" from %1, %2 to %3, %4").arg(n[0]).arg(n[2]).arg(n[1]).arg(n[3]);
        break;
    case Kind::Fill:
        text += QStringLiteral(", step %1").arg(n[0]);
        break;
    case Kind::Dot:
    case Kind::ToggledDot:
        text += QStringLiteral(" at %1, %2").arg(n[0]).arg(n[1]);
        break;
    case Kind::Byte:
        text += QStringLiteral(" %1 at %2, %3").arg(n[2]).arg(n[0]).arg(n[1]);
        break;
    case Kind::Character:
    case Kind::HorizontalString:
    case Kind::VerticalString:
        text += QStringLiteral(" %1 at %2, %3").arg(quotedText()).arg(n[0]).arg(n[1]);
        break;
    case Kind::XAxis:
        text += QStringLiteral(" from x %1 to %2 at y %3").arg(n[0]).arg(n[1]).arg(n[2]);
        break;
    case Kind::YAxis:
        text += QStringLiteral(" from y %1 to %2 at x %3").arg(n[0]).arg(n[1]).arg(n[2]);
        break;
    case Kind::Block:
        text += u' ' + columns();
        break;
    case Kind::Text:
        text += QStringLiteral(" \"%1\", %2").arg(shape.textOrigin.choice.text.simplified().left(40), columns());
        break;
    case Kind::Picture:
        text += QStringLiteral(" %1, %2").arg(shape.pictureOrigin.file.section(u'/', -1), columns());
        break;
    }
    if (shape.hidden)
        text += QStringLiteral(" (hidden)");
    if (shape.locked)
        text += QStringLiteral(" (locked)");
    return text;
}

QRect box(const Shape& shape)
{
    const auto& n = shape.n;
    const auto corners = [](int x1, int y1, int x2, int y2) {
        return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)));
    };
    const auto around = [&](int size) { return corners(n[0] - size, n[1] - size, n[0] + size, n[1] + size); };
    const int characters = int(shape.text.size());
    switch (shape.kind) {
    case Kind::Circle:
    case Kind::Square:
    case Kind::Diamond:
    case Kind::Star:
        return around(n[2]);
    case Kind::Rectangle:
    case Kind::Line:
    case Kind::Bar:
        return corners(n[0], n[2], n[1], n[3]);
    case Kind::Fill:
        return QRect(0, 0, board::Display::width, board::Display::height);
    case Kind::Dot:
    case Kind::ToggledDot:
        return QRect(n[0], n[1], 1, 1);
    case Kind::Byte:
        return QRect(n[0], n[1], 1, 8);
    case Kind::Character:
        return QRect(n[0] - 2, n[1] - 3, 5, 7);
    case Kind::HorizontalString:
        return QRect(n[0], n[1], std::max(1, 6 * characters - 1), 7);
    case Kind::VerticalString:
        return QRect(n[0], n[1], 5, std::max(1, 8 * characters - 1));
    case Kind::XAxis:
        return corners(n[0], n[2], n[1], n[2] + 2);
    case Kind::YAxis:
        return corners(n[2] - 2, n[0], n[2], n[1]);
    case Kind::Block:
    case Kind::Text:
    case Kind::Picture:
        return QRect(n[0], n[2] * 8, n[1] - n[0] + 1, (n[3] - n[2] + 1) * 8);
    }
    return {};
}

QPoint reachable(const Shape& shape, int dx, int dy)
{
    const KindInfo& kind = info(shape.kind);
    int rows = rowsFor(dy);
    for (int i = 0; i < kind.numbers; ++i) {
        const int value = shape.n[i];
        const int top = largest(kind.axes[i]);
        switch (kind.axes[i]) {
        case Axis::X:
        case Axis::Column:
            dx = clampTo(dx, -value, top - value);
            break;
        case Axis::Y:
            dy = clampTo(dy, -value, top - value);
            break;
        case Axis::Row:
            rows = clampTo(rows, -value, top - value);
            break;
        case Axis::None:
            break;
        }
    }
    return {dx, shape.isBlock() ? rows * 8 : dy};
}

Shape moved(const Shape& shape, int dx, int dy)
{
    const QPoint step = reachable(shape, dx, dy);
    const KindInfo& kind = info(shape.kind);
    Shape out = shape;
    for (int i = 0; i < kind.numbers; ++i) {
        switch (kind.axes[i]) {
        case Axis::X:
        case Axis::Column:
            out.n[i] += step.x();
            break;
        case Axis::Y:
            out.n[i] += step.y();
            break;
        case Axis::Row:
            out.n[i] += step.y() / 8;
            break;
        case Axis::None:
            break;
        }
    }
    return out;
}

QList<QPoint> handles(const Shape& shape)
{
    const auto& n = shape.n;
    switch (shape.kind) {
    case Kind::Circle:
    case Kind::Diamond:
    case Kind::Star:
        return {QPoint(n[0] + n[2], n[1])};
    case Kind::Square:
        return {QPoint(n[0] + n[2], n[1] + n[2])};
    case Kind::Rectangle:
    case Kind::Bar:
        return {QPoint(n[0], n[2]), QPoint(n[1], n[2]), QPoint(n[1], n[3]), QPoint(n[0], n[3])};
    case Kind::Line:
        return {QPoint(n[0], n[2]), QPoint(n[1], n[3])};
    case Kind::XAxis:
        return {QPoint(n[0], n[2]), QPoint(n[1], n[2])};
    case Kind::YAxis:
        return {QPoint(n[2], n[0]), QPoint(n[2], n[1])};
    case Kind::Block:
    case Kind::Text:
    case Kind::Picture:
        return {QPoint(n[0], n[2] * 8), QPoint(n[1], n[3] * 8 + 7)};
    default:
        return {};
    }
}

Shape withHandleAt(const Shape& shape, int index, QPoint to)
{
    Shape out = shape;
    auto& n = out.n;
    const int x = clampTo(to.x(), 0, kLargestPair);
    const int y = clampTo(to.y(), 0, kLargestPair);
    const auto size = [&] {
        return clampTo(std::max(std::abs(to.x() - n[0]), std::abs(to.y() - n[1])), 0, kLargestPair);
    };
    switch (shape.kind) {
    case Kind::Circle:
        n[2] = clampTo(int(std::lround(std::hypot(to.x() - n[0], to.y() - n[1]))), 0, kLargestPair);
        break;
    case Kind::Square:
    case Kind::Diamond:
    case Kind::Star:
        n[2] = size();
        break;
    case Kind::Rectangle:
    case Kind::Bar:
        // Corners clockwise from the top left: 0 (x1, y1), 1 (x2, y1),
        // 2 (x2, y2), 3 (x1, y2).
        (index == 0 || index == 3 ? n[0] : n[1]) = x;
        (index < 2 ? n[2] : n[3]) = y;
        break;
    case Kind::Line:
        (index == 0 ? n[0] : n[1]) = x;
        (index == 0 ? n[2] : n[3]) = y;
        break;
    case Kind::XAxis:
        n[index == 0 ? 0 : 1] = x;
        break;
    case Kind::YAxis:
        n[index == 0 ? 0 : 1] = y;
        break;
    case Kind::Block:
    case Kind::Text:
    case Kind::Picture: {
        const int column = clampTo(to.x(), 0, render::kLcdColumns - 1);
        const int row = clampTo(to.y() < 0 ? -1 : to.y() / 8, 0, render::kLcdRows - 1);
        if (index == 0) {
            n[0] = std::min(column, n[1]);
            n[2] = std::min(row, n[3]);
        } else {
            n[1] = std::max(column, n[0]);
            n[3] = std::max(row, n[2]);
        }
        out.bytes = reshapedBytes(shape.bytes, shape.block(), out.block());
        break;
    }
    default:
        break;
    }
    return out;
}

board::Display footprint(const Shape& shape)
{
    board::Display covered;
    const auto cover = [&covered](const QRect& area) {
        const QRect on = area & QRect(0, 0, board::Display::width, board::Display::height);
        for (int y = on.top(); y <= on.bottom(); ++y)
            for (int x = on.left(); x <= on.right(); ++x)
                covered.setPixel(x, y);
    };
    switch (shape.kind) {
    case Kind::Block:
    case Kind::Text:
    case Kind::Picture:
    case Kind::Character:
    case Kind::Byte:
    case Kind::Fill:
        cover(box(shape));
        return covered;
    case Kind::HorizontalString:
    case Kind::VerticalString: {
        const bool across = shape.kind == Kind::HorizontalString;
        for (qsizetype i = 0; i < shape.text.size(); ++i)
            cover(QRect(shape.n[0] + (across ? 6 * int(i) : 0), shape.n[1] + (across ? 0 : 8 * int(i)), 5, 7));
        return covered;
    }
    default:
        return board::drawn({frameOf(shape)}).display();
    }
}

QByteArray reshapedBytes(const QByteArray& bytes, const render::LcdBlock& from, const render::LcdBlock& to)
{
    QByteArray out(to.bytes(), '\0');
    for (int row = to.y1; row <= to.y2; ++row) {
        for (int column = to.x1; column <= to.x2; ++column) {
            if (row < from.y1 || row > from.y2 || column < from.x1 || column > from.x2)
                continue;
            const qsizetype at = qsizetype(row - from.y1) * from.columns() + (column - from.x1);
            if (at < bytes.size())
                out[(row - to.y1) * to.columns() + (column - to.x1)] = bytes[at];
        }
    }
    return out;
}

namespace {

// Where the byte of a block's dot at pixel (x, y) stands in its bytes.
std::optional<qsizetype> dotByte(const Shape& block, int x, int y)
{
    const render::LcdBlock place = block.block();
    const int row = y >> 3;
    if (x < place.x1 || x > place.x2 || y < 0 || row < place.y1 || row > place.y2)
        return std::nullopt;
    const qsizetype at = qsizetype(row - place.y1) * place.columns() + (x - place.x1);
    return at < block.bytes.size() ? std::optional(at) : std::nullopt;
}

} // namespace

bool blockDot(const Shape& block, int x, int y)
{
    const auto at = dotByte(block, x, y);
    return at && (quint8(block.bytes[*at]) >> (y & 7)) & 1;
}

Shape withBlockDot(const Shape& block, int x, int y, bool on)
{
    Shape out = block;
    if (const auto at = dotByte(block, x, y)) {
        const quint8 bit = quint8(1u << (y & 7));
        const quint8 byte = quint8(out.bytes[*at]);
        out.bytes[*at] = char(on ? byte | bit : byte & ~bit);
    }
    return out;
}

} // namespace varnix::editor

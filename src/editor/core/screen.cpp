// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/screen.h"

#include "editor/core/note.h"

#include "board/displaycheck.h"
#include "script/escapes.h"

#include <QStringDecoder>

namespace varnix::editor {

namespace {

constexpr char kBom[] = "\xef\xbb\xbf";

// The file's lines, split at each "\n" and nothing else, so that joining
// them again gives the file back.
struct Lines {
    QList<QByteArray> lines;
    bool bom = false;
    bool finalNewline = false;
};

Lines splitFile(QByteArrayView file)
{
    Lines out;
    if (file.startsWith(QByteArrayView(kBom))) {
        out.bom = true;
        file = file.sliced(3);
    }
    qsizetype start = 0;
    while (start < file.size()) {
        qsizetype end = file.indexOf('\n', start);
        if (end < 0) {
            out.lines << file.sliced(start).toByteArray();
            return out;
        }
        out.lines << file.sliced(start, end - start).toByteArray();
        start = end + 1;
    }
    out.finalNewline = !file.isEmpty();
    return out;
}

std::optional<QString> decoded(const QByteArray& line)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(line);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// A frame of an object, from a line that sends it (or a hidden one).
std::optional<Shape> objectOfLine(const QString& text, QString* frame)
{
    if (const auto hidden = hiddenFrame(text)) {
        const auto sent = script::unescaped(*hidden);
        auto shape = sent ? shapeOfFrame(*sent) : std::nullopt;
        if (!shape)
            return std::nullopt;
        shape->hidden = true;
        *frame = *sent;
        return shape;
    }
    const auto read = script::readLine(1, text);
    const auto* step = std::get_if<std::optional<script::Step>>(&read);
    if (!step || !*step || (*step)->kind != script::Step::Kind::Send)
        return std::nullopt;
    auto shape = shapeOfFrame((*step)->text);
    if (shape)
        *frame = (*step)->text;
    return shape;
}

Item keptItem(const QByteArray& line, const std::optional<QString>& text)
{
    Item item;
    item.lines = {line};
    if (!text) {
        item.kept = Kept::Damaged;
        item.reason = QStringLiteral("not UTF-8 text");
        return item;
    }
    const auto read = script::readLine(1, *text);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        item.kept = Kept::Damaged;
        item.reason = error->reason;
        return item;
    }
    const auto& step = std::get<std::optional<script::Step>>(read);
    if (!step) {
        item.kept = text->trimmed().isEmpty() ? Kept::Blank : Kept::Comment;
        return item;
    }
    item.step = *step;
    if (step->kind == script::Step::Kind::Send) {
        item.kept = Kept::Frames;
        item.frame = step->text;
    } else {
        item.kept = Kept::Step;
    }
    return item;
}

} // namespace

const board::Firmware& clearBoard()
{
    static const board::Firmware board;
    return board;
}

QString Item::title() const
{
    if (shape)
        return shape->name();
    QString text = QString::fromUtf8(lines.value(0)).trimmed();
    return text;
}

QString describe(const Item& item)
{
    if (item.isObject())
        return describe(*item.shape);
    if (item.kept == Kept::Damaged)
        return QStringLiteral("Refused by a run: %1 (%2)").arg(item.title(), item.reason);
    if (item.kept == Kept::Blank)
        return QStringLiteral("Kept: a blank line");
    return QStringLiteral("Kept: %1").arg(item.title());
}

Screen::Screen() = default;

Screen Screen::read(QByteArrayView file)
{
    Lines split = splitFile(file);
    Screen screen;
    screen.m_bom = split.bom;
    screen.m_finalNewline = split.finalNewline;
    screen.m_crlf = !split.lines.isEmpty() && split.lines.front().endsWith('\r');
    screen.m_items = screen.readLines(split.lines);
    return screen;
}

Screen Screen::blank()
{
    return read("# A screen for the Tessel board, made in Varnix's screen editor.\n]k\n");
}

QList<Item> Screen::readLines(const QList<QByteArray>& lines)
{
    QList<Item> items;
    items.reserve(lines.size());
    // A note line waits for the frame it speaks of.
    std::optional<qsizetype> note;
    const auto keepNote = [&] {
        if (note) {
            Item kept = keptItem(lines[*note], decoded(lines[*note]));
            kept.id = m_nextId++;
            items << kept;
            note.reset();
        }
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const std::optional<QString> text = decoded(line);
        if (text && isNoteLine(*text)) {
            keepNote();
            note = i;
            continue;
        }
        QString frame;
        std::optional<Shape> shape = text ? objectOfLine(*text, &frame) : std::nullopt;
        if (shape && note) {
            if (auto noted = withNote(*shape, QString::fromUtf8(lines[*note]))) {
                Item item;
                item.id = m_nextId++;
                noted->hidden = shape->hidden;
                item.shape = std::move(noted);
                item.lines = {lines[*note], line};
                item.frame = frame;
                items << item;
                note.reset();
                continue;
            }
        }
        keepNote();
        Item item;
        if (shape) {
            item.shape = std::move(shape);
            item.lines = {line};
            item.frame = frame;
        } else {
            item = keptItem(line, text);
        }
        item.id = m_nextId++;
        items << item;
    }
    keepNote();
    return items;
}

QByteArray Screen::text() const
{
    QByteArray out;
    if (m_bom)
        out += kBom;
    bool first = true;
    for (const Item& item : m_items) {
        for (const QByteArray& line : item.lines) {
            if (!first)
                out += '\n';
            out += line;
            first = false;
        }
    }
    if (m_finalNewline && !first)
        out += '\n';
    return out;
}

int Screen::indexOf(quint64 id) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items[i].id == id)
            return int(i);
    }
    return -1;
}

const Item* Screen::find(quint64 id) const
{
    const int index = indexOf(id);
    return index < 0 ? nullptr : &m_items[index];
}

QByteArray Screen::lineOf(const QString& text) const
{
    QByteArray line = text.toUtf8();
    if (m_crlf)
        line += '\r';
    return line;
}

QList<QByteArray> Screen::linesOf(const Shape& shape, const QString& frame) const
{
    QList<QByteArray> lines;
    const QString note = noteLine(shape);
    if (!note.isEmpty())
        lines << lineOf(note);
    const QString sent = script::sendLine(frame);
    lines << lineOf(shape.hidden ? QLatin1String(kHiddenPrefix) + sent : sent);
    return lines;
}

Item Screen::objectItem(const Shape& shape)
{
    Item item;
    item.id = m_nextId++;
    item.shape = shape;
    item.frame = frameOf(shape);
    item.lines = linesOf(shape, item.frame);
    return item;
}

Item Screen::withShape(const Item& item, const Shape& shape) const
{
    Item out = item;
    const Shape& old = *item.shape;
    const bool sameDrawing = old.kind == shape.kind && old.n == shape.n && old.text == shape.text
        && old.bytes == shape.bytes;
    if (!sameDrawing)
        out.frame = frameOf(shape);
    const bool noteKept = noteLine(old) == noteLine(shape);
    const bool frameKept = sameDrawing && old.hidden == shape.hidden;
    const QList<QByteArray> written = linesOf(shape, out.frame);
    const bool hadNote = item.lines.size() > 1;
    QList<QByteArray> lines;
    if (written.size() > 1)
        lines << (noteKept && hadNote ? item.lines.front() : written.front());
    lines << (frameKept ? item.lines.back() : written.back());
    out.lines = lines;
    out.shape = shape;
    return out;
}

QList<Item> Screen::readItems(QByteArrayView text)
{
    QList<QByteArray> lines = splitFile(text).lines;
    // Lines pasted take this screen's line ends.
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (m_crlf)
            line += '\r';
    }
    return readLines(lines);
}

QByteArray Screen::textOf(const QList<Item>& items)
{
    QByteArray out;
    for (const Item& item : items) {
        for (QByteArray line : item.lines) {
            if (line.endsWith('\r'))
                line.chop(1);
            out += line + '\n';
        }
    }
    return out;
}

void Screen::apply(const Edit& edit)
{
    for (const Change& change : edit.changes) {
        switch (change.op) {
        case Change::Op::Insert:
            m_items.insert(change.index, change.after);
            break;
        case Change::Op::Remove:
            m_items.removeAt(change.index);
            break;
        case Change::Op::Replace:
            m_items[change.index] = change.after;
            break;
        }
    }
}

void Screen::unapply(const Edit& edit)
{
    for (auto change = edit.changes.crbegin(); change != edit.changes.crend(); ++change) {
        switch (change->op) {
        case Change::Op::Insert:
            m_items.removeAt(change->index);
            break;
        case Change::Op::Remove:
            m_items.insert(change->index, change->before);
            break;
        case Change::Op::Replace:
            m_items[change->index] = change->before;
            break;
        }
    }
}

QStringList Screen::frames() const
{
    QStringList out;
    for (const Item& item : m_items) {
        if (item.draws())
            out << item.frame;
    }
    return out;
}

board::Firmware Screen::drawn() const
{
    return board::drawn(frames(), clearBoard());
}

int Screen::damagedCount() const
{
    int count = 0;
    for (const Item& item : m_items)
        count += !item.isObject() && item.kept == Kept::Damaged;
    return count;
}

void History::push(Edit edit)
{
    if (edit.isEmpty())
        return;
    if (m_clean > m_done)
        m_clean = -1;
    m_edits.resize(m_done);
    m_edits << std::move(edit);
    ++m_done;
}

const Edit* History::undo(Screen& screen)
{
    if (!canUndo())
        return nullptr;
    const Edit& edit = m_edits[--m_done];
    screen.unapply(edit);
    return &edit;
}

const Edit* History::redo(Screen& screen)
{
    if (!canRedo())
        return nullptr;
    const Edit& edit = m_edits[m_done++];
    screen.apply(edit);
    return &edit;
}

void History::clear()
{
    m_edits.clear();
    m_done = 0;
    m_clean = 0;
}

} // namespace varnix::editor

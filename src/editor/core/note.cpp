// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/note.h"

#include "script/escapes.h"

#include <QList>

#include <functional>
#include <initializer_list>

namespace varnix::editor {

namespace {

constexpr char16_t kQuote = u'"';

// A value as the note writes it: in quotes, a backslash, a quote and the
// control characters as escapes; any other character, beyond ASCII too,
// stands for itself (the file is UTF-8).
QString quotedValue(QStringView text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QChar(kQuote);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (u == kQuote || u < 0x20 || (u >= 0x7f && u < 0xa0))
            out += script::escaped(QStringView(&c, 1)).replace(u'"', QStringLiteral("\\x22"));
        else
            out += c;
    }
    out += QChar(kQuote);
    return out;
}

QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

std::optional<bool> readYesNo(QStringView value)
{
    if (value == u"yes")
        return true;
    if (value == u"no")
        return false;
    return std::nullopt;
}

std::optional<int> readWord(QStringView value, std::initializer_list<const char*> words)
{
    int index = 0;
    for (const char* word : words) {
        if (value == QLatin1String(word))
            return index;
        ++index;
    }
    return std::nullopt;
}

std::optional<int> readInt(QStringView value, int low, int high)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < low || number > high)
        return std::nullopt;
    return number;
}

std::optional<int> readRotation(QStringView value)
{
    const auto turn = readInt(value, 0, 270);
    return turn && *turn % 90 == 0 ? turn : std::nullopt;
}

// One key of a note: how its value is written from the origin and read
// into it. A new choice of Load Text or Load Picture is one more row.
template <typename Origin>
struct Key {
    const char* name;
    std::function<QString(const Origin&)> write;
    std::function<bool(QStringView, Origin&)> read;
};

template <typename Value, typename Target>
bool setIf(const std::optional<Value>& value, Target& target)
{
    if (!value)
        return false;
    target = Target(*value);
    return true;
}

const QList<Key<TextOrigin>>& textKeys()
{
    using O = TextOrigin;
    static const QList<Key<O>> keys = {
        {"font", [](const O& o) { return quotedValue(o.choice.font); },
         [](QStringView v, O& o) { o.choice.font = v.toString(); return !v.isEmpty(); }},
        {"size", [](const O& o) { return QString::number(o.choice.pixelSize); },
         [](QStringView v, O& o) { return setIf(readInt(v, 1, 255), o.choice.pixelSize); }},
        {"bold", [](const O& o) { return yesNo(o.choice.bold); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.choice.bold); }},
        {"italic", [](const O& o) { return yesNo(o.choice.italic); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.choice.italic); }},
        {"across", [](const O& o) { return QString::fromLatin1(std::array{"left", "centre", "right"}[int(o.choice.across)]); },
         [](QStringView v, O& o) {
             const auto at = readWord(v, {"left", "centre", "right"});
             if (at)
                 o.choice.across = render::Across(*at);
             return at.has_value();
         }},
        {"down", [](const O& o) { return QString::fromLatin1(std::array{"top", "middle", "bottom"}[int(o.choice.down)]); },
         [](QStringView v, O& o) {
             const auto at = readWord(v, {"top", "middle", "bottom"});
             if (at)
                 o.choice.down = render::Down(*at);
             return at.has_value();
         }},
        {"spacing", [](const O& o) { return QString::number(o.choice.lineSpacing); },
         [](QStringView v, O& o) { return setIf(readInt(v, -255, 255), o.choice.lineSpacing); }},
        {"rotation", [](const O& o) { return QString::number(o.choice.rotation); },
         [](QStringView v, O& o) { return setIf(readRotation(v), o.choice.rotation); }},
        {"inverted", [](const O& o) { return yesNo(o.choice.inverted); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.choice.inverted); }},
        {"fit", [](const O& o) { return yesNo(o.fit); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.fit); }},
        // Last, as it may be long.
        {"text", [](const O& o) { return quotedValue(o.choice.text); },
         [](QStringView v, O& o) { o.choice.text = v.toString(); return true; }},
    };
    return keys;
}

const QList<Key<PictureOrigin>>& pictureKeys()
{
    using O = PictureOrigin;
    static const QList<Key<O>> keys = {
        {"file", [](const O& o) { return quotedValue(o.file); },
         [](QStringView v, O& o) { o.file = v.toString(); return !v.isEmpty(); }},
        {"dither",
         [](const O& o) {
             return QString::fromLatin1(std::array{"threshold", "diffuse", "atkinson", "ordered"}[int(o.choice.mono.dither)]);
         },
         [](QStringView v, O& o) {
             const auto at = readWord(v, {"threshold", "diffuse", "atkinson", "ordered"});
             if (at)
                 o.choice.mono.dither = render::Dither(*at);
             return at.has_value();
         }},
        {"level", [](const O& o) { return QString::number(o.choice.mono.level); },
         [](QStringView v, O& o) { return setIf(readInt(v, 0, 255), o.choice.mono.level); }},
        {"inverted", [](const O& o) { return yesNo(o.choice.mono.inverted); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.choice.mono.inverted); }},
        {"rotation", [](const O& o) { return QString::number(o.choice.rotation); },
         [](QStringView v, O& o) { return setIf(readRotation(v), o.choice.rotation); }},
        {"flipacross", [](const O& o) { return yesNo(o.choice.flipHorizontal); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.choice.flipHorizontal); }},
        {"flipdown", [](const O& o) { return yesNo(o.choice.flipVertical); },
         [](QStringView v, O& o) { return setIf(readYesNo(v), o.choice.flipVertical); }},
        {"size", [](const O& o) { return QString::fromLatin1(std::array{"fit", "fill", "actual"}[int(o.choice.fit)]); },
         [](QStringView v, O& o) {
             const auto at = readWord(v, {"fit", "fill", "actual"});
             if (at)
                 o.choice.fit = render::Fit(*at);
             return at.has_value();
         }},
    };
    return keys;
}

template <typename Origin>
QString written(const QList<Key<Origin>>& keys, const Origin& origin)
{
    QString out;
    for (const Key<Origin>& key : keys)
        out += u' ' + QLatin1String(key.name) + u'=' + key.write(origin);
    return out;
}

template <typename Origin>
bool readKey(const QList<Key<Origin>>& keys, QStringView name, QStringView value, Origin& origin)
{
    for (const Key<Origin>& key : keys) {
        if (name == QLatin1String(key.name))
            return key.read(value, origin);
    }
    return false;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimmedLine(QStringView line)
{
    qsizetype begin = 0, end = line.size();
    while (begin < end && isBlank(line[begin]))
        ++begin;
    while (end > begin && isBlank(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin);
}

// The words of a note after "#:": a bare word, or key=value where the
// value is a bare word or a quoted text; nothing when a quote is left open
// or an escape cannot be read.
struct Word {
    QString name;
    std::optional<QString> value;
};

std::optional<QList<Word>> noteWords(QStringView text)
{
    QList<Word> words;
    qsizetype i = 0;
    while (true) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i == text.size())
            return words;
        const qsizetype start = i;
        while (i < text.size() && !isBlank(text[i]) && text[i] != u'=')
            ++i;
        Word word{text.sliced(start, i - start).toString(), std::nullopt};
        if (i < text.size() && text[i] == u'=') {
            ++i;
            if (i < text.size() && text[i] == kQuote) {
                const qsizetype close = text.indexOf(kQuote, i + 1);
                if (close < 0)
                    return std::nullopt;
                const auto value = script::unescaped(text.sliced(i + 1, close - i - 1));
                if (!value)
                    return std::nullopt;
                word.value = *value;
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < text.size() && !isBlank(text[i]))
                    ++i;
                word.value = text.sliced(valueStart, i - valueStart).toString();
            }
        }
        if (word.name.isEmpty())
            return std::nullopt;
        words << word;
    }
}

} // namespace

QString noteLine(const Shape& shape)
{
    const bool made = shape.kind == Kind::Text || shape.kind == Kind::Picture;
    if (!made && !shape.locked)
        return QString();
    QString line = QLatin1String(kNotePrefix) + u' ' + QLatin1String(info(shape.kind).noteWord);
    if (shape.locked)
        line += QStringLiteral(" locked");
    if (shape.kind == Kind::Text)
        line += written(textKeys(), shape.textOrigin);
    else if (shape.kind == Kind::Picture)
        line += written(pictureKeys(), shape.pictureOrigin);
    return line;
}

bool isNoteLine(QStringView line)
{
    return trimmedLine(line).startsWith(QLatin1String(kNotePrefix));
}

std::optional<Shape> withNote(const Shape& framed, QStringView note)
{
    const QStringView text = trimmedLine(note);
    if (!text.startsWith(QLatin1String(kNotePrefix)))
        return std::nullopt;
    const auto words = noteWords(text.sliced(qsizetype(sizeof kNotePrefix - 1)));
    if (!words || words->isEmpty() || words->front().value)
        return std::nullopt;
    const auto kind = kindOfNoteWord(words->front().name);
    if (!kind)
        return std::nullopt;
    Shape shape = framed;
    // A block's note may make it a text or a picture; any other names the
    // frame's own kind.
    const bool blockNote = *kind == Kind::Block || *kind == Kind::Text || *kind == Kind::Picture;
    if (blockNote ? framed.kind != Kind::Block : *kind != framed.kind)
        return std::nullopt;
    shape.kind = *kind;
    for (qsizetype i = 1; i < words->size(); ++i) {
        const Word& word = (*words)[i];
        if (!word.value) {
            if (word.name != u"locked")
                return std::nullopt;
            shape.locked = true;
            continue;
        }
        const bool read = shape.kind == Kind::Text      ? readKey(textKeys(), word.name, *word.value, shape.textOrigin)
                        : shape.kind == Kind::Picture ? readKey(pictureKeys(), word.name, *word.value, shape.pictureOrigin)
                                                      : false;
        if (!read)
            return std::nullopt;
    }
    return shape;
}

std::optional<QStringView> hiddenFrame(QStringView line)
{
    const QStringView text = trimmedLine(line);
    const QLatin1String prefix(kHiddenPrefix);
    if (!text.startsWith(prefix))
        return std::nullopt;
    const QStringView frame = trimmedLine(text.sliced(prefix.size()));
    if (frame.isEmpty() || frame.front() != u']')
        return std::nullopt;
    return frame;
}

} // namespace varnix::editor

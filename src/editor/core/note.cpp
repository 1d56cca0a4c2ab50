// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/note.h"

#include "script/escapes.h"

#include <QList>

#include <functional>

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

std::optional<int> readInt(QStringView value, int low, int high)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < low || number > high)
        return std::nullopt;
    return number;
}

// One key of a note: how its value is written from the origin and read
// into it. A new choice of Load Text or Load Picture is one more row.
template <typename Origin>
struct Key {
    const char* name;
    std::function<QString(Origin)> write;
    std::function<bool(QStringView, Origin&)> read;
};

// The kinds of value a key takes, each reached in the origin by `field`.
template <typename Origin>
Key<Origin> textKey(const char* name, QString& (*field)(Origin&), bool emptyToo)
{
    return {name, [field](Origin o) { return quotedValue(field(o)); },
            [field, emptyToo](QStringView v, Origin& o) {
                field(o) = v.toString();
                return emptyToo || !v.isEmpty();
            }};
}

template <typename Origin>
Key<Origin> flagKey(const char* name, bool& (*field)(Origin&))
{
    return {name, [field](Origin o) { return field(o) ? QStringLiteral("yes") : QStringLiteral("no"); },
            [field](QStringView v, Origin& o) {
                if (v != u"yes" && v != u"no")
                    return false;
                field(o) = v == u"yes";
                return true;
            }};
}

// A whole number from low to high; with `step`, a multiple of it.
template <typename Origin>
Key<Origin> numberKey(const char* name, int& (*field)(Origin&), int low, int high, int step = 1)
{
    return {name, [field](Origin o) { return QString::number(field(o)); },
            [field, low, high, step](QStringView v, Origin& o) {
                const auto number = readInt(v, low, high);
                if (!number || *number % step != 0)
                    return false;
                field(o) = *number;
                return true;
            }};
}

// One of the words, in the order of the enumeration's values.
template <typename Origin, typename Enum>
Key<Origin> wordKey(const char* name, Enum& (*field)(Origin&), const QList<const char*>& words)
{
    return {name, [field, words](Origin o) { return QString::fromLatin1(words.value(int(field(o)))); },
            [field, words](QStringView v, Origin& o) {
                for (qsizetype i = 0; i < words.size(); ++i) {
                    if (v == QLatin1String(words[i])) {
                        field(o) = Enum(i);
                        return true;
                    }
                }
                return false;
            }};
}

const QList<Key<TextOrigin>>& textKeys()
{
    using O = TextOrigin;
    static const QList<Key<O>> keys = {
        textKey<O>("font", [](O& o) -> QString& { return o.choice.font; }, false),
        numberKey<O>("size", [](O& o) -> int& { return o.choice.pixelSize; }, 1, 255),
        flagKey<O>("bold", [](O& o) -> bool& { return o.choice.bold; }),
        flagKey<O>("italic", [](O& o) -> bool& { return o.choice.italic; }),
        wordKey<O, render::Across>("across", [](O& o) -> render::Across& { return o.choice.across; },
                                   {"left", "centre", "right"}),
        wordKey<O, render::Down>("down", [](O& o) -> render::Down& { return o.choice.down; },
                                 {"top", "middle", "bottom"}),
        numberKey<O>("spacing", [](O& o) -> int& { return o.choice.lineSpacing; }, -255, 255),
        numberKey<O>("rotation", [](O& o) -> int& { return o.choice.rotation; }, 0, 270, 90),
        flagKey<O>("inverted", [](O& o) -> bool& { return o.choice.inverted; }),
        flagKey<O>("fit", [](O& o) -> bool& { return o.fit; }),
        // A bitmap font's whole-number scale; a note written before there
        // was one reads as 1, as its text was drawn.
        numberKey<O>("scale", [](O& o) -> int& { return o.choice.scale; }, 1, render::kLargestFontScale),
        // Last, as it may be long.
        textKey<O>("text", [](O& o) -> QString& { return o.choice.text; }, true),
    };
    return keys;
}

const QList<Key<PictureOrigin>>& pictureKeys()
{
    using O = PictureOrigin;
    static const QList<Key<O>> keys = {
        textKey<O>("file", [](O& o) -> QString& { return o.file; }, false),
        wordKey<O, render::Dither>("dither", [](O& o) -> render::Dither& { return o.choice.mono.dither; },
                                   {"threshold", "diffuse", "atkinson", "ordered"}),
        numberKey<O>("level", [](O& o) -> int& { return o.choice.mono.level; }, 0, 255),
        flagKey<O>("inverted", [](O& o) -> bool& { return o.choice.mono.inverted; }),
        numberKey<O>("rotation", [](O& o) -> int& { return o.choice.rotation; }, 0, 270, 90),
        flagKey<O>("flipacross", [](O& o) -> bool& { return o.choice.flipHorizontal; }),
        flagKey<O>("flipdown", [](O& o) -> bool& { return o.choice.flipVertical; }),
        wordKey<O, render::Fit>("size", [](O& o) -> render::Fit& { return o.choice.fit; }, {"fit", "fill", "actual"}),
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

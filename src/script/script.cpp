// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script.h"

#include "script/escapes.h"

#include "link/core/transmitter.h"
#include "protocol/frames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace varnix::script {

namespace {

bool isBlankChar(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimmed(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isBlankChar(line[begin]))
        ++begin;
    while (end > begin && isBlankChar(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin);
}

// A whole number of digits alone, at most `largest`.
std::optional<int> wholeNumber(QStringView text, int largest)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    std::int64_t value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > largest)
        return std::nullopt;
    return int(value);
}

// Seconds as digits with at most one decimal point ("5", "0.5", ".5"), in
// milliseconds; digits past the third decimal are cut.
std::optional<int> seconds(QStringView text)
{
    const qsizetype point = text.indexOf(u'.');
    const QStringView whole = point < 0 ? text : text.left(point);
    const QStringView fraction = point < 0 ? QStringView() : text.sliced(point + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    const auto wholeValue = whole.isEmpty() ? std::optional<int>(0) : wholeNumber(whole, kLongestWaitMs / 1000);
    if (!wholeValue)
        return std::nullopt;
    int ms = *wholeValue * 1000;
    int scale = 100;
    for (const QChar c : fraction) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        ms += (c.unicode() - u'0') * scale;
        scale /= 10;
    }
    return std::min(ms, kLongestWaitMs);
}

qsizetype firstBlank(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u' ' || text[i] == u'\t')
            return i;
    }
    return -1;
}

// As the fields' refusals quote: escaped, and cut where a long text would
// swamp the message.
QString quoted(QStringView text)
{
    return protocol::quoted(escaped(text));
}

class Reader
{
public:
    std::optional<ReadError> line(int number, QStringView text);
    Script script;

private:
    std::optional<ReadError> sendLine(int number, QStringView text);
    std::optional<ReadError> expectLine(int number, QStringView rest);
    static ReadError error(int number, QString reason) { return ReadError{number, std::move(reason)}; }
};

std::optional<ReadError> Reader::line(int number, QStringView raw)
{
    const QStringView text = trimmed(raw);
    if (text.isEmpty() || text.front() == u'#')
        return std::nullopt;
    if (text.front() == u']' || text.front() == u'\\')
        return sendLine(number, text);

    const qsizetype space = firstBlank(text);
    const QStringView word = space < 0 ? text : text.left(space);
    const QStringView rest = space < 0 ? QStringView() : trimmed(text.sliced(space + 1));

    if (word == u"delay" || word == u"wait") {
        const bool delay = word == u"delay";
        const int largest = delay ? kLongestDelayMs : kLongestWaitMs;
        const auto ms = wholeNumber(rest, largest);
        if (!ms)
            return error(number, QStringLiteral("%1 needs a whole number of milliseconds from 0 to %2, not %3")
                                     .arg(word.toString()).arg(largest).arg(quoted(rest)));
        Step step;
        step.kind = delay ? Step::Kind::Delay : Step::Kind::Wait;
        step.line = number;
        step.milliseconds = *ms;
        script.steps.append(step);
        return std::nullopt;
    }
    if (word == u"expect")
        return expectLine(number, rest);
    if (word == u"screen") {
        if (rest.isEmpty())
            return error(number, QStringLiteral("screen needs the picture to compare the display with (screen "
                                                "FILE.png)"));
        Step step;
        step.kind = Step::Kind::Screen;
        step.line = number;
        step.text = rest.toString();
        script.steps.append(step);
        return std::nullopt;
    }
    if (word == u"ready") {
        if (rest != u"on" && rest != u"off")
            return error(number, QStringLiteral("ready takes on or off, not %1").arg(quoted(rest)));
        Step step;
        step.kind = Step::Kind::Ready;
        step.line = number;
        step.on = rest == u"on";
        script.steps.append(step);
        return std::nullopt;
    }
    return error(number, QStringLiteral("unknown word %1 (a frame begins with \"]\")").arg(quoted(word)));
}

std::optional<ReadError> Reader::sendLine(int number, QStringView text)
{
    qsizetype badAt = -1;
    const auto frame = unescaped(text, &badAt);
    if (!frame)
        return error(number, QStringLiteral("bad escape %1 (write \\\\ for a backslash, \\xhh for a byte)")
                                 .arg(quoted(text.sliced(badAt, std::min<qsizetype>(4, text.size() - badAt)))));
    for (const QChar c : *frame) {
        if (c.unicode() > 0xff)
            return error(number, QStringLiteral("the character %1 has no single byte to send").arg(QString(c)));
    }
    if (frame->size() > link::kMaxFrameLength)
        return error(number, QStringLiteral("a frame of %1 characters; the longest is %2")
                                 .arg(frame->size()).arg(link::kMaxFrameLength));
    Step step;
    step.kind = Step::Kind::Send;
    step.line = number;
    step.text = *frame;
    script.steps.append(step);
    return std::nullopt;
}

std::optional<ReadError> Reader::expectLine(int number, QStringView rest)
{
    QStringView text = rest;
    int ms = kExpectSeconds * 1000;
    // A last word that is a number gives the seconds, when a text stands
    // before it.
    const qsizetype lastSpace = std::max(rest.lastIndexOf(u' '), rest.lastIndexOf(u'\t'));
    if (lastSpace > 0) {
        if (const auto given = seconds(rest.sliced(lastSpace + 1))) {
            ms = *given;
            text = trimmed(rest.left(lastSpace));
        }
    }
    if (text.isEmpty())
        return error(number, QStringLiteral("expect needs the text to wait for"));
    qsizetype badAt = -1;
    const auto expected = unescaped(text, &badAt);
    if (!expected)
        return error(number, QStringLiteral("bad escape %1 (write \\\\ for a backslash, \\xhh for a byte)")
                                 .arg(quoted(text.sliced(badAt, std::min<qsizetype>(4, text.size() - badAt)))));
    Step step;
    step.kind = Step::Kind::Expect;
    step.line = number;
    step.text = *expected;
    step.milliseconds = ms;
    script.steps.append(step);
    return std::nullopt;
}

} // namespace

QString Step::frame() const
{
    if (kind == Kind::Screen)
        return QString::fromLatin1(protocol::kWholeDisplayRead);
    return kind == Kind::Send ? text : QString();
}

QString Script::screenPath(const Step& step) const
{
    if (folder.isEmpty() || QFileInfo(step.text).isAbsolute())
        return step.text;
    return QDir(folder).filePath(step.text);
}

QStringList Script::frames() const
{
    QStringList out;
    for (const Step& step : steps) {
        if (step.kind == Step::Kind::Send || step.kind == Step::Kind::Screen)
            out << step.frame();
    }
    return out;
}

qsizetype Script::frameCount() const
{
    qsizetype n = 0;
    for (const Step& step : steps)
        n += step.kind == Step::Kind::Send || step.kind == Step::Kind::Screen;
    return n;
}

QString ReadError::describe() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(reason) : reason;
}

std::optional<ReadError> readLines(QByteArrayView utf8, const LineReader& line)
{
    // Each line decoded on its own, so that a line which ends inside a
    // character is refused by its number rather than spoiling the next.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    int number = 0;
    qsizetype start = 0;
    while (start <= utf8.size()) {
        qsizetype end = utf8.indexOf('\n', start);
        if (end < 0)
            end = utf8.size();
        ++number;
        decoder.resetState();
        QString text = decoder(utf8.sliced(start, end - start));
        if (decoder.hasError())
            return ReadError{number, QStringLiteral("not UTF-8 text")};
        // A byte order mark begins the file, never a line within it.
        if (number == 1 && text.startsWith(QChar::ByteOrderMark))
            text.remove(0, 1);
        if (auto error = line(number, text))
            return error;
        start = end + 1;
    }
    return std::nullopt;
}

ReadResult readScript(QByteArrayView utf8)
{
    Reader reader;
    if (auto error = readLines(utf8, [&](int number, const QString& line) { return reader.line(number, line); }))
        return *error;
    return std::move(reader.script);
}

LineResult readLine(int number, QStringView line)
{
    Reader reader;
    if (auto error = reader.line(number, line))
        return *error;
    if (reader.script.steps.isEmpty())
        return std::optional<Step>();
    return std::optional<Step>(reader.script.steps.constFirst());
}

ReadResult readScriptFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadError{0, QStringLiteral("cannot open %1: %2").arg(path, file.errorString())};
    ReadResult read = readScript(file.readAll());
    if (auto* script = std::get_if<Script>(&read))
        script->folder = QFileInfo(path).absolutePath();
    return read;
}

std::int64_t lineMilliseconds(const Script& script, std::optional<QChar> pacing, int startDelay, int baudRate)
{
    std::int64_t delay = startDelay;
    std::int64_t ms = 0;
    std::int64_t characters = 0;
    for (const Step& step : script.steps) {
        switch (step.kind) {
        case Step::Kind::Send:
        case Step::Kind::Screen: {
            const QString frame = step.frame();
            characters += frame.size();
            if (pacing)
                ms += frame.count(*pacing) * delay;
            break;
        }
        case Step::Kind::Delay:
            delay = step.milliseconds;
            break;
        case Step::Kind::Wait:
            ms += step.milliseconds;
            break;
        case Step::Kind::Expect:
        case Step::Kind::Ready:
            break;
        }
    }
    if (baudRate > 0)
        ms += (characters * 10 * 1000 + baudRate - 1) / baudRate;
    return ms;
}

QString durationText(std::int64_t milliseconds)
{
    if (milliseconds < 10'000)
        return QStringLiteral("%1 s").arg(QString::number(double(milliseconds) / 1000.0, 'f', 1));
    const std::int64_t secondsTotal = (milliseconds + 500) / 1000;
    if (secondsTotal < 60)
        return QStringLiteral("%1 s").arg(secondsTotal);
    return QStringLiteral("%1 min %2 s").arg(secondsTotal / 60).arg(secondsTotal % 60);
}

QString sendLine(const QString& text)
{
    QString line;
    if (text.isEmpty() || text.front() == u']') {
        line = escaped(text);
    } else {
        // The first character as an escape, whatever it is.
        constexpr char kDigits[] = "0123456789abcdef";
        const char16_t c = text.front().unicode();
        line = QStringLiteral("\\x") + QChar(kDigits[(c >> 4) & 0xf]) + QChar(kDigits[c & 0xf])
               + escaped(QStringView(text).sliced(1));
    }
    // The reader trims blanks from the ends of a line; a blank the frame
    // ends with (the character of "]p") must survive that.
    if (line.endsWith(u' ')) {
        line.chop(1);
        line += QStringLiteral("\\x20");
    }
    return line;
}

QString screenLine(const QString& picture)
{
    return QStringLiteral("screen ") + picture;
}

} // namespace varnix::script

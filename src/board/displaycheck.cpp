// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/displaycheck.h"

#include "protocol/encodings.h"
#include "script/runner.h"

namespace varnix::board {

Firmware drawn(const QStringList& frames, Firmware from)
{
    for (const QString& frame : frames) {
        from.feed(frame.toLatin1());
        from.silence();
    }
    return from;
}

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t';
}

// The text ends inside a prompt that has not all come yet.
bool endsInPrompt(QStringView rest)
{
    return !rest.isEmpty() && QLatin1String(script::Runner::kPrompt).startsWith(rest);
}

} // namespace

DisplayAnswer readDisplayAnswer(QStringView answer)
{
    const QLatin1String prompt(script::Runner::kPrompt);
    qsizetype at = 0;
    while (true) {
        while (at < answer.size() && isBlank(answer[at]))
            ++at;
        if (!answer.sliced(at).startsWith(prompt))
            break;
        at += prompt.size();
    }
    const QStringView rest = answer.sliced(at);
    if (rest.isEmpty() || endsInPrompt(rest))
        return {};

    const qsizetype end = rest.indexOf(prompt);
    QStringView pairs = end < 0 ? rest : rest.first(end);
    qsizetype digits = 0;
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const QChar c = pairs[i];
        if (isBlank(c) || c == u']')
            continue;
        if (protocol::hexDigitValue(c.unicode()) < 0) {
            if (end < 0 && endsInPrompt(pairs.sliced(i))) {
                pairs = pairs.first(i);
                break;
            }
            return {std::nullopt, true};
        }
        if (++digits > 2 * Display::byteCount)
            return {std::nullopt, true};
    }
    DisplayAnswer read;
    read.finished = end >= 0;
    if (digits < 2 * Display::byteCount)
        return {std::nullopt, read.finished};
    const auto bytes = protocol::pairBytes(pairs, Display::byteCount);
    if (!bytes)
        return {std::nullopt, true};
    Display display;
    for (int index = 0; index < Display::byteCount; ++index)
        display.setByte(index % Display::width, index / Display::width, quint8(bytes->at(index)));
    read.display = display;
    return read;
}

bool displayAnswerFinished(const QString& answers)
{
    return readDisplayAnswer(answers).finished;
}

std::optional<Display> displayFromAnswer(QStringView answer)
{
    return readDisplayAnswer(answer).display;
}

QString Difference::describe() const
{
    if (count == 0)
        return QStringLiteral("no pixel differs");
    return QStringLiteral("%1 %2; the first at column %3, row %4")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("pixel differs") : QStringLiteral("pixels differ"))
        .arg(x)
        .arg(y);
}

QString Difference::brief() const
{
    if (count == 0)
        return QStringLiteral("no pixel differs");
    return QStringLiteral("%1 %2 (first at %3, %4)")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("pixel differs") : QStringLiteral("pixels differ"))
        .arg(x)
        .arg(y);
}

Difference compare(const Display& expected, const Display& actual)
{
    Difference difference;
    for (int y = 0; y < Display::height; ++y) {
        for (int x = 0; x < Display::width; ++x) {
            if (expected.pixel(x, y) == actual.pixel(x, y))
                continue;
            if (difference.count++ == 0) {
                difference.x = x;
                difference.y = y;
            }
        }
    }
    return difference;
}

} // namespace varnix::board

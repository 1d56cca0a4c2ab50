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

std::optional<Display> displayFromAnswer(QStringView answer)
{
    const qsizetype prompt = answer.indexOf(QLatin1String(script::Runner::kPrompt));
    const QStringView bytes = prompt < 0 ? answer : answer.left(prompt);
    Display display;
    int digits = 0;
    int high = 0;
    for (const QChar c : bytes) {
        if (c == u' ' || c == u'\r' || c == u'\n' || c == u'\t')
            continue;
        const int value = protocol::hexDigitValue(c.unicode());
        if (value < 0 || digits >= Display::byteCount * 2)
            return std::nullopt;
        if (digits % 2 == 0) {
            high = value;
        } else {
            const int index = digits / 2;
            display.setByte(index % Display::width, index / Display::width, quint8(high * 16 + value));
        }
        ++digits;
    }
    if (digits != Display::byteCount * 2)
        return std::nullopt;
    return display;
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

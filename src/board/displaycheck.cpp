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
    const auto bytes = protocol::pairBytes(prompt < 0 ? answer : answer.left(prompt), Display::byteCount);
    if (!bytes)
        return std::nullopt;
    Display display;
    for (int index = 0; index < Display::byteCount; ++index)
        display.setByte(index % Display::width, index / Display::width, quint8(bytes->at(index)));
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

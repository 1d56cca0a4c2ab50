// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace varnix::script {

// One line of text as the session log and scripts write it: printable ASCII
// (space to '~') stands for itself, a backslash is written "\\" and every
// other character "\xhh", its byte in two lower-case hex digits. So a line
// never holds a raw control character and reads back exactly. Characters
// beyond one byte never travel on the serial line; they are written "\u"
// and four hex digits, which unescaped() does not take back.
QString escaped(QStringView text);

// The text an escaped line stands for. An escape it cannot take (a lone
// backslash at the end, "\x" without two hex digits, any other letter after
// the backslash) gives no text, and `badAt`, when given, the index of its
// backslash.
std::optional<QString> unescaped(QStringView line, qsizetype* badAt = nullptr);

} // namespace varnix::script

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/script.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

namespace varnix::hostcode {

// A script made into the source of a host's own program: a function that
// sends exactly the bytes a run of the script sends, with the same pauses,
// waits and answers waited for, and that needs nothing of Varnix to build.
enum class Language { C, Arduino, Python };

// "c", "arduino", "python" (as --lang takes them); nothing for another word.
std::optional<Language> languageNamed(const QString& word);
// "C (POSIX)", "Arduino", "Python (pyserial)": as the window offers them.
QString languageTitle(Language language);
// The file's usual suffix: "c", "ino", "py".
QString suffix(Language language);

// The function a file defines: "varnix_send_" + the name.
QString functionName(const QString& name);
// The longest name part taken, so that the function's name stays short.
constexpr int kLongestName = 40;

// A name made into one that every language takes: letters, digits and "_",
// a letter beyond ASCII as its ASCII letter ("é" as "e", "ß" as "ss"), each
// run of other characters as one "_", none at the ends, cut to
// kLongestName. Empty when nothing of it is left.
QString identifierFrom(const QString& text);
bool isIdentifier(const QString& name);

struct Source {
    script::Script script;
    // What the script was made from, as the file's comment says it: "the
    // script logo.vnx", "a recording", "the picture logo.png".
    QString madeFrom;
    // The line the code expects and, run by itself, sets: "19200,n,8,1".
    QString lineSettings = QStringLiteral("19200,n,8,1");
    // The pacing delay the script starts with, and the character paced.
    int startDelay = script::kDefaultDelay;
    std::optional<QChar> pacing = QChar(u']');
    // The pictures of the script's screen lines, by line: the display's
    // bytes as its read sends them, row by row (kScreenBytes).
    QHash<int, QByteArray> screens;
};

// A screen line's picture: the whole display memory.
constexpr int kScreenBytes = 1024;
// The pictures of a script's screen lines (Source::screens), or why one
// cannot be had.
using ScreenPictures = std::function<std::variant<QHash<int, QByteArray>, script::ReadError>(const script::Script&)>;

// The code, or why the language cannot have it (its line settings): one
// sentence.
struct Code {
    QString text;
    QString refusal;
    bool ok() const { return refusal.isEmpty(); }
};

// `name` must be an identifier (see identifierFrom()).
Code generate(const Source& source, Language language, const QString& name);

} // namespace varnix::hostcode

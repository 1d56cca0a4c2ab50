// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostcode/core/hostcode.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace varnix {

// What `varnix --export SCRIPT` writes, or `--text`/`--picture` with
// `--export`: the language, the function's name and the file.
struct ExportChoice {
    bool asked = false;     // --export given
    QString language;       // --lang, as given
    QString name;           // --name; empty: from the script's file name
    QString output;         // -o
    QString line;           // --line, or the command line's default
    QStringList seen;       // the options given, for the refusal without --export
};

namespace exporting {

// --lang, --name and -o (--output).
bool isOption(const QString& name);
// Reads one of them into the choice; empty, or why it is refused.
QString readOption(const QString& name, const QString& value, ExportChoice& choice);
// What an export still lacks (--lang, -o); empty when nothing.
QString lacking(const ExportChoice& choice);

// Makes the code and writes it whole or not at all. `fallbackName` names
// the function when --name is not given, made into a name if it is none
// (said in a line). 0, or 2 when the code cannot be made or written.
int write(hostcode::Source source, const ExportChoice& choice, const QString& fallbackName, QTextStream& out,
          QTextStream& err);

// `varnix --export SCRIPT`: 0, or 2 when the script is refused (by its line)
// or the code cannot be made or written.
int exportScript(const QString& path, const ExportChoice& choice, int delay, QTextStream& out, QTextStream& err);

} // namespace exporting
} // namespace varnix

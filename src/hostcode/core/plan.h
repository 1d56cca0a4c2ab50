// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostcode/core/hostcode.h"
#include "link/core/linesettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace varnix::hostcode {

// A piece of a frame: text sent as it stands, or a run of byte-list items
// ("]" and two hex digits a byte) kept as the bytes alone, which the code
// sends by a loop.
struct Piece {
    QByteArray text;  // Latin-1
    int block = -1;   // index into Plan::blocks, or -1 for text
};

struct Block {
    QByteArray bytes;
    bool upper = false;  // hex digits A-F rather than a-f
};

// One line of the script as the code carries it out.
struct Action {
    enum class Kind { Delay, Ready, Wait, Expect, Send, Screen };
    Kind kind = Kind::Send;
    int line = 0;
    int value = 0;          // Delay, Wait, Expect: milliseconds; Ready: on
    int needle = -1;        // Expect: index into Plan::needles, -1 when no answer can hold it
    QList<Piece> pieces;    // Send; Screen: the read of the display
    int block = -1;         // Screen: the picture, an index into Plan::blocks
    QString said;           // the line as a comment shows it
};

// The script laid out for code: its actions, the byte blocks they send (each
// distinct one once) and the texts looked for in the answers, the prompt and
// the error first.
struct Plan {
    QList<Action> actions;
    QList<Block> blocks;
    QList<QByteArray> needles;
    static constexpr int kPrompt = 0;
    static constexpr int kError = 1;
    qsizetype longestNeedle() const;
};

// The screen lines' pictures are Source::screens; a line without one has
// none (-1).
Plan planOf(const script::Script& script, const QHash<int, QByteArray>& screens = {});

// A byte-list run shorter than this stays text: a loop would not pay.
constexpr int kShortestBlock = 8;

// What the language's comment and main() say of the line, checked.
struct Line {
    link::LineSettings settings;
    QString text;        // "19200,n,8,1"
    QString described;   // "19200 baud, no parity, 8 data bits, 1 stop bit"
    char parity = 'n';   // n, e, o, m, s
    int dataBits = 8;
    QString stopBits;    // "1", "1.5", "2"
};
std::optional<Line> lineOf(const QString& settings);
// Why the language cannot set that line; empty when it can.
QString lineRefusal(const Line& line, Language language);

// The file's comment as lines: what the code does, what it was made from,
// the line and the pacing, and then the language's own `usage` sentences
// after an empty line.
QStringList aboutLines(const Source& source, const Line& line, const QString& function, const QStringList& usage);

// For comments: the text escaped as a script writes it, cut at `most`.
QString shownInComment(const QString& text, int most = 60);
// A script's line as a comment shows it, cut at `most` and said how long
// the text it stands for is.
QString lineInComment(const QString& line, qsizetype textLength, int most = 60);

} // namespace varnix::hostcode

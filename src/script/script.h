// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/transmitter.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

namespace varnix::script {

// A script file (UTF-8, ".vnx") holds one item a line:
//   ]c]402014          text sent as it stands, paced; see escapes.h
//   # comment          ignored, as are blank lines
//   delay MS           the pacing delay for the frames that follow
//   wait MS            a pause
//   expect TEXT [S]    waits until the answers since the last frame contain
//                      TEXT, at most S seconds (5 when left out)
//   ready off|on       whether each frame waits for the board's "Ready:"
//   screen FILE.png    reads the board's display and compares it with the
//                      picture (a relative name is taken from the script's
//                      folder)
// A line to send begins with "]" or with an escape, so that text typed in
// the terminal ("A", " x") is written "\x41", "\x20x" and no word is
// mistaken for it.

constexpr int kDefaultDelay = 20;
constexpr int kReadyTimeoutMs = 2000;
constexpr int kExpectSeconds = 5;
// The window's own range: any delay its XmitDelay field can send with.
constexpr int kLongestDelayMs = link::kLongestPacingDelayMs;
constexpr int kLongestWaitMs = 3'600'000;
constexpr char kExtension[] = "vnx";

struct Step {
    enum class Kind { Send, Delay, Wait, Expect, Ready, Screen };
    Kind kind = Kind::Send;
    int line = 0;          // in the file, from 1
    QString text;          // what Send sends, what Expect waits for, Screen's picture as written
    int milliseconds = 0;  // Delay, Wait, and Expect's longest wait
    bool on = true;        // Ready

    // What the step puts on the line: Send's text, or Screen's read of the
    // whole display; empty for the others.
    QString frame() const;
};

struct Script {
    QList<Step> steps;
    // Where a screen line's picture named without its folder is: the
    // script file's folder; empty for a script not read from a file (the
    // current folder).
    QString folder;

    // The picture of a screen line, its folder added where it has none.
    QString screenPath(const Step& step) const;

    // The texts that go to the board, in order (Step::frame()).
    QStringList frames() const;
    qsizetype frameCount() const;
};

// Why a script was refused: the line (0 for the file as a whole) and what
// is wrong there.
struct ReadError {
    int line = 0;
    QString reason;
    // "line 3: unknown word "colour"", or the reason alone for line 0.
    QString describe() const;
};

using ReadResult = std::variant<Script, ReadError>;

// Reads a script; the first line it cannot take refuses the whole script.
ReadResult readScript(QByteArrayView utf8);
// Hands each line of a UTF-8 text to `line`, numbered from 1, until it
// refuses one; a line that is not UTF-8 is refused by its number. A byte
// order mark may begin the text; a line's "\r" is left to `line`.
using LineReader = std::function<std::optional<ReadError>(int number, const QString& line)>;
std::optional<ReadError> readLines(QByteArrayView utf8, const LineReader& line);
ReadResult readScriptFile(const QString& path);

// One line as the reader takes it: its step, nothing for a comment or a
// blank line, or why it is refused. For the screen editor, which keeps every
// line and the lines it cannot take too.
using LineResult = std::variant<std::optional<Step>, ReadError>;
LineResult readLine(int number, QStringView line);

// How long the line is busy with a script: the pacing pauses and the waits,
// and every character at the given baud rate (10 bits a character). Answers
// are not counted: they depend on the board.
std::int64_t lineMilliseconds(const Script& script, std::optional<QChar> pacing, int startDelay,
                              int baudRate);

// "0.4 s", "12 s", "3 min 5 s".
QString durationText(std::int64_t milliseconds);

// The line that sends `text` as it is: escaped, and its first character
// escaped too unless it is "]", so that the reader takes it for text, and a
// blank at its end escaped, so that the reader does not trim it.
QString sendLine(const QString& text);

// The screen line that compares the board's display with the picture.
QString screenLine(const QString& picture);

} // namespace varnix::script

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace varnix::protocol {

// A field as an action reads it: what the person knows it by and what it
// holds.
struct FieldText {
    QString label; // the field's caption, e.g. "Circle Radius"
    QString text;
    // The caption of the field's page, where the same caption stands on
    // other pages too; empty otherwise.
    QString page = {};

    // The field as a message names it: "X on "PutByte"", or the label alone.
    QString named() const;
};

// What the person entered, as a message quotes it: in double quotes, control
// characters shown as their pictures, and a text longer than kQuotedLength
// cut to that length, the cut marked with an ellipsis.
QString quoted(QStringView entry);
constexpr qsizetype kQuotedLength = 40;

// Why a frame could not be composed.
enum class Refusal {
    None,
    NotANumber,     // a hex pair or word needs the text to be one number
    Negative,       // a hex pair has no form for a negative number
    TooLarge,       // beyond what the encoding can carry (32-bit)
    NotSingleByte,  // a character with no Latin-1 form
    NoCharacter,    // a field for one character left empty
};

// The outcome of composing: the frame, or the field that stopped it.
struct FrameResult {
    QString frame;
    Refusal refusal = Refusal::None;
    QString field;   // label of the offending field
    QString detail;  // the offending text or character
    // The frame ends in a character of its own that must reach the board
    // even when it is a blank: blanks at its end are not dropped.
    bool whole = false;

    bool ok() const { return refusal == Refusal::None; }
    // One line for the message box that refuses the action.
    QString message() const;

    static FrameResult success(QString frame);
    static FrameResult refused(Refusal why, QString field, QString detail);
};

// Parameter encodings that name their field when they fail. Fields are read
// by their text's number, rounded half to even; numbers come from sums of
// leading-number values and are rounded the same way.
FrameResult pairOfField(const FieldText& field);
FrameResult upperPairOfField(const FieldText& field);
FrameResult pairOfNumber(double value, const QString& label);
FrameResult wordOfField(const FieldText& field);
FrameResult wordOfNumber(std::int64_t value, const QString& label);

// One composing function per board command. Each checks that everything it
// puts into the frame can be sent as single bytes.
FrameResult clearDisplayFrame();                                              // ]k
FrameResult circleFrame(const FieldText& x, const FieldText& y, const FieldText& r);   // ]c]
FrameResult squareFrame(const FieldText& x, const FieldText& y, const FieldText& r);   // ]s]
FrameResult diamondFrame(const FieldText& x, const FieldText& y, const FieldText& r);  // ]q]
FrameResult star4Frame(const FieldText& x, const FieldText& y, const FieldText& r);    // ]t]
// ]r] x1 x2 y1 y2 ] step, the step being the leading-number value of its
// field written in decimal.
FrameResult rectangleFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                           const FieldText& y2, const FieldText& step);
FrameResult lineFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                      const FieldText& y2);                                   // ]l]
// ]b] x x2 y y2 ] step; the far corner is start + extent (leading-number
// values): + width across x when vertical, + length (height field) when not.
FrameResult barFrame(const FieldText& x, const FieldText& y, const FieldText& width,
                     const FieldText& height, bool vertical, const QString& step);
FrameResult fillFrame(const QString& step);                                  // ]f]step
FrameResult dotFrame(const FieldText& x, const FieldText& y);                // ]d]
FrameResult dotFrameAt(double x, double y, const QString& xLabel, const QString& yLabel);
FrameResult toggleDotFrame(const FieldText& x, const FieldText& y);          // ]e]
FrameResult putByteFrame(const FieldText& x, const FieldText& y, const FieldText& value); // ]u]
// ]p] x y ] character, the character text in upper case.
FrameResult putCharFrame(const FieldText& x, const FieldText& y, const FieldText& character);
// ]h] / ]v] X Y (upper-case pairs) then "]"+c for each of the first `limit`
// characters of the text in upper case without its surrounding blanks; then
// "]@".
FrameResult horizontalStringFrame(const FieldText& x, const FieldText& y,
                                  const FieldText& text, int limit = 26);
FrameResult verticalStringFrame(const FieldText& x, const FieldText& y,
                                const FieldText& text, int limit = 8);
// ]x] start, start+length, y ] tick  /  ]y] start, start+length, x ] tick.
FrameResult xAxisFrame(const FieldText& x, const FieldText& y, const FieldText& length,
                       const QString& tick);
FrameResult yAxisFrame(const FieldText& x, const FieldText& y, const FieldText& length,
                       const QString& tick);
// ]a] / ]g] start word, end word (the end address caption).
FrameResult eepromReadFrame(bool external, const FieldText& start, const FieldText& end);
// ]o] / ]w] start word, end word, data text unchanged.
FrameResult eepromWriteFrame(bool external, const FieldText& start, std::int32_t endAddress,
                             const FieldText& data);
// ]m] x1 x2 y1 y2 data  /  ]n] x1 x2 y1 y2.
FrameResult lcdWriteFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                          const FieldText& y2, const FieldText& data);
FrameResult lcdReadFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                         const FieldText& y2);
// The read of the whole display memory: columns 0 to 127, rows 0 to 7.
constexpr char kWholeDisplayRead[] = "]n]007f0007";

} // namespace varnix::protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/firmware.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace varnix::monitor {

// A command of the board in words: what a person calls it and the names of
// its parameters in the order they travel.
struct FrameKind {
    char letter;          // lower case
    const char* name;     // "Circle"
    // Names of the header's fields, then of a trailing number or character
    // or string, when the frame has one; empty where it has none.
    const char* fields[4];
    const char* tail;
};

// The kind of a command letter (either case); null for any other byte.
const FrameKind* frameKind(char letter);
// Every kind, in the order of the alphabet.
QList<const FrameKind*> frameKinds();
// The name of an unknown command's kind.
inline constexpr char kUnknownKind[] = "Unknown command";

// A frame's parameters that arrived, by name, in order: numbers, or a
// character or string as its bytes; a data frame's bytes counted.
struct Parameter {
    QString name;
    QVariant value; // int, or QByteArray
};
QList<Parameter> frameParameters(const board::FrameRead& frame);

// What a frame means, as the firmware read it: "Circle x 64, y 32,
// radius 20". Its kind and parameters, numbers in decimal, a string's text
// and a character quoted.
QString frameMeaning(const board::FrameRead& frame);

} // namespace varnix::monitor

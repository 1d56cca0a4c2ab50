// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostcode/core/plan.h"

namespace varnix::hostcode {

// What every language's file is written from.
struct Unit {
    const Plan& plan;
    const Source& source;
    const Line& line;
    QString name;      // the identifier the function is named by
    QString function;  // varnix_send_NAME
};

// C for POSIX and C++ for the Arduino core share their literals and most of
// their shape.
QString cCode(const Unit& unit);
// A runtime of src/hostcode/runtime ("runtime.c") as every export carries
// it: the file after its own first comment, each of the values (a name and
// its number) in place of the number the file defines it with.
QString runtime(const QString& file, const QList<std::pair<QString, QString>>& values);
QString arduinoCode(const Unit& unit);
QString pythonCode(const Unit& unit);

} // namespace varnix::hostcode

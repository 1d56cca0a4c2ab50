// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostcode/core/hostcode.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace varnix::test {

// How a program ended: its exit code (-1 when it had to be killed, not
// having ended in time) and what it wrote.
struct Ended {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end with this thread's event loop running, so that
// a board in this process answers it.
Ended runToEnd(const QString& program, const QStringList& arguments, int timeoutMs = 30000);

// Exported code made into something to run and run against a device: a C
// program built with gcc -Wall -Wextra -Werror (and checked so by clang), a
// Python script with python3 and pyserial, an Arduino sketch built for
// an Uno by Debian's arduino-builder and run in simavr, its serial port
// joined to the device by socat.
class HostRun
{
public:
    // Why this language's code cannot be built and run here; empty when it
    // can.
    static QString missing(hostcode::Language language);

    // Builds the code (written into `dir`); false, with the compiler's
    // words in error(), when it does not build.
    bool build(const QString& code, hostcode::Language language, const QString& dir);
    // Runs what was built against the device or address.
    Ended run(const QString& device, int timeoutMs = 30000) const;
    QString error() const { return m_error; }
    // What was built: the program, the Python file or the sketch's ELF.
    QString built() const { return m_built; }

private:
    hostcode::Language m_language = hostcode::Language::C;
    QString m_built;
    QString m_error;
};

} // namespace varnix::test

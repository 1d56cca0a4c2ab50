// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/virtualboard.h"
#include "support/ser2net.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// The fleet's tests run boards behind ser2net and read JUnit with python3.
#define REQUIRE_TOOLS()                                                                                       \
    if (!varnix::test::Ser2net::installed()                                                                   \
        || QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())                               \
    QSKIP("ser2net or python3 is not installed")

namespace varnix::test {

using BoardList = std::vector<std::unique_ptr<board::VirtualBoard>>;

// As many virtual boards, started; none when one would not start.
BoardList startBoards(int count);

// A ports file in the folder: a board's name, address and settings a line.
QString writePortsFile(const QTemporaryDir& dir, const QStringList& lines,
                       const QString& name = QStringLiteral("rack.ports"));

// The program on the arguments, until it ends; the boards answer from this
// process's event loop meanwhile, and `meanwhile` runs once it has started.
struct Finished {
    int code = -1;
    QString out;
    QString err;
};
Finished runProgramAt(const QString& program, const QStringList& arguments,
                      const std::function<void(QProcess&)>& meanwhile);
#ifdef VARNIX_PROGRAM
// The program built beside the tests.
inline Finished runProgram(const QStringList& arguments, const std::function<void(QProcess&)>& meanwhile = {})
{
    return runProgramAt(QStringLiteral(VARNIX_PROGRAM), arguments, meanwhile);
}
#endif

// The report as a JUnit reader takes it: python3's XML parser, the counts
// checked against the test cases, then a line a case: its name and its
// failure's message (with its type in brackets when asked), or "passed"
// (or "skipped").
QStringList junitCases(const QString& path, bool withType = false);

// The table's row of a board: its name first.
QString rowOf(const QString& out, const QString& name);

} // namespace varnix::test

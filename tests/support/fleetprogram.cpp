// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fleetprogram.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>

namespace varnix::test {

BoardList startBoards(int count)
{
    BoardList boards;
    for (int i = 0; i < count; ++i) {
        boards.push_back(std::make_unique<board::VirtualBoard>());
        if (!boards.back()->start())
            return {};
    }
    return boards;
}

QString writePortsFile(const QTemporaryDir& dir, const QStringList& lines, const QString& name)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write((lines.join(u'\n') + u'\n').toUtf8());
    return path;
}

Finished runProgramAt(const QString& program, const QStringList& arguments,
                      const std::function<void(QProcess&)>& meanwhile)
{
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(program, arguments);
    if (meanwhile)
        meanwhile(process);
    if (!finished.wait(60000) && finished.isEmpty())
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList junitCases(const QString& path, bool withType)
{
    static const char reader[] = R"(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == 'testsuites'
for suite in root.findall('testsuite'):
    cases = suite.findall('testcase')
    assert int(suite.get('tests')) == len(cases), 'tests'
    assert int(suite.get('failures')) == sum(c.find('failure') is not None for c in cases), 'failures'
    assert int(suite.get('skipped')) == sum(c.find('skipped') is not None for c in cases), 'skipped'
    for c in cases:
        f = c.find('failure')
        kind = ' [' + f.get('type') + ']' if f is not None and sys.argv[2] == '1' else ''
        print(c.get('name') + ': ' + (f.get('message') + kind if f is not None else
                                      'skipped' if c.find('skipped') is not None else 'passed'))
)";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(reader), path,
                                              withType ? QStringLiteral("1") : QStringLiteral("0")});
    if (!python.waitForFinished(20000) || python.exitCode() != 0)
        return {QStringLiteral("unreadable: ") + QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QString rowOf(const QString& out, const QString& name)
{
    const QRegularExpression row(QStringLiteral("^%1 .*$").arg(QRegularExpression::escape(name)),
                                 QRegularExpression::MultilineOption);
    return row.match(out).captured();
}

} // namespace varnix::test

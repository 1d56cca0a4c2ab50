// SPDX-License-Identifier: GPL-3.0-or-later
// The test suite's program: `varnix_tests tst_frames [Qt Test options]`
// runs the tests of tst_frames.cpp, each file in a process of its own as
// CTest starts it (a test that ends the application's event loop would end
// it for every file after it).
#include "support/testmain.h"

#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace varnix::test {

namespace {
std::map<QString, TestFactory>& registry()
{
    static std::map<QString, TestFactory> tests;
    return tests;
}
} // namespace

bool registerTest(const char* file, TestFactory factory)
{
    const QString name = QFileInfo(QString::fromLocal8Bit(file)).completeBaseName();
    if (!registry().emplace(name, std::move(factory)).second) {
        std::fprintf(stderr, "two test files are called %s\n", qPrintable(name));
        std::abort();
    }
    return true;
}

} // namespace varnix::test

int main(int argc, char* argv[])
{
    const auto& tests = varnix::test::registry();
    const auto found = argc > 1 ? tests.find(QString::fromLocal8Bit(argv[1])) : tests.end();
    if (found == tests.end()) {
        std::fprintf(stderr, "usage: %s <test file> [Qt Test options]; test files:\n", argv[0]);
        for (const auto& [name, factory] : tests)
            std::fprintf(stderr, "  %s\n", qPrintable(name));
        return 2;
    }
    // Qt Test sees the rest of the command line as if the file were the program.
    argv[1] = argv[0];
    int testArgc = argc - 1;
    char** testArgv = argv + 1;
    // What the window keeps across starts goes to a folder of the tests' own.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(testArgc, testArgv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    const std::unique_ptr<QObject> test = found->second();
    return QTest::qExec(test.get(), testArgc, testArgv);
}

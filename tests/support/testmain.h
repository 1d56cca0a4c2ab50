// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace varnix::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
// Makes a test class known under its file's name (tst_frames for
// tst_frames.cpp); every test file of the suite lives in one program.
bool registerTest(const char* file, TestFactory factory);

} // namespace varnix::test

// In place of QTEST_MAIN: the suite's program runs the class when asked for
// its file's name.
#define VARNIX_TEST_MAIN(TestClass) VARNIX_TEST_REGISTER(TestClass, __COUNTER__)
#define VARNIX_TEST_REGISTER(TestClass, n) VARNIX_TEST_REGISTER_(TestClass, n)
#define VARNIX_TEST_REGISTER_(TestClass, n)                                                                \
    static const bool varnixTestRegistered##n =                                                            \
        varnix::test::registerTest(__FILE__, [] { return std::unique_ptr<QObject>(new TestClass); });

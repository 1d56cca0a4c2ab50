// SPDX-License-Identifier: GPL-3.0-or-later
// What an idle Varnix pays for other programs' terminals, and for sitting
// with its port open.
//
// 1. The program itself (build/varnix, offscreen) as a child process: its
//    CPU-seconds, read from /proc, over a quiet spell and over a spell in
//    which 40 pseudo-terminals are opened and closed within 3 seconds (as
//    terminal tabs or a test run do), both 5 seconds long. Beside it, in this
//    process, the program's port list watching the same spell counts its looks.
// 2. The window in this process with its port open on a virtual board, idle
//    for 10 seconds: its CPU as a share of one core.
// Usage: bench_portlist [path of varnix, default ../varnix beside this bench]
#include "benchutil.h"
#include "app/window/mainwindow.h"
#include "board/virtualboard.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "support/fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <deque>
#include <thread>

#include <pty.h>
#include <unistd.h>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

double ownCpuSeconds()
{
    return CpuUsage::now(RUSAGE_SELF).totalMs() / 1e3;
}

// Runs the event loop for a while.
void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Opens 40 pseudo-terminals over 3 seconds, each closed 300 ms after it
// was opened, as a person opening terminal tabs or a test run would.
void churnTerminals()
{
    struct Terminal {
        int master;
        int slave;
        Clock::time_point opened;
    };
    std::deque<Terminal> open;
    const auto closeOlderThan = [&](Clock::duration age) {
        while (!open.empty() && Clock::now() - open.front().opened >= age) {
            ::close(open.front().slave);
            ::close(open.front().master);
            open.pop_front();
        }
    };
    const auto start = Clock::now();
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(75 * i));
        Terminal t{-1, -1, Clock::now()};
        if (::openpty(&t.master, &t.slave, nullptr, nullptr, nullptr) == 0)
            open.push_back(t);
        closeOlderThan(std::chrono::milliseconds(300));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    closeOlderThan(Clock::duration::zero());
}

void measureChildProgram(const QString& program)
{
    if (!QFileInfo(program).isExecutable()) {
        std::printf("program not found: %s (give its path as the first argument)\n", qPrintable(program));
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(program, {});
    if (!child.waitForStarted()) {
        std::printf("cannot start %s\n", qPrintable(program));
        return;
    }
    const qint64 pid = child.processId();
    link::SystemPortMap watching;
    runFor(2000); // start-up

    const double atRest = processCpuSeconds(pid);
    runFor(5000);
    const double afterQuiet = processCpuSeconds(pid);

    const int looksBefore = watching.looks();
    std::thread churn(churnTerminals);
    runFor(5000);
    churn.join();
    const double afterChurn = processCpuSeconds(pid);
    const int looks = watching.looks() - looksBefore;

    child.kill();
    child.waitForFinished();
    std::printf("varnix start-up (2 s):                       %.3f CPU-s\n", atRest);
    std::printf("varnix idle, 5 s quiet:                      %.3f CPU-s\n", afterQuiet - atRest);
    std::printf("varnix idle, 5 s, 40 terminals in 3 s:       %.3f CPU-s (target <= 0.1)\n", afterChurn - afterQuiet);
    std::printf("port list looks in those 5 s (this process): %d\n", looks);
}

void measureIdleWindow()
{
    QTemporaryDir dir;
    const QString boardLink = dir.path() + QStringLiteral("/varnix/virtual-board");
    board::VirtualBoard board;
    if (!board.start() || !board.publish(boardLink)) {
        std::printf("virtual board: %s\n", qPrintable(board.errorString()));
        return;
    }
    test::RecordingDesktop desktop;
    link::SystemPortMap ports(boardLink);
    link::QtSerialPort port(ports);
    link::EventLoopPause pause;
    Main window(Platform{desktop, ports, port, pause});
    window.show();
    const int number = int(ports.devices().indexOf(board.devicePath())) + 1;
    if (auto* option = window.findChild<QAbstractButton*>(QStringLiteral("optCom%1").arg(number)))
        option->setChecked(true);
    window.findChild<QAbstractButton*>(QStringLiteral("cmdCom"))->click();
    if (!port.isOpen()) {
        std::printf("the port did not open: %s\n", qPrintable(desktop.texts().join(u'|')));
        return;
    }
    runFor(1000); // the banner in, the window painted

    constexpr int kSeconds = 10;
    const double before = ownCpuSeconds();
    runFor(kSeconds * 1000);
    const double used = ownCpuSeconds() - before;
    std::printf("window idle, port open, %d s:               %.3f CPU-s, %.2f %% of a core (target < 0.5 %%)\n",
                kSeconds, used, 100.0 * used / kSeconds);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString program =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath() + QStringLiteral("/../varnix");
    measureChildProgram(program);
    measureIdleWindow();
    return 0;
}

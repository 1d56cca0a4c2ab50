// SPDX-License-Identifier: GPL-3.0-or-later
// Many boards at once: `varnix --run --ports --verify` on racks of 1 to 1,000
// virtual boards, each rack one `varnix-board --boards N` process, and on 64
// of them behind one real ser2net, raw and RFC 2217 in turn: wall time
// against one board's, Varnix's CPU a board and a frame, its peak resident
// memory a board beyond one, its threads and open files, and the board
// program's CPU beside. Then how late Varnix's pauses end on the boards'
// lines at 1 and 64 boards.
// Usage: bench_fleet [passes, default 3] [largest rack, default 1000]
#include "benchutil.h"
#include "board/virtualboard.h"
#include "support/pty.h"
#include "support/ser2net.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

// The example screen of the scripts page: 12 frames, 59 pauses of 20 ms;
// and --verify's read of the display, a 13th.
constexpr int kFrames = 13;
const char kScreen[] = "delay 20\n]k\n]r]007f003f]1\n]h]1803]T]E]S]S]E]L];]S]C]R]E]E]N]@\n]l]007f0c0c\n"
                       "]y]103810]4\n]x]104838]4\n]b]181f2837]1\n]b]242b1c37]2\n]b]30371437]1\n]c]5e2a0e\n"
                       "]l]5e662a22\n]p]5e32]0\n";

struct Measured {
    double wallMs = 0;
    double cpuMs = 0;
    double peakMb = 0;
    int threads = 0;
    int files = 0;
    int code = -1;
};

int countEntries(const QString& folder)
{
    return int(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size());
}

int statusValue(pid_t pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toInt();
    }
    return 0;
}

// Runs Varnix on the arguments while this process's event loop serves the
// boards; its rusage once it has ended.
Measured runVarnix(const QStringList& arguments)
{
    std::vector<QByteArray> owned{QByteArray(VARNIX_PROGRAM)};
    for (const QString& argument : arguments)
        owned.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : owned)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    Measured measured;
    const auto start = Clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return measured;
    posix_spawn_file_actions_destroy(&actions);
    rusage usage{};
    int status = 0;
    // The boards are served as soon as the program writes to them; whether
    // it has ended, and its threads and files, are looked at now and then.
    QEventLoop loop;
    QTimer ended;
    QObject::connect(&ended, &QTimer::timeout, &loop, [&] {
        if (wait4(pid, &status, WNOHANG, &usage) != 0)
            loop.quit();
    });
    ended.start(2);
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, &loop, [&] {
        measured.threads = std::max(measured.threads, statusValue(pid, "Threads:"));
        measured.files = std::max(measured.files, countEntries(QStringLiteral("/proc/%1/fd").arg(pid)));
    });
    sample.start(50);
    loop.exec();
    measured.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    measured.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    measured.peakMb = double(usage.ru_maxrss) / 1024.0;
    measured.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return file.fileName();
}

// A rack of boards in a process of their own, and the ports file naming
// them; no boards when it did not start.
struct Rack {
    explicit Rack(int count)
    {
        ports = dir.filePath(QStringLiteral("rack.ports"));
        program.start(QStringLiteral(VARNIX_BOARD_PROGRAM),
                      {QStringLiteral("--boards"), QString::number(count), QStringLiteral("--ports-file"), ports});
        while (devices.size() < count && program.waitForReadyRead(30000)) {
            while (program.canReadLine())
                devices << QString::fromLocal8Bit(program.readLine()).trimmed();
        }
        if (devices.size() < count) {
            std::printf("varnix-board --boards %d did not start: %s\n", count,
                        program.readAllStandardError().trimmed().constData());
            devices.clear();
        }
    }
    ~Rack()
    {
        program.terminate();
        program.waitForFinished(10000);
    }
    double cpuSeconds() const { return processCpuSeconds(program.processId()); }

    QTemporaryDir dir;
    QProcess program;
    QString ports;
    QStringList devices;
};

// The median pass of the script on the boards of the ports file, and the
// CPU the board program took in that pass.
Measured fleetRun(const QString& portsFile, int passes, const Rack& rack, double* rackCpuMs)
{
    QTemporaryDir dir;
    const QString script = writeFile(dir, QStringLiteral("screen.vnx"), kScreen);
    std::vector<std::pair<Measured, double>> all;
    for (int i = 0; i < passes; ++i) {
        const double before = rack.cpuSeconds();
        const Measured m = runVarnix({QStringLiteral("--run"), script, QStringLiteral("--ports"), portsFile,
                                      QStringLiteral("--verify")});
        all.emplace_back(m, (rack.cpuSeconds() - before) * 1e3);
    }
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first.wallMs < b.first.wallMs; });
    *rackCpuMs = all[all.size() / 2].second;
    return all[all.size() / 2].first;
}

// A row: the aims, where there are some, beside the figures.
void printRow(const char* what, int boards, const Measured& m, const Measured& one, double rackCpuMs,
              double timeAim)
{
    const double times = m.wallMs / one.wallMs;
    const double mbEach = boards > 1 ? (m.peakMb - one.peakMb) / (boards - 1) : 0.0;
    std::printf("  %-20s %4d  %6.0f ms  x%.2f", what, boards, m.wallMs, times);
    if (timeAim > 0)
        std::printf(" (aim x%.2f: %s)", timeAim, times <= timeAim ? "met" : "NOT MET");
    else
        std::printf("%18s", "");
    std::printf("  cpu %5.0f ms: %5.2f ms a board, %5.0f us a frame  peak %6.1f MB", m.cpuMs, m.cpuMs / boards,
                m.cpuMs * 1e3 / (boards * kFrames), m.peakMb);
    if (boards > 1)
        std::printf(", %.3f MB a board beyond one (aim < 0.5: %s)", mbEach, mbEach < 0.5 ? "met" : "NOT MET");
    std::printf("  threads %2d  files %4d  board program cpu %5.0f ms%s\n", m.threads, m.files, rackCpuMs,
                m.code == 0 ? "" : "  NOT ALL PASSED");
}

// How late each pause ends, on average, as boards on pseudo-terminals read
// by threads of their own see it: the time from the first pacing character
// to the last, less the pauses' own, over their number; a board's mean, so
// that a reader thread woken late for one character does not count. The
// boards do not answer, so the script does not wait for them. One board
// alone is a single run, whose pauses spin their end, unless `asFleet`;
// a fleet's are ended by its threads' timers.
std::vector<double> pauseLateness(int boards, int delayMs, bool asFleet)
{
    std::vector<std::unique_ptr<test::Pty>> ptys;
    QByteArray ports;
    for (int i = 0; i < boards; ++i) {
        ptys.push_back(std::make_unique<test::Pty>());
        ptys.back()->startReading();
        ports += QStringLiteral("b%1 %2\n").arg(i).arg(ptys.back()->slavePath()).toLatin1();
    }
    QByteArray script = "ready off\ndelay " + QByteArray::number(delayMs) + "\n";
    std::size_t characters = 0;
    for (int i = 0; i < 10; ++i) {
        for (const char* frame : {"]b]181f2837]1", "]h]1803]T]E]S]S]E]L]@"}) {
            script += QByteArray(frame) + '\n';
            characters += std::strlen(frame);
        }
    }
    QTemporaryDir dir;
    const QString scriptFile = writeFile(dir, QStringLiteral("gaps.vnx"), script);
    if (asFleet || boards > 1)
        runVarnix({QStringLiteral("--run"), scriptFile, QStringLiteral("--ports"),
                   writeFile(dir, QStringLiteral("gaps.ports"), ports)});
    else
        runVarnix({QStringLiteral("--run"), scriptFile, QStringLiteral("--port"), ptys.front()->slavePath()});
    std::vector<double> late;
    for (const auto& pty : ptys) {
        pty->waitForBytes(characters, 5000);
        pty->stopReading();
        std::vector<Clock::time_point> pacing;
        for (const auto& arrival : pty->arrivals()) {
            if (arrival.byte == ']')
                pacing.push_back(arrival.at);
        }
        if (pacing.size() < 2)
            continue;
        const double pauses = double(pacing.size() - 1);
        late.push_back(
            (std::chrono::duration<double, std::micro>(pacing.back() - pacing.front()).count() - pauses * delayMs * 1e3)
            / pauses);
    }
    return late;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int largest = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    std::vector<int> counts;
    for (const int count : {1, 4, 16, 64, 256, 1000}) {
        if (count <= largest)
            counts.push_back(count);
    }
    if (counts.back() != largest)
        counts.push_back(largest);
    const std::pair<int, double> aims[] = {{256, 1.2}, {1000, 1.5}};

    std::printf("the example screen with --verify (%d frames a board, 59 pauses of 20 ms), median of %d passes:\n",
                kFrames, passes);
    Measured one;
    for (const int count : counts) {
        const Rack rack(count);
        if (rack.devices.isEmpty())
            return 1;
        double rackCpuMs = 0;
        const Measured m = fleetRun(rack.ports, passes, rack, &rackCpuMs);
        if (count == 1)
            one = m;
        double aim = 0;
        for (const auto& [boards, times] : aims) {
            if (boards == count)
                aim = times;
        }
        printRow("pseudo-terminals", count, m, one, rackCpuMs, aim);
    }
    if (test::Ser2net::installed()) {
        const int count = 64;
        const Rack rack(count);
        if (rack.devices.isEmpty())
            return 1;
        test::Ser2net server(rack.devices);
        if (!server.start()) {
            std::printf("ser2net: %s\n", qPrintable(server.error()));
            return 1;
        }
        QTemporaryDir dir;
        QByteArray ports;
        for (int i = 0; i < count; ++i)
            ports += "board" + QByteArray::number(i) + ' '
                + (i % 2 ? server.rfc2217Address(i) : server.rawAddress(i)).toLatin1() + '\n';
        double rackCpuMs = 0;
        const Measured m = fleetRun(writeFile(dir, QStringLiteral("ser2net.ports"), ports), passes, rack, &rackCpuMs);
        printRow("ser2net raw and 2217", count, m, one, rackCpuMs, 0);
    } else {
        std::printf("  ser2net is not installed\n");
    }

    std::printf("how late a pause ends on average, from the first pacing character a board receives to its "
                "last (119 pauses a board), the median board of all passes and the latest:\n");
    for (const int delay : {5, 20}) {
        for (const int count : {0, 1, 64}) {
            std::vector<double> late;
            for (int pass = 0; pass < passes; ++pass) {
                const std::vector<double> more = pauseLateness(std::max(count, 1), delay, count > 0);
                late.insert(late.end(), more.begin(), more.end());
            }
            std::printf("  delay %2d ms, %-26s %7.1f us  latest %7.1f us\n", delay,
                        count == 0   ? "1 board alone (spun)"
                            : count == 1 ? "1 board as a fleet (timer)"
                                         : "64 boards (timer)",
                        percentile(late, 0.5), percentile(late, 1.0));
        }
    }
    return 0;
}

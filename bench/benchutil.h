// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include <QDir>
#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define VARNIX_CALLGRIND 1
#endif

// The CPU time the calling thread has used, in milliseconds.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// What the calling thread (RUSAGE_THREAD) or the whole process
// (RUSAGE_SELF) has used so far: CPU in user code and in the kernel, in
// milliseconds, and the page faults it took (memory given back and touched
// again shows as faults and kernel time).
struct CpuUsage {
    double userMs = 0;
    double systemMs = 0;
    long faults = 0;

    static CpuUsage now(int who = RUSAGE_THREAD)
    {
        rusage usage{};
        getrusage(who, &usage);
        const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
        return {ms(usage.ru_utime), ms(usage.ru_stime), usage.ru_minflt + usage.ru_majflt};
    }
    double totalMs() const { return userMs + systemMs; }
    CpuUsage operator-(const CpuUsage& before) const
    {
        return {userMs - before.userMs, systemMs - before.systemMs, faults - before.faults};
    }
};

// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The value below which the fraction p of the values lie; 0 for none.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

// The CPU-seconds a process has used, user and system, from /proc; -1 when
// it cannot be read.
inline double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

// The resident memory of this process in megabytes (MiB), 0 when unknown.
inline double residentMb()
{
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        long size = 0;
        if (std::fscanf(statm, "%ld %ld", &size, &pages) != 2)
            pages = 0;
        std::fclose(statm);
    }
    return double(pages) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The median wall time of `passes` runs of `work`, in milliseconds.
template <typename Work>
double medianMs(int passes, Work work)
{
    std::vector<double> times;
    for (int i = 0; i < passes; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return median(times);
}

// The instructions a stretch of a benchmark runs, which callgrind counts the
// same on a busy machine as on an idle one, unlike CPU time. Run the
// benchmark under
//   valgrind --tool=callgrind --instr-atstart=no --separate-threads=yes
// and each stretch is counted on its own, in the thread that marks it (the
// window's); run plainly, nothing is counted.
class InstructionCount
{
public:
    static bool available()
    {
#ifdef VARNIX_CALLGRIND
        return RUNNING_ON_VALGRIND;
#else
        return false;
#endif
    }

    void start()
    {
#ifdef VARNIX_CALLGRIND
        CALLGRIND_START_INSTRUMENTATION;
        CALLGRIND_ZERO_STATS;
#endif
    }

    // What ran since start(), read back from the dump callgrind writes for
    // it into the working folder.
    std::optional<double> stop(const char* name)
    {
#ifdef VARNIX_CALLGRIND
        if (!available())
            return std::nullopt;
        CALLGRIND_DUMP_STATS_AT(name);
        CALLGRIND_STOP_INSTRUMENTATION;
        // callgrind.out.<pid>.<dump>, with -<thread> when threads are apart;
        // the newest dump of the first thread is this stretch's.
        const QString prefix = QStringLiteral("callgrind.out.%1.").arg(getpid());
        QString newest;
        int newestDump = -1;
        for (const QString& file : QDir().entryList({prefix + u'*'}, QDir::Files)) {
            const QString rest = file.mid(prefix.size());
            const QString dump = rest.section(u'-', 0, 0);
            const QString thread = rest.section(u'-', 1);
            if (!thread.isEmpty() && thread.toInt() != 1)
                continue;
            if (dump.toInt() > newestDump) {
                newestDump = dump.toInt();
                newest = file;
            }
        }
        QFile dump(newest);
        if (newest.isEmpty() || !dump.open(QIODevice::ReadOnly))
            return std::nullopt;
        while (!dump.atEnd()) {
            const QByteArray line = dump.readLine();
            if (line.startsWith("totals:"))
                return line.mid(7).trimmed().split(' ').value(0).toDouble();
        }
#else
        (void)name;
#endif
        return std::nullopt;
    }
};

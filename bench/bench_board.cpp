// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the virtual board's firmware model reads what the line brings,
// against the time the serial line takes to carry it at 56000 baud (10 bits
// a byte). A ratio far below 1 means the model never holds up the line.
// Then the virtual board's resident memory while 30 MB of frames arrive on
// its pseudo-terminal: it must not grow with what the board is fed.
// Usage: bench_board [passes, default 200] [megabytes fed, default 30]
#include "board/firmware.h"
#include "board/virtualboard.h"

#include "benchutil.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using varnix::board::Firmware;
using varnix::board::VirtualBoard;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double bytesPerSecond = 56000.0 / 10;

// Median time of one pass, in seconds.
double medianSeconds(int passes, const std::function<void()>& pass)
{
    std::vector<double> times;
    times.reserve(passes);
    for (int i = 0; i < passes; ++i) {
        const auto start = Clock::now();
        pass();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return median(std::move(times));
}

void report(const char* what, qsizetype bytes, double seconds)
{
    const double lineSeconds = double(bytes) / bytesPerSecond;
    std::printf("%-34s %7lld bytes  %9.1f us  line %8.1f ms  ratio %.6f\n", what, static_cast<long long>(bytes),
                seconds * 1e6, lineSeconds * 1e3, seconds / lineSeconds);
}

// The process's resident memory in KiB, from /proc/self/status.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// One MiB of what a long session sends a board: LCD blocks, drawings,
// strings, EEPROM writes, and now and then line noise.
QByteArray sessionTraffic(QRandomGenerator& random)
{
    QByteArray traffic;
    while (traffic.size() < 1024 * 1024) {
        traffic += "]m]007f0001";
        for (int i = 0; i < 256; ++i)
            traffic += ']' + QByteArray::number(random.bounded(256), 16).rightJustified(2, '0');
        traffic += "]c]402014]r]007f003f]2]h]0120]A];]T]E]S]S]E]L]@]u]0a0a7c]p]0a0a]A";
        traffic += "]o]00100013]41]42]43]44]]a]00100013]n]00030000";
        for (int i = 0; i < 64; ++i)
            traffic += char(random.bounded(256));
        traffic += "]k";
    }
    return traffic;
}

// Feeds the board `megabytes` of traffic through its device, as a program
// would, reading its answers as they come; prints the resident memory.
void memoryWhileFed(int megabytes, QRandomGenerator& random)
{
    VirtualBoard board;
    if (!board.start()) {
        std::printf("virtual board: %s\n", qPrintable(board.errorString()));
        return;
    }
    const int device = ::open(QFile::encodeName(board.devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    ::tcgetattr(device, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(device, TCSANOW, &raw);
    const QByteArray traffic = sessionTraffic(random);
    char answers[65536];
    qint64 answered = 0;
    auto readAnswers = [&] {
        for (ssize_t n; (n = ::read(device, answers, sizeof answers)) > 0;)
            answered += n;
    };
    QCoreApplication::processEvents();
    readAnswers();

    const qint64 total = qint64(megabytes) * 1024 * 1024;
    const qint64 step = 5 * 1024 * 1024;
    const long before = residentKiB();
    std::printf("virtual board fed through its pseudo-terminal: resident memory %ld KiB before\n", before);
    const auto start = Clock::now();
    qint64 written = 0;
    qint64 nextReport = step;
    while (board.receivedCount() < total) {
        if (written < total) {
            const qsizetype at = qsizetype(written % traffic.size());
            const qsizetype size = std::min<qint64>(traffic.size() - at, total - written);
            if (const ssize_t n = ::write(device, traffic.constData() + at, size_t(std::min<qsizetype>(size, 4096)));
                n > 0)
                written += n;
        }
        QCoreApplication::processEvents();
        readAnswers();
        if (board.receivedCount() >= nextReport) {
            const long now = residentKiB();
            std::printf("  after %3lld MB fed: %ld KiB (%+.1f MB)\n", static_cast<long long>(nextReport >> 20), now,
                        double(now - before) / 1024);
            nextReport += step;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long after = residentKiB();
    std::printf("after %d MB fed: %ld KiB, growth %+.1f MB (answers %lld bytes, %.1f s, %.1f MB/s)\n", megabytes,
                after, double(after - before) / 1024, static_cast<long long>(answered), seconds,
                double(total) / (1 << 20) / seconds);
    ::close(device);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int megabytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    QRandomGenerator random(56000);

    QByteArray block = "]m]007f0007";
    for (int i = 0; i < 1024; ++i)
        block += ']' + QByteArray::number(random.bounded(256), 16).rightJustified(2, '0');

    QByteArray noise(32 * 1024, 0);
    for (char& byte : noise)
        byte = char(random.bounded(256));

    const Firmware fresh;
    qsizetype answered = 0;

    const double blockSeconds = medianSeconds(passes, [&] {
        Firmware board = fresh;
        answered += board.feed(block).size();
    });
    const double noiseSeconds = medianSeconds(passes, [&] {
        Firmware board = fresh;
        answered += board.feed(noise).size();
        answered += board.silence().size();
    });
    // What a preview costs: a copy of a board and one frame fed into it.
    const QByteArray circle = "]c]402014";
    const double previewSeconds = medianSeconds(passes * 10, [&] {
        Firmware board = fresh;
        answered += board.feed(circle).size();
    });

    std::printf("median of %d passes (answers: %lld bytes)\n", passes, static_cast<long long>(answered));
    report("LCD block ]m]007f0007, 1024 bytes", block.size(), blockSeconds);
    report("random bytes, 32 KiB", noise.size(), noiseSeconds);
    report("copy + circle frame (preview)", circle.size(), previewSeconds);
    memoryWhileFed(megabytes, random);
    return 0;
}

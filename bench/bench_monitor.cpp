// SPDX-License-Identifier: GPL-3.0-or-later
// The line monitor: the delay its pass-through (varnix --monitor) adds to
// each byte at 56000 baud, against the host writing straight to the board's
// line and against jpnevulator --pass between the same two lines, with the
// CPU each takes; and decoding a capture of 10 MB, its time and memory, and
// saving it again.
#include "benchutil.h"
#include "monitor/core/capture.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

// A byte's time on the line at 56000 baud, 10 bits a byte.
constexpr auto kByteTime = std::chrono::nanoseconds(10'000'000'000LL / 56000);
constexpr int kBytes = 3000;
constexpr int kRounds = 3;

// The host's bytes: drawing frames, over and over.
QByteArray hostBytes()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < kBytes; ++i)
        bytes += QStringLiteral("]d]%1%2").arg(i % 128, 2, 16, QChar(u'0')).arg(i % 64, 2, 16, QChar(u'0')).toLatin1();
    return bytes.left(kBytes);
}

int openRaw(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios raw{};
        ::tcgetattr(fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(fd, TCSANOW, &raw);
    }
    return fd;
}

struct Delays {
    std::vector<double> us;
    std::size_t arrived = 0;
};

// Writes the bytes one at a time at the line's pace and times each one's
// arrival at the board's end.
Delays timed(test::Pty& board, const QByteArray& bytes, const std::function<void(char)>& write)
{
    Delays delays;
    const std::size_t before = board.arrivals().size();
    std::vector<Clock::time_point> sent;
    auto next = Clock::now();
    for (const char byte : bytes) {
        std::this_thread::sleep_until(next);
        sent.push_back(Clock::now());
        write(byte);
        next += kByteTime;
    }
    board.waitForBytes(before + sent.size(), 5000);
    const auto arrivals = board.arrivals();
    delays.arrived = arrivals.size() - before;
    for (std::size_t i = 0; i < sent.size() && before + i < arrivals.size(); ++i)
        delays.us.push_back(std::chrono::duration<double, std::micro>(arrivals[before + i].at - sent[i]).count());
    return delays;
}

void report(const char* what, const Delays& delays, double baselineMedian, double baselineP99, double cpuSeconds)
{
    const double med = percentile(delays.us, 0.5);
    const double p99 = percentile(delays.us, 0.99);
    std::printf("  %-26s median %7.1f us (+%6.1f)  p99 %8.1f us (+%7.1f)  bytes %zu of %d", what, med,
                med - baselineMedian, p99, p99 - baselineP99, delays.arrived, kBytes);
    if (cpuSeconds >= 0)
        std::printf("  CPU %.3f s, %.1f %% of a core", cpuSeconds,
                    100.0 * cpuSeconds / (double(kBytes) * std::chrono::duration<double>(kByteTime).count()));
    std::printf("\n");
}

// A program between the host's line and the board's: started, given time
// to open both, then the host's bytes sent through it.
void through(const char* what, const QString& program, const QStringList& arguments, const QByteArray& bytes,
             test::Pty& host, test::Pty& board, double baselineMedian, double baselineP99)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        std::printf("  %-26s could not be started\n", what);
        return;
    }
    // Open once a byte gets through.
    const std::size_t before = board.arrivals().size();
    for (int tries = 0; tries < 100 && board.arrivals().size() == before; ++tries) {
        host.send("\n");
        board.waitForBytes(before + 1, 50);
    }
    if (board.arrivals().size() == before) {
        std::printf("  %-26s passes nothing on\n", what);
        process.kill();
        process.waitForFinished();
        return;
    }
    QThread::msleep(200);
    const double cpuBefore = processCpuSeconds(process.processId());
    // The host's end of its line: the test writes the master, the program
    // reads the slave.
    const Delays delays = timed(board, bytes, [&](char byte) { host.send(QByteArray(1, byte)); });
    const double cpu = processCpuSeconds(process.processId()) - cpuBefore;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
    }
    report(what, delays, baselineMedian, baselineP99, cpu);
}

// A capture of at least `size` bytes: frames paced as Varnix paces them at
// 56000 baud, with the board's answers, some refused.
QByteArray capture(qsizetype size)
{
    QByteArray out = "Varnix 1.2 capture: host /dev/ttyUSB0, board /dev/ttyUSB1, 56000,n,8,1, 2025-01-31\n";
    const char* frames[] = {"]c]402014", "]d]1020", "]r]007f003f]1", "]h]0A04]V]A]R]N]I]X]@", "]f]4",
                            "]m]00070000]ff]00]ff]00]ff]00]ff]00", "]k", "]m]80810000]ff"};
    const qint64 midnight = QDateTime(QDate(2025, 1, 31), QTime(0, 0)).toMSecsSinceEpoch();
    qint64 at = 10 * 3600 * 1000;
    for (int i = 0; out.size() < size; ++i) {
        const QByteArray frame = frames[(i * 7) % 8];
        const QByteArray time = QDateTime::fromMSecsSinceEpoch(midnight + at).toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
        out += time + " > " + frame + '\n';
        at += 3;
        const QByteArray answerTime =
            QDateTime::fromMSecsSinceEpoch(midnight + at).toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
        out += answerTime + " < "
            + (frame.startsWith("]m]8081") ? "Error: block outside the display memory\\x0d\\x0aReady:\\x0d\\x0a"
                                           : "Ready:\\x0d\\x0a")
            + '\n';
        at += 20 + i % 50;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString varnix = QCoreApplication::applicationDirPath() + QStringLiteral("/../varnix");
    const QString jpnevulator = QStandardPaths::findExecutable(QStringLiteral("jpnevulator"));
    const QByteArray bytes = hostBytes();

    std::printf("the delay a byte takes from the host to the board, %d bytes at 56000 baud\n", kBytes);
    test::Pty board;
    board.startReading();
    const int direct = openRaw(board.slavePath());
    const Delays straight = timed(board, bytes, [direct](char byte) {
        [[maybe_unused]] const ssize_t written = ::write(direct, &byte, 1);
    });
    ::close(direct);
    const double baseMedian = percentile(straight.us, 0.5), baseP99 = percentile(straight.us, 0.99);
    report("host straight to the board", straight, baseMedian, baseP99, -1);

    if (jpnevulator.isEmpty())
        std::printf("  jpnevulator --pass             not installed: apt-get install jpnevulator\n");
    // Taking turns, as a shared machine's load comes and goes.
    for (int round = 1; round <= kRounds; ++round) {
        std::printf(" round %d of %d\n", round, kRounds);
        {
            test::Pty host;
            through("varnix --monitor", varnix,
                    {"--monitor", host.slavePath(), "--port", board.slavePath(), "--line", "56000,n,8,1"}, bytes,
                    host, board, baseMedian, baseP99);
        }
        if (!jpnevulator.isEmpty()) {
            test::Pty host;
            through("jpnevulator --pass", jpnevulator,
                    {"--read", "--pass", "--tty", host.slavePath(), "--tty", board.slavePath()}, bytes, host, board,
                    baseMedian, baseP99);
        }
    }
    board.stopReading();

    std::printf("decoding a capture of 10 MB\n");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(capture(10 * 1000 * 1000)) < 0) {
            std::printf("  cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const double before = residentMb();
    double most = before;
    qint64 events = 0;
    monitor::Decoder decoder([&](const monitor::Event&) {
        if (++events % 10000 == 0)
            most = std::max(most, residentMb());
    });
    const auto start = Clock::now();
    const qint64 read = monitor::decodeFile(path, decoder).bytes;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("  %.1f MB, %lld events, %lld frames (%lld refused) in %.2f s (aim: under 2 s); resident memory "
                "%.1f MiB before, at most %.1f MiB while decoding\n",
                double(read) / 1e6, (long long)events, (long long)decoder.counts().frames,
                (long long)decoder.counts().refused, seconds, before, most);
    const auto saving = Clock::now();
    const QString failure = monitor::saveAsCapture(path, dir.filePath(QStringLiteral("saved.log")));
    std::printf("  saved again as a capture in %.2f s%s\n",
                std::chrono::duration<double>(Clock::now() - saving).count(),
                failure.isEmpty() ? "" : qPrintable(QStringLiteral(": ") + failure));
    return 0;
}

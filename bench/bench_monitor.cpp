// SPDX-License-Identifier: GPL-3.0-or-later
// The line monitor: the delay its pass-through (varnix --monitor) adds to
// each byte from the host to the board, against the host writing straight
// to the board's line and against jpnevulator --pass between the same two
// lines, with the CPU each takes, at 56000 and 115200 baud and through
// ser2net; a flood both ways at once through each, which must arrive whole
// and in order; and decoding a capture of 10 MB, its time and memory, and
// saving it again. The aims are printed beside the figures.
#include "benchutil.h"
#include "monitor/core/capture.h"
#include "support/pty.h"
#include "support/ser2net.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBytes = 3000;
constexpr int kRounds = 7;
constexpr qsizetype kFloodBytes = 1000 * 1000;

// The host's bytes: drawing frames, over and over.
QByteArray hostBytes()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < kBytes; ++i)
        bytes += QStringLiteral("]d]%1%2").arg(i % 128, 2, 16, QChar(u'0')).arg(i % 64, 2, 16, QChar(u'0')).toLatin1();
    return bytes.left(kBytes);
}

// Every byte value, in an order of its own for each direction.
QByteArray floodBytes(unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(kFloodBytes, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random());
    return bytes;
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

// A TCP connection to 127.0.0.1:port that sends each byte at once.
int connectLocal(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// The CPU time every thread of a process has had so far, in seconds, from
// the scheduler's count in nanoseconds (/proc/PID/stat counts in ticks of
// 10 ms, too coarse for half a second); -1 when it cannot be read. Neither
// program starts or ends a thread while passing bytes.
double cpuSeconds(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (ids.isEmpty())
        return -1;
    double total = 0;
    for (const QString& id : ids) {
        QFile stat(tasks.filePath(id + QStringLiteral("/schedstat")));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        total += stat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

struct Figures {
    double median = 0;  // added delay, microseconds
    double p99 = 0;
    double cpu = -1;    // percent of a core
    std::size_t arrived = 0;
    bool ran = false;
};

// Writes the bytes one at a time at the line's pace and times each one's
// arrival at the board's end.
std::vector<double> timed(test::Pty& board, const QByteArray& bytes, int baud, std::size_t& arrived,
                          const std::function<void(char)>& write)
{
    // 10 bits a byte on the line.
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / baud);
    const std::size_t before = board.arrivals().size();
    std::vector<Clock::time_point> sent;
    auto next = Clock::now();
    for (const char byte : bytes) {
        std::this_thread::sleep_until(next);
        sent.push_back(Clock::now());
        write(byte);
        next += byteTime;
    }
    board.waitForBytes(before + sent.size(), 5000);
    const auto arrivals = board.arrivals();
    arrived = arrivals.size() - before;
    std::vector<double> us;
    for (std::size_t i = 0; i < sent.size() && before + i < arrivals.size(); ++i)
        us.push_back(std::chrono::duration<double, std::micro>(arrivals[before + i].at - sent[i]).count());
    return us;
}

// The delays of bytes written straight to the board's line.
std::vector<double> straight(test::Pty& board, const QByteArray& bytes, int baud, int fd)
{
    std::size_t arrived = 0;
    return timed(board, bytes, baud, arrived, [fd](char byte) {
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    });
}

// A program started, given time to open its lines, and ended.
class Running
{
public:
    Running(const QString& program, const QStringList& arguments)
    {
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(program, arguments);
        m_started = m_process.waitForStarted(5000);
    }
    ~Running()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool started() const { return m_started; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    bool m_started = false;
};

// True once a byte from the host's line reaches the board's.
bool passes(test::Pty& host, test::Pty& board)
{
    const std::size_t before = board.arrivals().size();
    for (int tries = 0; tries < 100 && board.arrivals().size() == before; ++tries) {
        host.send("\n");
        board.waitForBytes(before + 1, 50);
    }
    if (board.arrivals().size() == before)
        return false;
    QThread::msleep(200);
    return true;
}

// The host's bytes through a program between the host's line and the
// board's, the delay each takes beyond `baseline`'s; the CPU counted is
// the program's and its helper's, if it has one.
Figures through(const QString& program, const QStringList& arguments, const QByteArray& bytes, int baud,
                test::Pty& host, test::Pty& board, const std::vector<double>& baseline, qint64 helper = 0)
{
    Figures figures;
    const Running running(program, arguments);
    if (!running.started() || !passes(host, board))
        return figures;
    const auto cpuNow = [&] { return cpuSeconds(running.pid()) + (helper > 0 ? cpuSeconds(helper) : 0); };
    const double cpuBefore = cpuNow();
    // The host's end of its line: the test writes the master, the program
    // reads the slave.
    const auto start = Clock::now();
    const std::vector<double> us =
        timed(board, bytes, baud, figures.arrived, [&](char byte) { host.send(QByteArray(1, byte)); });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuNow() - cpuBefore;
    figures.ran = true;
    // Beyond the straight line's usual delay: its own 99th percentile is
    // the shared machine's hiccups, not the line's.
    figures.median = percentile(us, 0.5) - percentile(baseline, 0.5);
    figures.p99 = percentile(us, 0.99) - percentile(baseline, 0.5);
    figures.cpu = cpuBefore < 0 ? -1 : 100.0 * cpu / seconds;
    return figures;
}

void print(const char* what, const Figures& f)
{
    if (!f.ran) {
        std::printf("    %-34s passes nothing on\n", what);
        return;
    }
    std::printf("    %-34s added: median %6.1f us, p99 %7.1f us; CPU %5.2f %% of a core; %zu of %d bytes a round\n",
                what, f.median, f.p99, f.cpu, f.arrived, kBytes);
}

// The middle figures of the rounds.
Figures middle(const std::vector<Figures>& rounds)
{
    std::vector<double> medians, p99s, cpus;
    Figures out;
    out.arrived = std::size_t(kBytes);
    for (const Figures& f : rounds) {
        if (!f.ran)
            continue;
        medians.push_back(f.median);
        p99s.push_back(f.p99);
        cpus.push_back(f.cpu);
        out.arrived = std::min(out.arrived, f.arrived);
        out.ran = true;
    }
    out.median = median(medians);
    out.p99 = median(p99s);
    out.cpu = median(cpus);
    return out;
}

const char* met(bool yes)
{
    return yes ? "met" : "NOT MET";
}

// The aims: Varnix adds no more delay, at the median and the 99th
// percentile, and takes no more CPU than jpnevulator.
void aims(const Figures& varnix, const Figures& other, const char* which = "")
{
    if (!varnix.ran || !other.ran) {
        std::printf("    aims%s: not measured\n", which);
        return;
    }
    std::printf("    aim%s: median added no more than jpnevulator's: %.1f us against %.1f us, %s\n", which,
                varnix.median, other.median, met(varnix.median <= other.median));
    std::printf("    aim%s: p99 added no more than jpnevulator's: %.1f us against %.1f us, %s\n", which, varnix.p99,
                other.p99, met(varnix.p99 <= other.p99));
    std::printf("    aim%s: CPU no more than jpnevulator's: %.2f %% against %.2f %%, %s\n", which, varnix.cpu, other.cpu,
                met(varnix.cpu <= other.cpu));
}

// Rounds taken in turns, as a shared machine's load comes and goes; the
// straight line measured again in each.
void delays(int baud, const QString& varnix, const QString& jpnevulator, const QByteArray& bytes)
{
    std::printf(" at %d baud, %d bytes, the middle of %d rounds\n", baud, kBytes, kRounds);
    const QString line = QStringLiteral("%1,n,8,1").arg(baud);
    test::Pty board;
    board.startReading();
    std::vector<Figures> ours, theirs;
    for (int round = 0; round < kRounds; ++round) {
        const int direct = openRaw(board.slavePath());
        const std::vector<double> baseline = straight(board, bytes, baud, direct);
        ::close(direct);
        {
            test::Pty host;
            ours.push_back(through(varnix, {"--monitor", host.slavePath(), "--port", board.slavePath(), "--line", line},
                                   bytes, baud, host, board, baseline));
        }
        if (!jpnevulator.isEmpty()) {
            test::Pty host;
            theirs.push_back(through(jpnevulator,
                                     {"--read", "--pass", "--tty", host.slavePath(), "--tty", board.slavePath()},
                                     bytes, baud, host, board, baseline));
        }
    }
    board.stopReading();
    print("varnix --monitor", middle(ours));
    print("jpnevulator --pass", middle(theirs));
    aims(middle(ours), middle(theirs));
}

// The board behind ser2net: Varnix reaches it as a raw TCP port and as RFC
// 2217; jpnevulator, which opens only terminals, through socat's
// pseudo-terminal on the raw port, its delay and CPU counted with socat's
// (which does the network's part of the work, as Varnix does it itself).
// The straight line is the host writing to the raw port itself.
void delaysThroughSer2net(int baud, const QString& varnix, const QString& jpnevulator, const QByteArray& bytes)
{
    std::printf(" through ser2net at %d baud, %d bytes, the middle of %d rounds\n", baud, kBytes, kRounds);
    if (!test::Ser2net::installed()) {
        std::printf("    ser2net is not installed: apt-get install ser2net\n");
        return;
    }
    const QString line = QStringLiteral("%1,n,8,1").arg(baud);
    test::Pty board;
    test::Ser2net server(board.slavePath());
    if (!server.start()) {
        std::printf("    ser2net did not start: %s\n", qPrintable(server.error()));
        return;
    }
    board.startReading();
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    QTemporaryDir dir;
    const quint16 rawPort = server.rawAddress().section(u':', -1).toUShort();
    std::vector<Figures> raw, rfc2217, theirs;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<double> baseline;
        {
            const int direct = connectLocal(rawPort);
            QThread::msleep(100);
            baseline = straight(board, bytes, baud, direct);
            ::close(direct);
            QThread::msleep(100);
        }
        for (auto [address, figures] : {std::pair{server.rawAddress(), &raw}, {server.rfc2217Address(), &rfc2217}}) {
            test::Pty host;
            figures->push_back(through(varnix, {"--monitor", host.slavePath(), "--port", address, "--line", line},
                                       bytes, baud, host, board, baseline));
            // ser2net lets a port go a moment after its client.
            QThread::msleep(100);
        }
        if (!jpnevulator.isEmpty() && !socat.isEmpty()) {
            const QString link = dir.filePath(QStringLiteral("line%1").arg(round));
            const Running bridge(socat, {QStringLiteral("pty,raw,echo=0,link=%1").arg(link),
                                         QStringLiteral("tcp:127.0.0.1:%1,nodelay").arg(rawPort)});
            for (int tries = 0; tries < 100 && !QFile::exists(link); ++tries)
                QThread::msleep(20);
            test::Pty host;
            theirs.push_back(through(jpnevulator, {"--read", "--pass", "--tty", host.slavePath(), "--tty", link}, bytes,
                                     baud, host, board, baseline, bridge.pid()));
            QThread::msleep(100);
        }
    }
    board.stopReading();
    print("varnix --monitor, tcp://", middle(raw));
    print("varnix --monitor, rfc2217://", middle(rfc2217));
    if (jpnevulator.isEmpty() || socat.isEmpty())
        std::printf("    jpnevulator --pass through socat: needs jpnevulator and socat installed\n");
    else
        print("jpnevulator --pass + socat", middle(theirs));
    aims(middle(raw), middle(theirs), " (tcp://)");
    aims(middle(rfc2217), middle(theirs), " (rfc2217://)");
}

// 1 MB from each end at once, as fast as the lines take it: both arrive
// whole and in order.
void flood(const char* what, const QString& program, const QStringList& arguments, test::Pty& host, test::Pty& board)
{
    const Running running(program, arguments);
    host.startReading();
    board.startReading();
    if (!running.started() || !passes(host, board)) {
        std::printf("    %-40s passes nothing on\n", what);
        return;
    }
    const std::size_t hostBefore = host.arrivals().size(), boardBefore = board.arrivals().size();
    const QByteArray toBoard = floodBytes(1), toHost = floodBytes(2);
    const double cpuBefore = cpuSeconds(running.pid());
    const auto start = Clock::now();
    std::thread fromBoard([&] { board.send(toHost); });
    host.send(toBoard);
    fromBoard.join();
    board.waitForBytes(boardBefore + std::size_t(kFloodBytes), 30000);
    host.waitForBytes(hostBefore + std::size_t(kFloodBytes), 30000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuSeconds(running.pid()) - cpuBefore;
    host.stopReading();
    board.stopReading();
    const QByteArray atBoard = board.received().mid(qsizetype(boardBefore));
    const QByteArray atHost = host.received().mid(qsizetype(hostBefore));
    const bool whole = atBoard == toBoard && atHost == toHost;
    std::printf("    %-40s %s: %lld and %lld of %lld bytes in %.2f s, CPU %.2f s\n", what,
                whole ? "whole and in order both ways" : "NOT whole and in order", (long long)atBoard.size(),
                (long long)atHost.size(), (long long)kFloodBytes, seconds, cpu);
}

void floods(const QString& varnix, const QString& jpnevulator)
{
    std::printf(" a flood of %lld bytes both ways at once, at 115200 baud (a pseudo-terminal is as fast as it can be)\n",
                (long long)kFloodBytes);
    const QStringList line{"--line", "115200,n,8,1"};
    {
        test::Pty host, board;
        flood("varnix --monitor", varnix, QStringList{"--monitor", host.slavePath(), "--port", board.slavePath()} + line,
              host, board);
    }
    if (!jpnevulator.isEmpty()) {
        test::Pty host, board;
        flood("jpnevulator --pass", jpnevulator,
              {"--read", "--pass", "--tty", host.slavePath(), "--tty", board.slavePath()}, host, board);
    }
    if (test::Ser2net::installed()) {
        test::Pty host, board;
        test::Ser2net server(board.slavePath());
        if (server.start())
            flood("varnix --monitor, ser2net rfc2217://", varnix,
                  QStringList{"--monitor", host.slavePath(), "--port", server.rfc2217Address()} + line, host, board);
    }
    std::printf("    aim: no byte lost or reordered\n");
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

    std::printf("the delay the monitor's pass-through adds to a byte from the host to the board, beyond the line's "
                "own, and its CPU\n");
    if (jpnevulator.isEmpty())
        std::printf("  jpnevulator is not installed: apt-get install jpnevulator\n");
    for (const int baud : {56000, 115200})
        delays(baud, varnix, jpnevulator, bytes);
    delaysThroughSer2net(115200, varnix, jpnevulator, bytes);
    floods(varnix, jpnevulator);

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

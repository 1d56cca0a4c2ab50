// How fast the virtual board's firmware model reads what the line brings,
// against the time the serial line takes to carry it at 56000 baud (10 bits
// a byte). A ratio far below 1 means the model never holds up the line.
// Usage: bench_board [passes, default 200]
#include "board/firmware.h"

#include "benchutil.h"

#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using varnix::board::Firmware;
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

} // namespace

int main(int argc, char** argv)
{
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
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
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Scripts: reading a script of 100,000 lines, previewing what it draws with
// the firmware model, and a run at delay 0 against a virtual board on a
// pseudo-terminal, against the time a 56000 baud line needs for the frames
// and the board's answers (10 bits a byte).
// Usage: bench_script [passes, default 5] [frames of the run, default 2000]
#include "benchutil.h"
#include "board/displaycheck.h"
#include "board/virtualboard.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "script/clock.h"
#include "script/runner.h"
#include "script/script.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kBytesPerSecond = 56000.0 / 10;

QByteArray pair(QRandomGenerator& random, int below)
{
    return QByteArray::number(random.bounded(below), 16).rightJustified(2, '0');
}

// A drawing frame of the board's commonest kinds, at random places.
QByteArray randomFrame(QRandomGenerator& random)
{
    switch (random.bounded(6)) {
    case 0:
        return "]c]" + pair(random, 128) + pair(random, 64) + pair(random, 30);
    case 1:
        return "]l]" + pair(random, 128) + pair(random, 128) + pair(random, 64) + pair(random, 64);
    case 2:
        return "]d]" + pair(random, 128) + pair(random, 64);
    case 3:
        return "]e]" + pair(random, 128) + pair(random, 64);
    case 4:
        return "]u]" + pair(random, 128) + pair(random, 57) + pair(random, 256);
    default:
        return "]h]" + pair(random, 100).toUpper() + pair(random, 56).toUpper() + "]V]A]R]N]I]X]@";
    }
}

// Lines of a script: mostly frames, with comments, delays and expects.
QByteArray scriptText(int lines, QRandomGenerator& random)
{
    QByteArray text;
    text.reserve(qsizetype(lines) * 20);
    for (int i = 0; i < lines; ++i) {
        switch (i % 20) {
        case 0:
            text += "# part " + QByteArray::number(i / 20) + '\n';
            break;
        case 7:
            text += "delay " + QByteArray::number(random.bounded(30)) + '\n';
            break;
        case 13:
            text += "expect Ready: 2\n";
            break;
        default:
            text += randomFrame(random) + '\n';
        }
    }
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int runFrames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    QRandomGenerator random(17);

    const QByteArray text = scriptText(100'000, random);
    script::Script read;
    const double readMs = medianMs(passes, [&] { read = std::get<script::Script>(script::readScript(text)); });
    const QStringList frames = read.frames();
    std::printf("read    100000 lines, %lld bytes:      %8.1f ms (median of %d)\n",
                static_cast<long long>(text.size()), readMs, passes);

    board::Display drawn;
    const double previewMs = medianMs(passes, [&] { drawn = board::drawn(frames).display(); });
    std::printf("preview %lld frames:                  %8.1f ms, %.1f ms per 10000 frames (aim: under 50)\n",
                static_cast<long long>(frames.size()), previewMs, previewMs * 10000.0 / double(frames.size()));

    // The run: the program's port, connection and runner on a virtual board.
    board::VirtualBoard board;
    if (!board.start()) {
        std::fprintf(stderr, "bench_script: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    link::PortMap ports;
    ports.setDevices({board.devicePath()});
    link::QtSerialPort port(ports);
    link::EventLoopPause pause;
    link::Connection connection(port, pause);
    if (!connection.open()) {
        std::fprintf(stderr, "bench_script: cannot open %s\n", qPrintable(board.devicePath()));
        return 1;
    }
    script::Script run;
    qsizetype sentBytes = 0;
    for (const QString& frame : frames.mid(0, runFrames)) {
        run.steps.append(script::Step{script::Step::Kind::Send, int(run.steps.size() + 1), frame});
        sentBytes += frame.size();
    }
    script::EventLoopClock clock;
    script::Runner runner(connection, clock);
    qsizetype answerBytes = 0;
    QObject::connect(&runner, &script::Runner::answered,
                     [&](int, const QString&, const QString& answer) { answerBytes += answer.size(); });
    const auto start = Clock::now();
    const auto result = runner.run(run, 0);
    const double runMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double lineMs = double(sentBytes + answerBytes) / kBytesPerSecond * 1000.0;
    std::printf("run     %d frames at delay 0:           %8.1f ms; the line at 56000 baud: %.1f ms for %lld bytes "
                "sent and %lld answered; ratio %.3f (aim: at most 1.05)%s\n",
                result.framesAnswered, runMs, lineMs, static_cast<long long>(sentBytes),
                static_cast<long long>(answerBytes), runMs / lineMs, result.ok() ? "" : " (NOT ALL ANSWERED)");
    std::printf("        display after the run %s the preview of its frames\n",
                board.firmware().display() == board::drawn(frames.mid(0, runFrames)).display() ? "equals"
                                                                                               : "DIFFERS FROM");
    return 0;
}

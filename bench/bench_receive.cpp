// Receiving into a full receive window: what one tick of the receive poll
// costs when the window already holds 10 MB, and the CPU the window uses
// while a pseudo-terminal feeds it text at 56000 baud's rate.
// Usage: bench_receive [seconds of feeding, default 60]
#include "app/mainwindow.h"
#include "app/widgets.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "link/terminal.h"
#include "support/fixture.h"
#include "support/pty.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

QByteArray textLines(qsizetype size, int seed)
{
    QByteArray text;
    text.reserve(size);
    int line = seed;
    while (text.size() < size) {
        text += "Reply ";
        text += QByteArray::number(line++);
        text += ": 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77\r\n";
    }
    text.truncate(size);
    return text;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int feedSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;

    test::Pty pty;
    test::RecordingDesktop desktop;
    link::PortMap ports;
    ports.setDevices({pty.slavePath()});
    link::QtSerialPort port(ports);
    link::EventLoopPause pause;
    Main window(Platform{desktop, ports, port, pause});
    window.resize(1100, 700);
    window.show();
    window.findChild<QAbstractButton*>(QStringLiteral("cmdCom"))->click();
    if (!port.isOpen()) {
        std::printf("could not open %s\n", qPrintable(pty.slavePath()));
        return 1;
    }
    Terminal& terminal = window.terminal();
    TextArea* rcv = window.rcvText();

    QElapsedTimer fill;
    fill.start();
    rcv->setText(QString::fromLatin1(textLines(10 * 1024 * 1024, 0)));
    QApplication::processEvents();
    std::printf("receive window filled with %lld characters in %lld ms\n", (long long)rcv->text().size(),
                (long long)fill.elapsed());

    // One tick at a time, each bringing 1 KB.
    terminal.setPolling(false);
    std::vector<double> ticks;
    std::vector<double> ticksWithPaint;
    for (int i = 0; i < 60; ++i) {
        const QByteArray chunk = textLines(1024, 1000 + i * 20);
        pty.send(chunk);
        while (port.qtPort().bytesAvailable() < chunk.size())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto start = Clock::now();
        terminal.Timer1_Timer();
        const auto ticked = Clock::now();
        QApplication::processEvents(); // layout and paint of what came in
        const auto painted = Clock::now();
        ticks.push_back(std::chrono::duration<double, std::milli>(ticked - start).count());
        ticksWithPaint.push_back(std::chrono::duration<double, std::milli>(painted - start).count());
    }
    std::printf("tick bringing 1 KB into 10 MB: median %.3f ms, max %.3f ms; with the repaint after it: "
                "median %.3f ms, max %.3f ms\n",
                median(ticks), *std::max_element(ticks.begin(), ticks.end()), median(ticksWithPaint),
                *std::max_element(ticksWithPaint.begin(), ticksWithPaint.end()));

    // A steady feed at 5,600 characters a second, as 56000 baud delivers.
    terminal.setPolling(true);
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        const QByteArray text = textLines(5600 * qsizetype(feedSeconds) + 64, 7);
        qsizetype sent = 0;
        const auto start = Clock::now();
        while (feeding.load() && sent < 5600 * qsizetype(feedSeconds)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const qsizetype due = std::min<qsizetype>(qsizetype(elapsed * 5600), text.size());
            if (due > sent) {
                pty.send(text.mid(sent, due - sent));
                sent = due;
            }
        }
    });
    const qsizetype before = rcv->text().size();
    const double cpuBefore = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(feedSeconds * 1000 + 200, &app, &QCoreApplication::quit);
    QApplication::exec();
    feeding = false;
    feeder.join();
    const double cpu = threadCpuMs() - cpuBefore;
    std::printf("feeding %d s at 5600 characters/s: %lld characters arrived, window thread used %.0f ms CPU "
                "(%.2f%% of one core)\n",
                feedSeconds, (long long)(rcv->text().size() - before), cpu, 100.0 * cpu / double(wall.elapsed()));
    return 0;
}

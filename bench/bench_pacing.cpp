// SPDX-License-Identifier: GPL-3.0-or-later
// Pacing on a pseudo-terminal: how closely the pauses before pacing
// characters keep to the delay asked, with the whole window showing and
// repainting its progress, and what the transmission costs in CPU.
#include "benchutil.h"
#include "app/window/mainwindow.h"
#include "widgets/fields.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "support/fixture.h"
#include "support/pty.h"

#include <QAbstractButton>
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

// The program's pause, timed from outside.
class TimedPause : public link::Pause
{
public:
    void wait(int ms) override
    {
        const auto start = Clock::now();
        m_inner.wait(ms);
        const double took = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        overshoots.push_back(took - ms * 1000.0);
    }
    void yield() override { m_inner.yield(); }
    void cancel() override { m_inner.cancel(); }
    void reset() override { m_inner.reset(); }

    std::vector<double> overshoots;

private:
    link::EventLoopPause m_inner;
};

void report(const char* what, const std::vector<double>& overshootUs, bool countShorter)
{
    std::printf("  %-36s median %7.1f us  p99 %8.1f us  max %8.1f us", what, percentile(overshootUs, 0.5),
                percentile(overshootUs, 0.99),
                overshootUs.empty() ? 0.0 : *std::max_element(overshootUs.begin(), overshootUs.end()));
    if (countShorter) {
        const auto shorter = std::count_if(overshootUs.begin(), overshootUs.end(), [](double v) { return v < 0; });
        std::printf("  shorter than asked: %ld of %zu", long(shorter), overshootUs.size());
    }
    std::printf("\n");
}

void run(int delayMs, const QString& frame, const char* title)
{
    test::Pty pty;
    test::RecordingDesktop desktop;
    link::PortMap ports;
    ports.setDevices({pty.slavePath()});
    link::QtSerialPort port(ports);
    TimedPause pause;
    Main window(Platform{desktop, ports, port, pause});
    window.show();
    pty.startReading();
    window.findChild<QAbstractButton*>(QStringLiteral("cmdCom"))->click();
    if (!port.isOpen()) {
        std::printf("could not open %s\n", qPrintable(pty.slavePath()));
        return;
    }
    window.findChild<LineField*>(QStringLiteral("xmitdelay"))->setExactText(QString::number(delayMs));
    window.findChild<LineField*>(QStringLiteral("txmText"))->setExactText(frame);
    QApplication::processEvents();

    const double cpuBefore = threadCpuMs();
    const auto start = Clock::now();
    window.send();
    const auto end = Clock::now();
    const double cpu = threadCpuMs() - cpuBefore;
    pty.waitForBytes(std::size_t(frame.size()), 10000);

    // The same pauses as the other end of the line saw them.
    std::vector<double> lineOvershoot;
    const auto arrivals = pty.arrivals();
    auto previous = start;
    for (const auto& a : arrivals) {
        if (a.byte == ']')
            lineOvershoot.push_back(std::chrono::duration<double, std::micro>(a.at - previous).count() -
                                    delayMs * 1000.0);
        previous = a.at;
    }

    const double wholeMs = std::chrono::duration<double, std::milli>(end - start).count();
    const auto pauses = frame.count(u']');
    std::printf("%s: %lld characters, %lld pauses of %d ms\n", title, (long long)frame.size(), (long long)pauses,
                delayMs);
    report("pause overshoot (around the wait):", pause.overshoots, true);
    // Arrival times carry the reading thread's wake-up jitter on both ends of
    // a gap, so single gaps can look shorter or longer than the pause was.
    report("arrival gap over the delay (master):", lineOvershoot, false);
    const double idealMs = double(pauses * delayMs);
    std::printf("  whole send %.1f ms, ideal %.0f ms (%+.1f ms, %.1f us a character); send used %.1f ms CPU "
                "(%.1f%% of its time)\n",
                wholeMs, idealMs, wholeMs - idealMs, 1000.0 * (wholeMs - idealMs) / double(frame.size()), cpu,
                100.0 * cpu / wholeMs);
    std::printf("  bytes at the other end: %zu of %lld%s\n\n", arrivals.size(), (long long)frame.size(),
                desktop.messages.isEmpty() ? "" : " (a message was shown!)");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    QString drawing;
    for (int i = 0; i < 100; ++i)
        drawing += QStringLiteral("]d]%1%2").arg(i, 2, 16, QChar(u'0')).arg(32, 2, 16, QChar(u'0'));
    run(20, drawing, "20 ms, 100 dot frames back to back");

    QString lcd = QStringLiteral("]m]007f0007");
    for (int i = 0; i < 1024; ++i)
        lcd += QStringLiteral("]%1").arg(i % 256, 2, 16, QChar(u'0'));
    run(5, lcd, "5 ms, LCD write of 1024 bytes");
    run(0, lcd, "no pauses, LCD write of 1024 bytes (the cost of the writes alone)");
    return 0;
}

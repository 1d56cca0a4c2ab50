// SPDX-License-Identifier: GPL-3.0-or-later
// A board on the network against the same board on its pseudo-terminal:
// the pacing gaps as the far end sees them, through ser2net raw and as
// RFC 2217, and the time a 32 KiB EEPROM write takes over each.
#include "benchutil.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/portswitch.h"
#include "support/pty.h"
#include "support/ser2net.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

struct Result {
    std::vector<double> gapOverUs; // arrival gap before each pacing character, over the delay
    double wholeMs = 0;
    std::size_t arrived = 0;
};

// Sends the frames one after another, paced, and times their arrival.
Result send(test::Pty& pty, const QString& port, const QStringList& frames, int delayMs)
{
    Result result;
    link::PortMap ports;
    ports.setDevices({port});
    link::PortSwitch serial(ports);
    link::EventLoopPause pause;
    link::Connection connection(serial, pause);
    if (!connection.open()) {
        std::printf("could not open %s: %s\n", qPrintable(port), qPrintable(serial.failureHint()));
        return result;
    }
    pty.startReading();
    const auto start = Clock::now();
    qsizetype total = 0;
    for (const QString& frame : frames) {
        connection.transmit(frame, QChar(u']'), delayMs);
        total += frame.size();
    }
    pty.waitForBytes(std::size_t(total), 20000);
    const auto arrivals = pty.arrivals();
    result.wholeMs = std::chrono::duration<double, std::milli>(
                         (arrivals.empty() ? Clock::now() : arrivals.back().at) - start)
                         .count();
    pty.stopReading();
    connection.close();
    result.arrived = arrivals.size();
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        if (arrivals[i].byte == ']')
            result.gapOverUs.push_back(
                std::chrono::duration<double, std::micro>(arrivals[i].at - arrivals[i - 1].at).count()
                - delayMs * 1000.0);
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!test::Ser2net::installed()) {
        std::printf("ser2net is not installed\n");
        return 1;
    }

    QString drawing;
    for (int i = 0; i < 100; ++i)
        drawing += QStringLiteral("]d]%1%2").arg(i, 2, 16, QChar(u'0')).arg(32, 2, 16, QChar(u'0'));
    // As the EEPROM page sends it: a frame for each 64-byte page.
    QStringList eeprom;
    qsizetype eepromSize = 0;
    for (int page = 0; page < 32 * 1024 / 64; ++page) {
        QString frame = QStringLiteral("]o]%1%2").arg(page * 64, 4, 16, QChar(u'0')).arg(page * 64 + 63, 4, 16, QChar(u'0'));
        for (int i = 0; i < 64; ++i)
            frame += QStringLiteral("]%1").arg(i, 2, 16, QChar(u'0'));
        eepromSize += frame.size();
        eeprom << frame;
    }

    const char* names[] = {"pseudo-terminal", "ser2net raw", "ser2net rfc2217"};
    for (const int delay : {5, 20}) {
        std::printf("pacing at %d ms, 100 dot frames (200 pauses): arrival gap over the delay\n", delay);
        for (int way = 0; way < 3; ++way) {
            test::Pty pty;
            test::Ser2net server(pty.slavePath());
            if (way > 0 && !server.start()) {
                std::printf("ser2net: %s\n", qPrintable(server.error()));
                return 1;
            }
            const QString port = way == 0 ? pty.slavePath() : way == 1 ? server.rawAddress() : server.rfc2217Address();
            const Result r = send(pty, port, {drawing}, delay);
            std::printf("  %-16s median %7.1f us  p99 %8.1f us  bytes %zu of %lld\n", names[way],
                        percentile(r.gapOverUs, 0.5), percentile(r.gapOverUs, 0.99), r.arrived,
                        (long long)drawing.size());
        }
    }
    std::printf("32 KiB EEPROM write (%lld characters in %lld frames, no pauses): until the last byte arrived\n",
                (long long)eepromSize, (long long)eeprom.size());
    for (int way = 0; way < 3; ++way) {
        test::Pty pty;
        test::Ser2net server(pty.slavePath());
        if (way > 0 && !server.start())
            return 1;
        const QString port = way == 0 ? pty.slavePath() : way == 1 ? server.rawAddress() : server.rfc2217Address();
        const Result r = send(pty, port, eeprom, 0);
        std::printf("  %-16s %8.1f ms  bytes %zu of %lld\n", names[way], r.wholeMs, r.arrived,
                    (long long)eepromSize);
    }
    return 0;
}

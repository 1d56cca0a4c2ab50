// SPDX-License-Identifier: GPL-3.0-or-later
// A frame sent without pauses to a board behind a slow line: the far end of a
// pseudo-terminal reads only so many bytes a second, so the port spends most
// of the send waiting for room in a full output buffer. Prints how long the
// send took against the time the reader needs for the frame by itself, and
// the CPU the sending thread used in all and while the port waited for room.
// Usage: bench_slowline [bytes per second, default 1920] [runs, default 1]
#include "benchutil.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// An LCD write of the longest length: "]" and two hex digits a byte.
QByteArray lcdFrame()
{
    QByteArray frame = "]m]007f0007";
    for (int i = 0; frame.size() < link::kMaxFrameLength; ++i)
        frame += "]" + QByteArray::number(i % 256, 16).rightJustified(2, '0');
    frame.truncate(link::kMaxFrameLength);
    return frame;
}

// The program's port, with the writes that met a full buffer timed.
class TimedPort : public link::SerialPort
{
public:
    TimedPort(link::SerialPort& inner, const test::Pty& pty) : m_inner(inner), m_pty(pty)
    {
        connect(&inner, &link::SerialPort::lost, this, &link::SerialPort::lost);
    }
    bool isOpen() const override { return m_inner.isOpen(); }
    bool open() override { return m_inner.open(); }
    bool close() override { return m_inner.close(); }
    void setPortNumber(int number) override { m_inner.setPortNumber(number); }
    int portNumber() const override { return m_inner.portNumber(); }
    void setSettings(const QString& settings) override { m_inner.setSettings(settings); }
    void cancelWrite() override { m_inner.cancelWrite(); }
    QString readAll() override { return m_inner.readAll(); }
    bool write(QChar character) override
    {
        if (!m_pty.outputFull())
            return m_inner.write(character);
        const double cpuBefore = threadCpuMs();
        const auto start = Clock::now();
        const bool ok = m_inner.write(character);
        waitSeconds += seconds(Clock::now() - start);
        waitCpuMs += threadCpuMs() - cpuBefore;
        ++waits;
        return ok;
    }

    int waits = 0;
    double waitSeconds = 0;
    double waitCpuMs = 0;

private:
    link::SerialPort& m_inner;
    const test::Pty& m_pty;
};

struct Result {
    bool sent = false;
    bool whole = false;  // every byte arrived, in order
    QString lost;        // the reason given, when the device was reported lost
    bool lostReported = false;
    bool portOpen = false;
    double sendSeconds = 0;
    double lastByteSeconds = 0;
    std::size_t heldBack = 0;  // bytes not yet read when the send returned
    double cpuMs = 0;
    int waits = 0;  // writes that found the buffer full
    double waitSeconds = 0;
    double waitCpuMs = 0;
    int ticks = 0;
};

// bytesPerSecond 0: a reader that keeps up.
std::optional<Result> sendFrame(const QByteArray& frame, int bytesPerSecond)
{
    test::Pty pty;
    link::PortMap ports;
    ports.setDevices({pty.slavePath()});
    link::QtSerialPort qtPort(ports);
    TimedPort port(qtPort, pty);
    link::EventLoopPause pause;
    link::Connection connection(port, pause);
    Result r;
    QObject::connect(&connection, &link::Connection::lost, [&](const QString& reason) {
        r.lostReported = true;
        r.lost = reason;
    });
    if (!connection.open()) {
        std::printf("could not open %s\n", qPrintable(pty.slavePath()));
        return std::nullopt;
    }
    // Something for the event loop to do while the port waits, as the
    // window's progress would.
    QTimer progress;
    progress.callOnTimeout([&] { ++r.ticks; });
    progress.start(30);

    pty.startSlowReading(bytesPerSecond);
    const double cpuBefore = threadCpuMs();
    const auto start = Clock::now();
    r.sent = connection.transmit(QString::fromLatin1(frame), QChar(u']'), 0) == link::Transmitter::Outcome::Sent;
    const auto returned = Clock::now();
    r.cpuMs = threadCpuMs() - cpuBefore;
    r.sendSeconds = seconds(returned - start);
    r.waits = port.waits;
    r.waitSeconds = port.waitSeconds;
    r.waitCpuMs = port.waitCpuMs;
    r.heldBack = std::size_t(frame.size()) - std::min(pty.arrivals().size(), std::size_t(frame.size()));

    const double own = bytesPerSecond > 0 ? double(frame.size()) / bytesPerSecond : 0;
    r.whole = pty.waitForBytes(std::size_t(frame.size()), int(own * 1000) + 10000) && pty.received() == frame;
    QCoreApplication::processEvents();
    const auto arrivals = pty.arrivals();
    r.lastByteSeconds = arrivals.empty() ? 0 : seconds(arrivals.back().at - start);
    r.portOpen = port.isOpen();
    return r;
}

void printOutcome(const Result& r, std::size_t length)
{
    std::printf("  %s, %s%s, port %s\n", r.sent ? "sent" : "NOT SENT",
                r.whole ? QStringLiteral("all %1 bytes arrived in order").arg(length).toLatin1().constData()
                        : "NOT THE FRAME",
                r.lostReported ? qPrintable(QStringLiteral(", device reported lost (%1)").arg(r.lost)) : "",
                r.portOpen ? "open" : "closed");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rate = argc > 1 ? std::atoi(argv[1]) : 1920;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    if (rate <= 0 || runs <= 0) {
        std::printf("usage: bench_slowline [bytes per second] [runs]\n");
        return 2;
    }
    const QByteArray frame = lcdFrame();
    const auto length = std::size_t(frame.size());

    const double own = double(length) / rate;
    for (int i = 0; i < runs; ++i) {
        const auto slow = sendFrame(frame, rate);
        if (!slow)
            return 1;
        std::printf("\n%zu characters, no pauses, to a reader of %d bytes a second (run %d):\n", length, rate, i + 1);
        std::printf("  send returned after %.3f s, %zu bytes still in the line's buffer\n", slow->sendSeconds,
                    slow->heldBack);
        std::printf("  last byte read after %.3f s; the reader alone needs %.3f s: %.4f x\n", slow->lastByteSeconds,
                    own, slow->lastByteSeconds / own);
        std::printf("  sending thread: %.1f ms CPU in %.3f s, %.2f%% of a core; %d progress ticks ran\n",
                    slow->cpuMs, slow->sendSeconds, 100.0 * slow->cpuMs / (1000.0 * slow->sendSeconds),
                    slow->ticks);
        std::printf("  %d writes waited for room, %.3f s in all, using %.2f ms CPU: %.3f%% of a core while "
                    "waiting\n",
                    slow->waits, slow->waitSeconds, slow->waitCpuMs,
                    slow->waitSeconds > 0 ? 100.0 * slow->waitCpuMs / (1000.0 * slow->waitSeconds) : 0.0);
        printOutcome(*slow, length);
    }
    return 0;
}

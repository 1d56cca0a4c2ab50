// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace varnix::test {

// A pseudo-terminal whose slave the program opens as its serial port while
// the test works the master end. The master is raw from the start, so
// nothing the program writes is echoed or translated.
class Pty
{
public:
    using Clock = std::chrono::steady_clock;
    struct Arrival {
        char byte;
        Clock::time_point at;
    };

    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Records every byte arriving at the master, with its time, on a thread
    // of its own until stopReading().
    void startReading();
    // Like startReading(), but takes no more than bytesPerSecond, as a board
    // behind a slow line would: what the program writes faster piles up in
    // the pseudo-terminal until its buffer is full.
    void startSlowReading(int bytesPerSecond);
    void stopReading();
    // Makes the pseudo-terminal a line to a device (a board's): what the
    // reader takes (at its rate, when slow) goes on to the device, and the
    // device's answers come back to the program at once, or no faster than
    // answersPerSecond bytes as a serial line at that rate brings them.
    // Before reading.
    bool forwardTo(const QString& device, int answersPerSecond = 0);
    std::vector<Arrival> arrivals() const;
    QByteArray received() const;
    // Waits until at least count bytes have arrived or the time is up.
    bool waitForBytes(std::size_t count, int timeoutMs) const;

    // True while the pseudo-terminal takes no more from the program: its
    // buffer is full (false once the test has closed its slave descriptor).
    bool outputFull() const;

    // Writes bytes to the master: the program receives them.
    bool send(const QByteArray& bytes);
    // Closes the master, as an unplugged device would vanish.
    void closeMaster();
    // Drops the slave descriptor the test holds.
    void closeSlave();

private:
    void readLoop(int master, int bytesPerSecond);
    void record(const char* bytes, ssize_t count, Clock::time_point at);

    void answerLoop();

    int m_master = -1;
    int m_slave = -1;
    int m_forward = -1;
    int m_answersPerSecond = 0;
    std::thread m_answerer;
    QString m_slavePath;
    std::thread m_reader;
    std::atomic<bool> m_reading{false};
    mutable std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
};

// The line settings in force on a terminal device.
termios lineOf(const QString& device);

} // namespace varnix::test

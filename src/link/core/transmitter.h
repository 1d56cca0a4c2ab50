// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/task.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>

namespace varnix::link {

class Pause;
class SerialPort;

// The longest frame a transmission takes: its length is a signed 16-bit count.
constexpr int kMaxFrameLength = 32767;

// The pacing character: the field trimmed of blanks; nothing when that is
// not exactly one character (then no character matches and nothing pauses).
std::optional<QChar> pacingCharacter(const QString& waitchrText);
// The pacing delay in whole milliseconds from the field's leading number,
// rounded half to even; a negative delay counts as 0. Nothing when it does not
// fit a signed 32-bit value, so the longest delay a frame is sent with is:
constexpr std::int32_t kLongestPacingDelayMs = std::numeric_limits<std::int32_t>::max();
std::optional<std::int32_t> pacingDelay(const QString& xmitdelayText);
// The text without trailing blanks: what a transmission puts on the line.
QString withoutTrailingBlanks(const QString& text);
bool isBlank(const QString& text);

struct Progress {
    int sent = 0;
    int total = 0;
    std::int64_t millisecondsLeft = 0;
};

// Writes a frame one character at a time, waiting the pacing delay before
// each pacing character and nowhere else. It writes the frame as given, to
// its last character: dropping trailing blanks is the sender's business.
class Transmitter
{
public:
    enum class Outcome { Sent, Failed, Cancelled };

    Transmitter(SerialPort& port, Pause& pause) : m_port(port), m_pause(pause) {}

    // Frames longer than kMaxFrameLength fail before anything is written.
    Outcome transmit(const QString& frame, std::optional<QChar> pacing, std::int32_t delay,
                     const std::function<void(const Progress&)>& progress = {});
    // The same as a step of a coroutine, its pauses awaited (Pause::waiting).
    Task<Outcome> transmitting(QString frame, std::optional<QChar> pacing, std::int32_t delay,
                               std::function<void(const Progress&)> progress = {});
    // Stops a transmission in progress after the character being written,
    // also while that character waits for room in the device.
    void cancel();
    // The number of characters written by the last transmission.
    int written() const { return m_written; }

private:
    SerialPort& m_port;
    Pause& m_pause;
    bool m_cancelled = false;
    int m_written = 0;
};

} // namespace varnix::link

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/decoder.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <deque>
#include <functional>

namespace varnix::monitor {

// The local date of a time in milliseconds since the epoch.
QDate localDate(qint64 ms);

// A time of an event: the local time of day to the millisecond
// ("21:36:12.345"), or seconds from the start ("12.345") where a source
// has no clock.
QString timeText(qint64 ms, bool timesOfDay);

// ">" from the host, "<" from the board, "*" a note.
QChar directionMark(Direction direction);

// An event as one line: its number, time, direction, bytes, meaning and
// verdict, two blanks apart; what the command line prints and Copy copies.
QString eventLine(const Event& event, bool timesOfDay);

// An event as one line of JSON, with its parameters by name.
QByteArray eventJson(const Event& event, bool timesOfDay);

// "12 frames, 1 refused, 345 bytes from the host, 120 from the board",
// with the frames unanswered or answered otherwise, the notes, and the
// frame left unfinished where there are any.
QString countsText(const Decoder::Counts& counts);

// Events held back from the first frame still awaiting the board's answer,
// so that the line printed for a frame can say what the board answered:
// each is let go, in order, once it and every frame before it has its
// answer or waits no more. At most kMostHeld are held.
class HeldEvents
{
public:
    static constexpr qsizetype kMostHeld = 4096;

    explicit HeldEvents(std::function<void(const Event&)> release) : m_release(std::move(release)) {}

    void take(const Event& event);
    void take(const BoardReply& reply);
    // Lets everything go, as it stands.
    void releaseAll();

private:
    void release();

    std::function<void(const Event&)> m_release;
    std::deque<Event> m_held;
};

} // namespace varnix::monitor

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/decoder.h"

#include <QByteArray>
#include <QDate>
#include <QString>

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

// "12 frames, 1 refused, 345 bytes from the host, 120 from the board".
QString countsText(const Decoder::Counts& counts);

} // namespace varnix::monitor

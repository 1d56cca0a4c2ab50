// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "monitor/core/decoder.h"

#include <QByteArray>

#include <algorithm>
#include <deque>
#include <vector>

namespace varnix::monitor {

// The events a window shows, each with the display as it stood after it,
// kept to a limit as the receive window keeps its text: past the limit and a
// margin, the oldest go until the limit is met. The displays are kept as the
// bytes each event changed, with a whole display now and then, so an event
// costs its own bytes and little more.
class EventTable
{
public:
    static constexpr qsizetype kDefaultLimit = 50'000;
    // The bytes the events hold, at most, beyond which the oldest go too.
    static constexpr qsizetype kMostBytes = 32 * 1024 * 1024;

    void setLimit(qsizetype events) { m_limit = std::max<qsizetype>(events, kBlock); }
    qsizetype limit() const { return m_limit; }

    // Adds an event and the display after it; nothing goes before trim().
    void append(const Event& event, const board::Display& after);
    // The board's answer to a frame the table holds: its row, or -1 when it
    // holds it no more.
    qsizetype take(const BoardReply& reply);
    // Lets the oldest go while there are too many: how many went (from the
    // front).
    qsizetype trim();
    void clear();

    qsizetype size() const { return qsizetype(m_events.size()); }
    const Event& at(qsizetype index) const { return m_events[std::size_t(index)]; }
    board::Display displayAfter(qsizetype index) const;
    // Events that went for the limit, in all.
    qint64 dropped() const { return m_dropped; }

private:
    // Events in blocks of this many: the first one's display whole, the
    // others' as what changed.
    static constexpr qsizetype kBlock = 64;
    struct Block {
        board::Display first;
        std::vector<QByteArray> changes;
    };

    std::deque<Event> m_events;
    std::deque<Block> m_blocks;
    board::Display m_last;
    qsizetype m_limit = kDefaultLimit;
    qsizetype m_bytes = 0;
    qint64 m_dropped = 0;
};

} // namespace varnix::monitor

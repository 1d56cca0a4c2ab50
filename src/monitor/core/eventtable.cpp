// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/eventtable.h"

namespace varnix::monitor {

void EventTable::append(const Event& event, const board::Display& after)
{
    if (m_events.size() % kBlock == 0) {
        m_blocks.push_back(Block{after, {}});
    } else {
        // Each changed byte as its place (two bytes) and its value.
        QByteArray changes;
        for (int row = 0; row < board::Display::rows; ++row) {
            for (int column = 0; column < board::Display::width; ++column) {
                const quint8 value = after.byteAt(column, row);
                if (value == m_last.byteAt(column, row))
                    continue;
                const int place = row * board::Display::width + column;
                changes += char(place & 0xff);
                changes += char(place >> 8);
                changes += char(value);
            }
        }
        m_blocks.back().changes.push_back(changes);
    }
    m_last = after;
    m_events.push_back(event);
    m_bytes += event.bytes.size();
}

qsizetype EventTable::take(const BoardReply& reply)
{
    // The events are numbered one after another.
    if (m_events.empty() || reply.frame < m_events.front().number)
        return -1;
    const qint64 row = reply.frame - m_events.front().number;
    if (row >= size())
        return -1;
    m_events[std::size_t(row)].take(reply);
    return qsizetype(row);
}

qsizetype EventTable::trim()
{
    const qsizetype margin = m_limit / 8;
    if (size() <= m_limit + margin && m_bytes <= kMostBytes)
        return 0;
    qsizetype gone = 0;
    // Whole blocks, while there are more than the limit or too many bytes.
    while (m_blocks.size() > 1 && (size() > m_limit || m_bytes > kMostBytes)) {
        for (qsizetype i = 0; i < kBlock; ++i) {
            m_bytes -= m_events.front().bytes.size();
            m_events.pop_front();
        }
        m_blocks.pop_front();
        gone += kBlock;
    }
    m_dropped += gone;
    return gone;
}

void EventTable::clear()
{
    m_events.clear();
    m_blocks.clear();
    m_last = {};
    m_bytes = 0;
    m_dropped = 0;
}

board::Display EventTable::displayAfter(qsizetype index) const
{
    const Block& block = m_blocks[std::size_t(index / kBlock)];
    board::Display display = block.first;
    for (qsizetype i = 0; i < index % kBlock; ++i) {
        const QByteArray& changes = block.changes[std::size_t(i)];
        for (qsizetype at = 0; at + 2 < changes.size(); at += 3) {
            const int place = quint8(changes[at]) | quint8(changes[at + 1]) << 8;
            display.setByte(place % board::Display::width, place / board::Display::width, quint8(changes[at + 2]));
        }
    }
    return display;
}

} // namespace varnix::monitor

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/liveplan.h"

#include "board/displaycheck.h"
#include "protocol/frames.h"

#include <algorithm>

namespace varnix::editor {

namespace {

using board::Display;

// A frame the screen sends, with what it covers.
struct Entry {
    QString frame;
    int delay = 0;
    Display footprint;
    bool everything = false; // it clears or fills the whole display
};

bool overlaps(const Display& a, const Display& b)
{
    for (int row = 0; row < Display::rows; ++row)
        for (int column = 0; column < Display::width; ++column)
            if (a.byteAt(column, row) & b.byteAt(column, row))
                return true;
    return false;
}

Display differing(const Display& a, const Display& b)
{
    Display out;
    for (int row = 0; row < Display::rows; ++row)
        for (int column = 0; column < Display::width; ++column)
            out.setByte(column, row, a.byteAt(column, row) ^ b.byteAt(column, row));
    return out;
}

Display full()
{
    Display out;
    for (int row = 0; row < Display::rows; ++row)
        for (int column = 0; column < Display::width; ++column)
            out.setByte(column, row, 0xff);
    return out;
}

// The frames of the screen that draw, each with the delay in force.
QList<Entry> entriesOf(const Screen& screen, int startDelay)
{
    QList<Entry> entries;
    int delay = startDelay;
    const QString clear = protocol::clearDisplayFrame().frame;
    for (const Item& item : screen.items()) {
        if (!item.isObject() && item.kept == Kept::Step && item.step.kind == script::Step::Kind::Delay)
            delay = item.step.milliseconds;
        if (!item.draws())
            continue;
        Entry entry{item.frame, delay, {}, false};
        if (item.isObject()) {
            entry.footprint = footprint(*item.shape);
            entry.everything = item.shape->kind == Kind::Fill;
        } else {
            entry.footprint = board::drawn({item.frame}, clearBoard()).display();
            entry.everything = item.frame.contains(clear);
            // Reads and the EEPROM's frames leave the display alone, and the
            // board need not be sent them again.
            if (!entry.everything && entry.footprint == Display())
                continue;
        }
        if (entry.everything)
            entry.footprint = full();
        entries << entry;
    }
    return entries;
}

LivePlan planOf(LivePlan::Way way, const QList<LiveFrame>& frames, const LineCost& cost)
{
    LivePlan plan{way, frames, 0, 0};
    for (const LiveFrame& frame : frames) {
        plan.microseconds += cost.microseconds(frame.frame, frame.delay);
        plan.characters += frame.frame.size();
    }
    return plan;
}

QList<LiveFrame> blockFrames(const QStringList& blocks, const LineCost& cost)
{
    QList<LiveFrame> frames;
    for (const QString& block : blocks)
        frames << LiveFrame{block, cost.blockDelay()};
    return frames;
}

bool cheaper(const LivePlan& a, const LivePlan& b)
{
    return a.microseconds != b.microseconds ? a.microseconds < b.microseconds : a.characters < b.characters;
}

} // namespace

std::int64_t LineCost::microseconds(const QString& frame, int delayMs) const
{
    const std::int64_t paced = pacing ? frame.count(*pacing) : 0;
    const std::int64_t line = baudRate > 0 ? std::int64_t(frame.size()) * 10 * 1'000'000 / baudRate : 0;
    return line + paced * delayMs * 1000;
}

QStringList fixBlocks(const Display& now, const Display& target, const LineCost& cost)
{
    // A byte more in a block against a block more: join runs across gaps
    // that cost less than a block's own corners.
    const std::int64_t perByte = cost.microseconds(QStringLiteral("]00"), cost.blockDelay());
    const std::int64_t perBlock = cost.microseconds(QStringLiteral("]m]00000000"), cost.blockDelay());
    struct Run {
        int first, last, top, bottom;
    };
    QList<Run> runs;
    for (int row = 0; row < Display::rows; ++row) {
        std::optional<Run> run;
        for (int column = 0; column < Display::width; ++column) {
            if (now.byteAt(column, row) == target.byteAt(column, row))
                continue;
            if (run && std::int64_t(column - run->last - 1) * perByte <= perBlock) {
                run->last = column;
                continue;
            }
            if (run)
                runs << *run;
            run = Run{column, column, row, row};
        }
        if (run)
            runs << *run;
    }
    // The same run on the next row down goes into the same block.
    QList<Run> joined;
    for (const Run& run : runs) {
        auto above = std::find_if(joined.begin(), joined.end(), [&](const Run& r) {
            return r.first == run.first && r.last == run.last && r.bottom == run.top - 1;
        });
        if (above != joined.end())
            above->bottom = run.top;
        else
            joined << run;
    }
    QStringList frames;
    for (const Run& run : joined) {
        Shape block;
        block.kind = Kind::Block;
        block.n = {run.first, run.last, run.top, run.bottom};
        for (int row = run.top; row <= run.bottom; ++row)
            for (int column = run.first; column <= run.last; ++column)
                block.bytes += char(target.byteAt(column, row));
        frames << frameOf(block);
    }
    return frames;
}

LivePlan livePlan(const Display& board, const Screen& screen, const LineCost& cost)
{
    const QList<Entry> entries = entriesOf(screen, cost.delay);
    const Display target = screen.drawn().display();
    if (board == target)
        return {};

    // The objects whose dots differ, and after them those that overlap
    // what is drawn again.
    const Display changed = differing(board, target);
    Display redrawnArea;
    QList<LiveFrame> objects;
    QStringList redrawn;
    for (const Entry& entry : entries) {
        // What clears or fills the whole display would bring all after it
        // along: the blocks mend its part instead.
        if (entry.everything
            || (!overlaps(entry.footprint, changed) && !overlaps(entry.footprint, redrawnArea)))
            continue;
        objects << LiveFrame{entry.frame, entry.delay};
        redrawn << entry.frame;
        for (int row = 0; row < Display::rows; ++row)
            for (int column = 0; column < Display::width; ++column)
                redrawnArea.setByte(column, row, redrawnArea.byteAt(column, row) | entry.footprint.byteAt(column, row));
    }
    board::Firmware after = clearBoard();
    after.setDisplay(board);
    after = board::drawn(redrawn, after);
    const QStringList mending = fixBlocks(after.display(), target, cost);
    objects << blockFrames(mending, cost);
    const LivePlan incremental = planOf(LivePlan::Way::Objects, objects, cost);
    // The objects' own frames when they suffice: nothing else is sent.
    if (mending.isEmpty())
        return incremental;

    // Otherwise the cheapest of that, display blocks alone, and the whole
    // screen from a clear display.
    QList<LiveFrame> whole;
    const QString clear = protocol::clearDisplayFrame().frame;
    if (entries.isEmpty() || entries.front().frame != clear)
        whole << LiveFrame{clear, cost.delay};
    for (const Entry& entry : entries)
        whole << LiveFrame{entry.frame, entry.delay};
    LivePlan best = planOf(LivePlan::Way::WholeScreen, whole, cost);
    const LivePlan blocks = planOf(LivePlan::Way::Blocks, blockFrames(fixBlocks(board, target, cost), cost), cost);
    if (cheaper(blocks, best))
        best = blocks;
    if (cheaper(incremental, best))
        best = incremental;
    return best;
}

} // namespace varnix::editor

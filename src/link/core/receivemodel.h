// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace varnix::link {

// What the receive window holds: the received text (line ends as
// normaliseLineEnds() leaves them, one character a byte), where each line
// starts and when its first character arrived. The window's text view, its
// times margin and its hex dump all show this one model, so they keep the
// same limit: past it the oldest lines go and a first line says how many
// characters went (see protocol::limitCut()).
//
// A line ends at each CR LF; its time is in milliseconds since the epoch,
// kNoTime for text that was set rather than received (and the line that
// tells of the dropped text).
// A line's time (milliseconds since the epoch) as the time of day in a zone
// offsetMs ahead of UTC, "HH:mm:ss.zzz", as the times margin shows it: made
// digit by digit, since formatting a QDateTime for every line in view cost
// more than drawing it.
QString clockText(qint64 msSinceEpoch, qint64 offsetMs);

class ReceiveModel
{
public:
    static constexpr qint64 kNoTime = -1;
    static constexpr int kHexRowBytes = 16;

    // The front of the text changed: `cut` characters went and `notice`
    // characters (the dropped line) stand in their place.
    struct Cut {
        qsizetype cut = 0;
        qsizetype notice = 0;
    };

    void setLimit(qsizetype characters) { m_limit = characters; }
    qsizetype limit() const { return m_limit; }

    const QString& text() const { return m_text; }
    qint64 dropped() const { return m_dropped; }
    // How often the text's positions moved: it was set anew, emptied or cut
    // at the front. A position taken earlier still stands for the same
    // character while this stays the same.
    qint64 shifts() const { return m_shifts; }
    // Length of the line that tells of the dropped text, 0 while none went.
    qsizetype noticeSize() const;

    // The whole text anew, as it stands (the limit is not applied), after
    // `dropped` characters that went before it; its lines have no time.
    void set(const QString& text, qint64 dropped = 0);
    // Text that arrived at `time`.
    Cut append(QStringView more, qint64 time);
    // Drops all but the line that tells how much went, counting `unseen`
    // characters more that went without being held (see TextArea::dropAll).
    void dropAll(qint64 unseen);

    qsizetype lineCount() const { return qsizetype(m_lines.size()); }
    qsizetype lineStart(qsizetype line) const { return m_lines[std::size_t(line)].start; }
    qint64 lineTime(qsizetype line) const;
    // The line a character position lies on.
    qsizetype lineOf(qsizetype position) const;

    // The hex dump: offset, 16 bytes in hex, and the same bytes as text with
    // every byte that is not printable ASCII as a dot.
    qsizetype hexRowCount() const { return (m_text.size() + kHexRowBytes - 1) / kHexRowBytes; }
    QString hexRow(qsizetype row) const;
    // Where byte `offset` of its row stands in hexRow()'s text, in hex and
    // in the text column.
    static qsizetype hexColumn(int offset);
    static qsizetype textColumn(int offset);

private:
    struct Line {
        qsizetype start;
        qint64 time;
    };
    Cut keepLimit();
    void addLines(qsizetype from, qint64 time);

    QString m_text;
    std::vector<Line> m_lines;
    qsizetype m_limit = 0;
    qint64 m_dropped = 0;
    qint64 m_shifts = 0;
    QString m_notice;
};

// A search of the receive model, kept up as text arrives and goes. Matches
// do not overlap; the line that tells of dropped text is not searched.
//
// A full window holds a million characters, and a query of one letter may
// match hundreds of thousands of them: the search goes through the text in
// slices (searchSome()), between which the window sees to its events, and
// says while it goes that there are at least so many matches. Text that
// arrives once the search is through is searched as it comes.
class ReceiveSearch
{
public:
    // How the query was read: as the text typed, or as the bytes its hex
    // pairs stand for.
    enum class Reading { Text, Bytes };
    // What a slice of the search looks through, in characters: a few
    // milliseconds' work at most.
    static constexpr qsizetype kSlice = 256 * 1024;

    // What to look for: text, or in hex mode bytes written as hex pairs
    // ("0d 0a", "0d0a"). Hex pairs are also text ("7f41" may have arrived
    // as those four characters): the bytes are shown when any are found,
    // otherwise the text when it is. The current match becomes the first at
    // or after `near` once the search has come that far. Nothing is searched
    // yet.
    void setQuery(const ReceiveModel& model, const QString& query, Qt::CaseSensitivity cs, bool hex,
                  qsizetype near = 0);
    void clear();
    // The model changed: after set() (all anew: the search starts again),
    // or after append(), which cut the text as told.
    void textSet(const ReceiveModel& model);
    void textAppended(const ReceiveModel& model, ReceiveModel::Cut cut);
    // Searches on through at most `characters` more of the text (for each
    // reading); true when the current match changed.
    bool searchSome(const ReceiveModel& model, qsizetype characters = kSlice);
    // The whole text has been searched.
    bool complete() const;

    // The matches of the reading in use, so far.
    const std::vector<qsizetype>& matches() const { return shown().matches; }
    qsizetype length() const { return shown().needle.size(); }
    Reading reading() const { return shown().reading; }
    // -1 when there is no match, or none found yet at or after where the
    // search was asked to start.
    qsizetype current() const { return shown().current; }
    // A step to the next or previous match; one that needs more of the text
    // searched (past the last match found, or around from the first to the
    // last) is taken once the search has come that far. true when the
    // current match changed now.
    bool next();
    bool previous();
    // "3 of 17", "no match", or empty while nothing is looked for; in hex
    // mode with the reading: "1 of 2 matches as bytes", "no match as text".
    // While the search goes on: "3 of at least 10,000 matches…",
    // "at least 1 match as bytes…", "searching…".
    QString countText() const;
    bool active() const { return !m_passes.empty(); }

    // The bytes a hex query stands for; none when it is not hex pairs.
    static std::optional<QString> hexBytes(QStringView query);

private:
    // One reading of the query and what it finds.
    struct Pass {
        QString needle;
        Qt::CaseSensitivity cs = Qt::CaseSensitive;
        Reading reading = Reading::Text;
        std::vector<qsizetype> matches;
        qsizetype current = -1;
        // Where the search goes on: every match that begins before it has
        // been found.
        qsizetype from = 0;
        // The search has come to the end of the text; what arrives is
        // searched as it comes.
        bool done = false;

        void restart(const ReceiveModel& model);
        // true when it made the match at or after `near` the current one.
        bool searchSome(const ReceiveModel& model, qsizetype characters, qsizetype near);
        void textCut(ReceiveModel::Cut cut);
    };
    // The reading in use: the first that finds anything, else the first.
    std::size_t shownIndex() const;
    const Pass& shown() const;
    // Takes the steps asked for that can be taken now.
    bool takeSteps();

    // The bytes first when the query is hex pairs in hex mode, then the text.
    std::vector<Pass> m_passes;
    bool m_hex = false;
    qsizetype m_near = 0;
    // Steps asked for and not yet taken: forward when positive.
    int m_steps = 0;
};

} // namespace varnix::link

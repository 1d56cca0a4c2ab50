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
    QString m_notice;
};

// A search of the receive model, kept up as text arrives and goes. Matches
// do not overlap; the line that tells of dropped text is not searched.
class ReceiveSearch
{
public:
    // How the query was read: as the text typed, or as the bytes its hex
    // pairs stand for.
    enum class Reading { Text, Bytes };

    // What to look for: text, or in hex mode bytes written as hex pairs
    // ("0d 0a", "0d0a"). Hex pairs are also text ("7f41" may have arrived
    // as those four characters): the bytes are shown when any are found,
    // otherwise the text when it is. The current match becomes the first at
    // or after `near`.
    void setQuery(const ReceiveModel& model, const QString& query, Qt::CaseSensitivity cs, bool hex,
                  qsizetype near = 0);
    void clear();
    // The model changed: after set() (all anew), or after append() that
    // grew the text from `oldSize` characters and cut it as told.
    void textSet(const ReceiveModel& model);
    void textAppended(const ReceiveModel& model, qsizetype oldSize, ReceiveModel::Cut cut);

    // The matches of the reading in use.
    const std::vector<qsizetype>& matches() const { return shown().matches; }
    qsizetype length() const { return shown().needle.size(); }
    Reading reading() const { return shown().reading; }
    // -1 when there is no match.
    qsizetype current() const { return shown().current; }
    void next();
    void previous();
    // "3 of 17", "no match", or empty while nothing is looked for; in hex
    // mode with the reading: "1 of 2 matches as bytes", "no match as text".
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

        void scan(const QString& text, qsizetype from);
        void textSet(const ReceiveModel& model);
        void textAppended(const ReceiveModel& model, qsizetype oldSize, ReceiveModel::Cut cut);
    };
    // The reading in use: the first that finds anything, else the first.
    std::size_t shownIndex() const;
    const Pass& shown() const;

    // The bytes first when the query is hex pairs in hex mode, then the text.
    std::vector<Pass> m_passes;
    bool m_hex = false;
};

} // namespace varnix::link

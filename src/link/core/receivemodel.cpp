// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/receivemodel.h"

#include "protocol/encodings.h"
#include "protocol/textlimit.h"

#include <algorithm>

namespace varnix::link {

namespace {
constexpr int kTextColumn = 60;
} // namespace

QString clockText(qint64 msSinceEpoch, qint64 offsetMs)
{
    constexpr qint64 kDayMs = 24 * 3600 * 1000;
    const qint64 ms = ((msSinceEpoch + offsetMs) % kDayMs + kDayMs) % kDayMs;
    QString text(12, u':');
    const auto put = [&text](int at, qint64 value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = QChar(char16_t(u'0' + value % 10));
    };
    put(0, ms / 3600000, 2);
    put(3, ms / 60000 % 60, 2);
    put(6, ms / 1000 % 60, 2);
    text[8] = u'.';
    put(9, ms % 1000, 3);
    return text;
}

qsizetype ReceiveModel::noticeSize() const
{
    return !m_notice.isEmpty() && m_text.startsWith(m_notice) ? m_notice.size() : 0;
}

void ReceiveModel::set(const QString& text, qint64 dropped)
{
    m_text = text;
    m_lines.clear();
    m_dropped = dropped;
    m_notice = dropped > 0 ? protocol::droppedNotice(dropped) : QString();
    addLines(0, kNoTime);
}

ReceiveModel::Cut ReceiveModel::append(QStringView more, qint64 time)
{
    const qsizetype oldSize = m_text.size();
    m_text += more;
    addLines(oldSize, time);
    return keepLimit();
}

void ReceiveModel::dropAll(qint64 unseen)
{
    m_dropped += m_text.size() - noticeSize() + unseen;
    m_notice = protocol::droppedNotice(m_dropped);
    m_text = m_notice;
    m_lines.assign(1, Line{0, kNoTime});
}

void ReceiveModel::addLines(qsizetype from, qint64 time)
{
    if (m_text.size() <= from)
        return;
    if (m_lines.empty())
        m_lines.push_back({0, time});
    // A CR at the end of the text before and an LF now make a break too.
    const QStringView text(m_text);
    for (qsizetype at = text.indexOf(u"\r\n", std::max<qsizetype>(0, from - 2)); at >= 0;
         at = text.indexOf(u"\r\n", at + 2)) {
        const qsizetype start = at + 2;
        // A line begins with its first character, not with the break before.
        if (start < m_text.size() && start > m_lines.back().start)
            m_lines.push_back({start, time});
    }
}

ReceiveModel::Cut ReceiveModel::keepLimit()
{
    const qsizetype oldNotice = noticeSize();
    const qsizetype cut = protocol::limitCut(m_text, oldNotice, m_limit);
    if (cut == 0)
        return {};
    m_dropped += cut - oldNotice;
    m_notice = protocol::droppedNotice(m_dropped);
    m_text.replace(0, cut, m_notice);
    // The lines that went go with their times; a line cut inside keeps its
    // time for what is left of it.
    auto kept = std::upper_bound(m_lines.begin(), m_lines.end(), cut,
                                 [](qsizetype position, const Line& line) { return position < line.start; });
    const qint64 partialTime = (kept - 1)->time;
    m_lines.erase(m_lines.begin(), kept);
    const qsizetype shift = m_notice.size() - cut;
    for (Line& line : m_lines)
        line.start += shift;
    m_lines.insert(m_lines.begin(), {Line{0, kNoTime}, Line{m_notice.size(), partialTime}});
    return {cut, m_notice.size()};
}

qint64 ReceiveModel::lineTime(qsizetype line) const
{
    return line >= 0 && line < lineCount() ? m_lines[std::size_t(line)].time : kNoTime;
}

qsizetype ReceiveModel::lineOf(qsizetype position) const
{
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), position,
                                        [](qsizetype p, const Line& line) { return p < line.start; });
    return std::max<qsizetype>(0, (after - m_lines.begin()) - 1);
}

qsizetype ReceiveModel::hexColumn(int offset)
{
    return 10 + offset * 3 + (offset >= kHexRowBytes / 2 ? 1 : 0);
}

qsizetype ReceiveModel::textColumn(int offset)
{
    return kTextColumn + offset;
}

QString ReceiveModel::hexRow(qsizetype row) const
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const qsizetype first = row * kHexRowBytes;
    const qsizetype count = std::min<qsizetype>(kHexRowBytes, m_text.size() - first);
    QString out(kTextColumn + count, u' ');
    for (int shift = 28, i = 0; shift >= 0; shift -= 4, ++i)
        out[i] = QChar(kDigits[(first >> shift) & 0xf]);
    for (int i = 0; i < count; ++i) {
        const char16_t c = m_text[first + i].unicode();
        const int byte = c & 0xff;
        out[hexColumn(i)] = QChar(kDigits[byte >> 4]);
        out[hexColumn(i) + 1] = QChar(kDigits[byte & 0xf]);
        out[textColumn(i)] = c >= 0x20 && c < 0x7f ? QChar(c) : QChar(u'.');
    }
    return out;
}

void ReceiveSearch::setQuery(const ReceiveModel& model, const QString& query, Qt::CaseSensitivity cs, bool hex,
                             qsizetype near)
{
    m_passes.clear();
    m_hex = hex;
    if (query.isEmpty())
        return;
    if (const std::optional<QString> bytes = hex ? hexBytes(query) : std::nullopt)
        m_passes.push_back({*bytes, Qt::CaseSensitive, Reading::Bytes, {}, -1});
    m_passes.push_back({query, cs, Reading::Text, {}, -1});
    for (Pass& pass : m_passes) {
        pass.textSet(model);
        const auto at = std::lower_bound(pass.matches.begin(), pass.matches.end(), near);
        if (at != pass.matches.end())
            pass.current = qsizetype(at - pass.matches.begin());
    }
}

void ReceiveSearch::clear()
{
    m_passes.clear();
}

void ReceiveSearch::textSet(const ReceiveModel& model)
{
    for (Pass& pass : m_passes)
        pass.textSet(model);
}

void ReceiveSearch::textAppended(const ReceiveModel& model, qsizetype oldSize, ReceiveModel::Cut cut)
{
    for (Pass& pass : m_passes)
        pass.textAppended(model, oldSize, cut);
}

std::size_t ReceiveSearch::shownIndex() const
{
    for (std::size_t i = 0; i < m_passes.size(); ++i)
        if (!m_passes[i].matches.empty())
            return i;
    return 0;
}

const ReceiveSearch::Pass& ReceiveSearch::shown() const
{
    static const Pass kNone;
    return m_passes.empty() ? kNone : m_passes[shownIndex()];
}

void ReceiveSearch::Pass::textSet(const ReceiveModel& model)
{
    matches.clear();
    scan(model.text(), model.noticeSize());
    current = matches.empty() ? -1 : 0;
}

void ReceiveSearch::Pass::textAppended(const ReceiveModel& model, qsizetype oldSize, ReceiveModel::Cut cut)
{
    qsizetype scanFrom = oldSize - needle.size() + 1;
    if (cut.cut > 0) {
        // Matches in the text that went go with it; the current one, if it
        // went, becomes the first that is left.
        const auto kept = std::lower_bound(matches.begin(), matches.end(), cut.cut);
        const qsizetype gone = kept - matches.begin();
        matches.erase(matches.begin(), kept);
        for (qsizetype& match : matches)
            match += cut.notice - cut.cut;
        current = std::max<qsizetype>(current - gone, 0);
        scanFrom += cut.notice - cut.cut;
    }
    // A match may end in the new text yet begin in the old, not before the
    // last match found.
    if (!matches.empty())
        scanFrom = std::max(scanFrom, matches.back() + needle.size());
    scan(model.text(), std::max(scanFrom, model.noticeSize()));
    if (matches.empty())
        current = -1;
    else if (current < 0)
        current = 0;
}

void ReceiveSearch::Pass::scan(const QString& text, qsizetype from)
{
    for (qsizetype at = text.indexOf(needle, from, cs); at >= 0; at = text.indexOf(needle, at + needle.size(), cs))
        matches.push_back(at);
}

void ReceiveSearch::next()
{
    if (m_passes.empty())
        return;
    Pass& pass = m_passes[shownIndex()];
    if (!pass.matches.empty())
        pass.current = (pass.current + 1) % qsizetype(pass.matches.size());
}

void ReceiveSearch::previous()
{
    if (m_passes.empty())
        return;
    Pass& pass = m_passes[shownIndex()];
    if (!pass.matches.empty())
        pass.current = (pass.current + qsizetype(pass.matches.size()) - 1) % qsizetype(pass.matches.size());
}

QString ReceiveSearch::countText() const
{
    if (!active())
        return QString();
    const Pass& pass = shown();
    if (!m_hex) {
        if (pass.matches.empty())
            return QStringLiteral("no match");
        return QStringLiteral("%1 of %2").arg(pass.current + 1).arg(pass.matches.size());
    }
    if (pass.matches.empty())
        return m_passes.size() > 1 ? QStringLiteral("no match as bytes or as text") : QStringLiteral("no match as text");
    const QString as = pass.reading == Reading::Bytes ? QStringLiteral("as bytes") : QStringLiteral("as text");
    return QStringLiteral("%1 of %2 %3 %4")
        .arg(pass.current + 1)
        .arg(pass.matches.size())
        .arg(pass.matches.size() == 1 ? QStringLiteral("match") : QStringLiteral("matches"), as);
}

std::optional<QString> ReceiveSearch::hexBytes(QStringView query)
{
    QString digits;
    for (const QChar c : query) {
        if (c == u' ')
            continue;
        if (protocol::hexDigitValue(c.unicode()) < 0)
            return std::nullopt;
        digits += c;
    }
    if (digits.isEmpty() || digits.size() % 2 != 0)
        return std::nullopt;
    QString bytes;
    for (qsizetype i = 0; i < digits.size(); i += 2)
        bytes += QChar(char16_t(protocol::hexDigitValue(digits[i].unicode()) * 16
                                + protocol::hexDigitValue(digits[i + 1].unicode())));
    return bytes;
}

} // namespace varnix::link

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
    ++m_shifts;
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
    ++m_shifts;
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
    ++m_shifts;
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
    m_near = near;
    m_steps = 0;
    if (query.isEmpty())
        return;
    const auto add = [&](const QString& needle, Qt::CaseSensitivity sensitivity, Reading reading) {
        Pass& pass = m_passes.emplace_back();
        pass.needle = needle;
        pass.cs = sensitivity;
        pass.reading = reading;
        pass.restart(model);
    };
    if (const std::optional<QString> bytes = hex ? hexBytes(query) : std::nullopt)
        add(*bytes, Qt::CaseSensitive, Reading::Bytes);
    add(query, cs, Reading::Text);
}

void ReceiveSearch::clear()
{
    m_passes.clear();
}

void ReceiveSearch::textSet(const ReceiveModel& model)
{
    m_near = 0;
    m_steps = 0;
    for (Pass& pass : m_passes)
        pass.restart(model);
}

void ReceiveSearch::textAppended(const ReceiveModel& model, ReceiveModel::Cut cut)
{
    if (cut.cut > 0)
        m_near = std::max(m_near - cut.cut, qsizetype(0)) + cut.notice;
    for (Pass& pass : m_passes) {
        pass.textCut(cut);
        // What arrives after the search came through is searched at once,
        // at a cost in proportion to it.
        if (pass.done)
            pass.searchSome(model, model.text().size(), m_near);
    }
    takeSteps();
}

bool ReceiveSearch::searchSome(const ReceiveModel& model, qsizetype characters)
{
    const std::size_t before = shownIndex();
    const qsizetype beforeCurrent = current();
    for (Pass& pass : m_passes)
        if (!pass.done)
            pass.searchSome(model, characters, m_near);
    takeSteps();
    return shownIndex() != before || current() != beforeCurrent;
}

bool ReceiveSearch::complete() const
{
    return std::all_of(m_passes.begin(), m_passes.end(), [](const Pass& pass) { return pass.done; });
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

void ReceiveSearch::Pass::restart(const ReceiveModel& model)
{
    matches.clear();
    current = -1;
    from = model.noticeSize();
    done = false;
}

bool ReceiveSearch::Pass::searchSome(const ReceiveModel& model, qsizetype characters, qsizetype near)
{
    const QString& text = model.text();
    // A match found begins within the slice, though it may end past it.
    const qsizetype end = std::min(text.size(), from + std::min(characters, text.size()) + needle.size() - 1);
    const QStringView slice = QStringView(text).first(end);
    const bool undecided = current < 0;
    for (qsizetype at = slice.indexOf(needle, from, cs); at >= 0; at = slice.indexOf(needle, from, cs)) {
        if (current < 0 && at >= near)
            current = qsizetype(matches.size());
        matches.push_back(at);
        from = at + needle.size();
    }
    from = std::max(from, end - needle.size() + 1);
    done = end == text.size();
    // None at or after where the search began: the first of all is current.
    if (done && current < 0 && !matches.empty())
        current = 0;
    return undecided && current >= 0;
}

void ReceiveSearch::Pass::textCut(ReceiveModel::Cut cut)
{
    if (cut.cut == 0)
        return;
    // Matches in the text that went go with it; the current one, if it
    // went, becomes the first that is left.
    const auto kept = std::lower_bound(matches.begin(), matches.end(), cut.cut);
    const qsizetype gone = kept - matches.begin();
    matches.erase(matches.begin(), kept);
    for (qsizetype& match : matches)
        match += cut.notice - cut.cut;
    current = matches.empty() ? -1 : current >= 0 ? std::max<qsizetype>(current - gone, 0) : -1;
    from = std::max(from - cut.cut, qsizetype(0)) + cut.notice;
}

bool ReceiveSearch::takeSteps()
{
    if (m_passes.empty()) {
        m_steps = 0;
        return false;
    }
    Pass& pass = m_passes[shownIndex()];
    const qsizetype count = qsizetype(pass.matches.size());
    bool moved = false;
    while (m_steps != 0) {
        // No current match yet: the search has not come as far as where it
        // began; once through, there is none to go to.
        if (pass.current < 0) {
            if (pass.done)
                m_steps = 0;
            break;
        }
        if (m_steps > 0) {
            // Around to the first only once there is no match after the last.
            if (pass.current + 1 < count)
                ++pass.current;
            else if (pass.done)
                pass.current = 0;
            else
                break;
            --m_steps;
        } else {
            if (pass.current > 0)
                --pass.current;
            else if (pass.done)
                pass.current = count - 1;
            else
                break;
            ++m_steps;
        }
        moved = true;
    }
    return moved;
}

bool ReceiveSearch::next()
{
    ++m_steps;
    return takeSteps();
}

bool ReceiveSearch::previous()
{
    --m_steps;
    return takeSteps();
}

QString ReceiveSearch::countText() const
{
    if (!active())
        return QString();
    const Pass& pass = shown();
    const qsizetype found = qsizetype(pass.matches.size());
    const QString as = !m_hex ? QString()
                       : pass.reading == Reading::Bytes ? QStringLiteral(" as bytes")
                                                         : QStringLiteral(" as text");
    if (!complete()) {
        if (found == 0)
            return QStringLiteral("searching\u2026");
        const QString atLeast = QStringLiteral("at least %1 %2%3\u2026")
                                    .arg(protocol::groupedCount(found),
                                         found == 1 ? QStringLiteral("match") : QStringLiteral("matches"), as);
        return pass.current < 0 ? atLeast : QStringLiteral("%1 of %2").arg(pass.current + 1).arg(atLeast);
    }
    if (!m_hex) {
        if (found == 0)
            return QStringLiteral("no match");
        return QStringLiteral("%1 of %2").arg(pass.current + 1).arg(found);
    }
    if (found == 0)
        return m_passes.size() > 1 ? QStringLiteral("no match as bytes or as text") : QStringLiteral("no match as text");
    return QStringLiteral("%1 of %2 %3%4")
        .arg(pass.current + 1)
        .arg(found)
        .arg(found == 1 ? QStringLiteral("match") : QStringLiteral("matches"), as);
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/exacttext.h"

#include "protocol/encodings.h"

namespace varnix {

namespace {
constexpr char16_t kParagraph = 0x2029;
constexpr char16_t kPictureBase = 0x2400;
constexpr char16_t kPictureDel = 0x2421;

bool isPicture(char16_t c) { return (c >= kPictureBase && c < kPictureBase + 0x20) || c == kPictureDel; }
} // namespace

QString ExactText::toShown(QStringView exact) const
{
    QString out;
    out.reserve(exact.size());
    for (qsizetype i = 0; i < exact.size(); ++i) {
        const char16_t c = exact[i].unicode();
        if (m_lines == Lines::Multi && c == u'\r' && i + 1 < exact.size() && exact[i + 1] == u'\n') {
            out += QChar(kParagraph);
            ++i;
        } else if (c == u'\t' && m_lines == Lines::Multi) {
            out += QChar(c);
        } else {
            out += protocol::controlPicture(QChar(c));
        }
    }
    return out;
}

QString ExactText::fromShown(QStringView shown) const
{
    QString out;
    out.reserve(shown.size());
    for (const QChar ch : shown) {
        const char16_t c = ch.unicode();
        if (c == kParagraph || c == 0x2028 || c == u'\n')
            out += m_lines == Lines::Multi ? QStringLiteral("\r\n") : QString();
        else if (c == kPictureDel)
            out += QChar(0x7f);
        else if (isPicture(c))
            out += QChar(char16_t(c - kPictureBase));
        else
            out += ch;
    }
    return out;
}

QString ExactText::shownPlain() const
{
    QString plain = m_shown;
    plain.replace(QChar(kParagraph), QChar(u'\n'));
    return plain;
}

void ExactText::set(const QString& text)
{
    m_text = text;
    m_shown = toShown(text);
}

QString ExactText::append(QStringView more, bool* dropLast)
{
    *dropLast = false;
    QString shown;
    if (m_lines == Lines::Multi && !more.isEmpty() && more.front() == u'\n' && m_text.endsWith(u'\r')) {
        *dropLast = true;
        m_shown.chop(1);
        shown = QChar(kParagraph) + toShown(more.mid(1));
    } else {
        shown = toShown(more);
    }
    m_text += more;
    m_shown += shown;
    return shown;
}

qsizetype ExactText::replaceFront(qsizetype count, const QString& replacement, QString* shownReplacement)
{
    // Every CR LF pair of what goes is one shown separator.
    const qsizetype pairs = m_lines == Lines::Multi ? QStringView(m_text).left(count).count(u"\r\n") : 0;
    const qsizetype shownCount = count - pairs;
    *shownReplacement = toShown(replacement);
    // Removing at the front only moves the strings' start, and the freed
    // room there takes the replacement.
    m_text.remove(0, count);
    m_text.prepend(replacement);
    m_shown.remove(0, shownCount);
    m_shown.prepend(*shownReplacement);
    // A text set far over the limit would otherwise keep its whole buffer.
    for (QString* kept : {&m_text, &m_shown})
        if (kept->capacity() > 2 * kept->size())
            kept->squeeze();
    return shownCount;
}

int ExactText::exactPosition(int shownPosition) const
{
    // Every separator stands for two exact characters, everything else for one.
    if (m_lines == Lines::Single)
        return shownPosition;
    const int separators = int(QStringView(m_shown).left(shownPosition).count(QChar(kParagraph)));
    return shownPosition + separators;
}

void ExactText::edited(const QString& newShown)
{
    const qsizetype oldSize = m_shown.size();
    const qsizetype newSize = newShown.size();
    const qsizetype limit = std::min(oldSize, newSize);
    qsizetype prefix = 0;
    while (prefix < limit && m_shown[prefix] == newShown[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix && m_shown[oldSize - 1 - suffix] == newShown[newSize - 1 - suffix])
        ++suffix;
    if (prefix == oldSize && prefix == newSize)
        return;

    const int from = exactPosition(int(prefix));
    const int to = exactPosition(int(oldSize - suffix));
    m_text.replace(from, to - from, fromShown(QStringView(newShown).mid(prefix, newSize - suffix - prefix)));
    m_shown = newShown;
}

} // namespace varnix

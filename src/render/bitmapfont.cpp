// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/bitmapfont.h"

#include "protocol/encodings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>

namespace varnix::render {

const BitmapGlyph* BitmapFont::byEncoding(std::uint32_t encoding) const
{
    const auto at = std::lower_bound(glyphs.begin(), glyphs.end(), encoding,
                                     [](const BitmapGlyph& g, std::uint32_t e) { return g.encoding < e; });
    return at != glyphs.end() && at->encoding == encoding ? &*at : nullptr;
}

const BitmapGlyph* BitmapFont::glyph(char32_t character) const
{
    const QString set = charset.section(u'-', 0, 0);
    const bool unicode = set.isEmpty() || set.compare(QLatin1String("ISO10646"), Qt::CaseInsensitive) == 0
        || set.compare(QLatin1String("FontSpecific"), Qt::CaseInsensitive) == 0
        || charset.compare(QLatin1String("ISO8859-1"), Qt::CaseInsensitive) == 0;
    if (!unicode && character >= 0x80)
        return nullptr;
    return byEncoding(std::uint32_t(character));
}

const BitmapGlyph& BitmapFont::drawn(char32_t character) const
{
    if (const BitmapGlyph* own = glyph(character))
        return *own;
    if (defaultChar)
        if (const BitmapGlyph* fallback = byEncoding(*defaultChar))
            return *fallback;
    return box;
}

void BitmapFont::finish()
{
    // The first of two glyphs with one encoding counts, as in a lookup that
    // reads the file from the top.
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const BitmapGlyph& a, const BitmapGlyph& b) { return a.encoding < b.encoding; });
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end(),
                             [](const BitmapGlyph& a, const BitmapGlyph& b) { return a.encoding == b.encoding; }),
                 glyphs.end());
    // As wide as the widest advance, within the line's height, standing on
    // the baseline: seen to be no letter.
    int advance = 0;
    for (const BitmapGlyph& g : glyphs)
        advance = std::max(advance, g.advance);
    const int lineHeight = std::max(ascent + descent, 3);
    advance = std::clamp(advance, 3, lineHeight);
    box = {0, advance, advance - 1, std::clamp(ascent, 2, lineHeight) - 1, 0, 0, bits.size()};
    const int rowBytes = box.rowBytes();
    for (int y = 0; y < box.height; ++y)
        for (int b = 0; b < rowBytes; ++b) {
            std::uint8_t row = 0;
            for (int x = b * 8; x < std::min(box.width, b * 8 + 8); ++x)
                if (y == 0 || y == box.height - 1 || x == 0 || x == box.width - 1)
                    row |= std::uint8_t(0x80 >> (x % 8));
            bits.push_back(row);
        }
}

namespace {

// A line's first words: a keyword and its values. No line of BDF has more
// than five values; what follows them is kept as `rest` for a property.
struct Words {
    std::array<std::string_view, 6> at;
    int count = 0;
    std::string_view rest; // the line after its keyword
    std::string_view line;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

Words split(std::string_view line)
{
    Words words;
    words.line = trimmed(line);
    std::size_t i = 0;
    while (words.count < int(words.at.size())) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        words.at[std::size_t(words.count++)] = line.substr(start, i - start);
        if (words.count == 1)
            words.rest = trimmed(line.substr(i));
    }
    return words;
}

QString word(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString quoted(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    const QString shown = QString::fromUtf8(text.data(), qsizetype(std::min(text.size(), kShown)));
    return QStringLiteral("\"%1%2\"").arg(shown, text.size() > kShown ? QStringLiteral("\u2026") : QString());
}

class BdfReader
{
public:
    BdfReader(QByteArrayView text, const QString& name) : m_text(text.data(), std::size_t(text.size()))
    {
        m_read.font.name = name;
    }

    BitmapFontRead read();

private:
    // The next line that is not blank nor a comment, split into words; false
    // at the end of the text or at a line too long, which sets the error.
    bool next();
    bool fail(const QString& what, int line = 0)
    {
        m_read.error = QStringLiteral("line %1: %2").arg(line ? line : m_number).arg(what);
        return false;
    }
    bool is(const char* keyword) const { return m_words.count > 0 && m_words.at[0] == keyword; }
    // The line's values as whole numbers, each from lo to hi; false (the
    // error set) when there are too few or one is no such number.
    bool numbers(int needed, int* values, int lo, int hi, const char* what);
    bool header();
    bool property();
    bool glyphs();
    bool glyph();
    bool bitmap(BitmapGlyph& glyph, std::string_view name);

    std::string_view m_text;
    std::size_t m_at = 0;
    int m_number = 0;
    Words m_words;
    BitmapFontRead m_read;
    std::optional<int> m_ascent, m_descent, m_defaultAdvance;
    std::optional<std::array<int, 4>> m_boundingBox;
    std::optional<int> m_defaultChar;
    QString m_registry, m_encoding;
};

bool BdfReader::next()
{
    while (m_at < m_text.size()) {
        ++m_number;
        const char* start = m_text.data() + m_at;
        const std::size_t left = m_text.size() - m_at;
        const std::size_t looked = std::min<std::size_t>(left, std::size_t(kLongestBdfLine) + 2);
        const auto* end = static_cast<const char*>(std::memchr(start, '\n', looked));
        const std::size_t length = end ? std::size_t(end - start) : left;
        if (length > std::size_t(kLongestBdfLine) + (length && start[length - 1] == '\r'))
            return fail(QStringLiteral("longer than %1 characters, which no line of a BDF font is").arg(kLongestBdfLine));
        m_at += length + (end ? 1 : 0);
        m_words = split(std::string_view(start, length));
        if (m_words.count > 0 && !is("COMMENT"))
            return true;
    }
    m_words = {};
    return false;
}

bool BdfReader::numbers(int needed, int* values, int lo, int hi, const char* what)
{
    const auto keyword = [this] { return word(m_words.at[0]); };
    if (m_words.count - 1 < needed)
        return fail(QStringLiteral("%1 needs %2 whole number%3").arg(keyword()).arg(needed).arg(needed > 1 ? "s" : ""));
    for (int i = 0; i < needed; ++i) {
        const std::string_view text = m_words.at[std::size_t(i + 1)];
        long long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size())
            return fail(QStringLiteral("%1 takes whole numbers, not %2").arg(keyword(), quoted(text)));
        if (value < lo || value > hi)
            return fail(QStringLiteral("%1 %2: %3 from %4 to %5")
                            .arg(keyword(), word(text), QString::fromLatin1(what))
                            .arg(lo)
                            .arg(hi));
        values[i] = int(value);
    }
    return true;
}

BitmapFontRead BdfReader::read()
{
    if (!next() && m_read.error.isEmpty())
        fail(QStringLiteral("the file is empty, not a BDF font"), 1);
    else if (m_read.error.isEmpty() && !is("STARTFONT"))
        fail(QStringLiteral("not a BDF font: it starts with %1, not STARTFONT").arg(quoted(m_words.at[0])));
    else if (m_read.error.isEmpty() && header() && glyphs()) {
        BitmapFont& font = m_read.font;
        font.charset = m_encoding.isEmpty() ? m_registry : m_registry + u'-' + m_encoding;
        // Without the properties, the font's bounding box says where its
        // lines lie, and without it the glyphs themselves.
        if (!m_ascent || !m_descent) {
            int ascent = 0, descent = 0;
            if (m_boundingBox) {
                ascent = (*m_boundingBox)[1] + (*m_boundingBox)[3];
                descent = -(*m_boundingBox)[3];
            } else {
                for (const BitmapGlyph& g : font.glyphs) {
                    ascent = std::max(ascent, g.top());
                    descent = std::max(descent, -g.bottom);
                }
            }
            m_ascent = m_ascent.value_or(std::clamp(ascent, 0, kLargestGlyph));
            m_descent = m_descent.value_or(std::clamp(descent, 0, kLargestGlyph));
        }
        font.ascent = *m_ascent;
        font.descent = *m_descent;
        font.finish();
        if (m_defaultChar && font.byEncoding(std::uint32_t(*m_defaultChar)))
            font.defaultChar = std::uint32_t(*m_defaultChar);
    }
    if (!m_read.error.isEmpty()) {
        BitmapFont none;
        none.name = m_read.font.name;
        m_read.font = std::move(none);
    }
    return m_read;
}

bool BdfReader::header()
{
    while (next()) {
        if (is("STARTPROPERTIES")) {
            int count = 0;
            if (!numbers(1, &count, 0, 1 << 20, "a count"))
                return false;
            const int started = m_number;
            while (true) {
                if (!next())
                    return m_read.error.isEmpty() ? fail(QStringLiteral("the file ends before the ENDPROPERTIES of the "
                                                                        "properties begun on line %1")
                                                             .arg(started))
                                                  : false;
                if (is("ENDPROPERTIES"))
                    break;
                if (is("CHARS") || is("STARTCHAR") || is("ENDFONT"))
                    return fail(QStringLiteral("%1 before the ENDPROPERTIES of the properties begun on line %2")
                                    .arg(word(m_words.at[0]))
                                    .arg(started));
                if (!property())
                    return false;
            }
        } else if (is("FONTBOUNDINGBOX")) {
            std::array<int, 4> box{};
            if (!numbers(2, box.data(), 0, kLargestGlyph, "a size")
                || !numbers(4, box.data(), -kLargestGlyph, kLargestGlyph, "an offset"))
                return false;
            m_boundingBox = box;
        } else if (is("DWIDTH")) {
            int advance = 0;
            if (!numbers(1, &advance, -kLargestGlyph, kLargestGlyph, "an advance"))
                return false;
            m_defaultAdvance = advance;
        } else if (is("CHARS")) {
            int count = 0;
            // Only a count: the glyphs are taken as they come, and memory
            // grows with them, never with what a line claims.
            return numbers(1, &count, 0, int(kLastCharacter) + 1, "a count");
        } else if (is("STARTCHAR") || is("ENDFONT")) {
            return fail(QStringLiteral("%1 before CHARS").arg(word(m_words.at[0])));
        }
    }
    return m_read.error.isEmpty() ? fail(QStringLiteral("the file ends before CHARS")) : false;
}

bool BdfReader::property()
{
    const std::string_view key = m_words.at[0];
    const auto number = [this](std::optional<int>& into, int lo, int hi) {
        int value = 0;
        if (!numbers(1, &value, lo, hi, "a number"))
            return false;
        into = value;
        return true;
    };
    const auto text = [this](QString& into) {
        std::string_view value = m_words.rest;
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        into = QString::fromUtf8(value.data(), qsizetype(value.size())).replace(QLatin1String("\"\""),
                                                                                 QLatin1String("\""));
    };
    if (key == "FONT_ASCENT")
        return number(m_ascent, 0, kLargestGlyph);
    if (key == "FONT_DESCENT")
        return number(m_descent, 0, kLargestGlyph);
    if (key == "DEFAULT_CHAR") {
        // Fonts that mean "none" write -1 or 65535 too: a character the
        // font lacks then gets the box.
        std::optional<int> value;
        if (!number(value, -1, std::numeric_limits<int>::max()))
            return false;
        if (*value >= 0)
            m_defaultChar = *value;
    } else if (key == "CHARSET_REGISTRY") {
        text(m_registry);
    } else if (key == "CHARSET_ENCODING") {
        text(m_encoding);
    }
    return true;
}

bool BdfReader::glyphs()
{
    while (next()) {
        if (is("ENDFONT"))
            return true;
        if (!is("STARTCHAR"))
            return fail(QStringLiteral("%1 outside a glyph: STARTCHAR or ENDFONT was expected")
                            .arg(quoted(m_words.at[0])));
        if (!glyph())
            return false;
    }
    return m_read.error.isEmpty() ? fail(QStringLiteral("the file ends before ENDFONT")) : false;
}

bool BdfReader::glyph()
{
    const std::string_view name = m_words.rest;
    const int started = m_number;
    BitmapGlyph glyph;
    glyph.bits = m_read.font.bits.size();
    std::optional<int> encoding;
    bool boxed = false, advanced = false;
    const auto within = [&](const QString& what) {
        return fail(QStringLiteral("%1 in the glyph %2 begun on line %3").arg(what, quoted(name)).arg(started));
    };
    while (next()) {
        if (is("ENCODING")) {
            int value = 0;
            if (!numbers(1, &value, -1, int(kLastCharacter), "a character"))
                return false;
            encoding = value;
        } else if (is("DWIDTH")) {
            if (!numbers(1, &glyph.advance, -kLargestGlyph, kLargestGlyph, "an advance"))
                return false;
            advanced = true;
        } else if (is("BBX")) {
            int box[4] = {};
            if (!numbers(2, box, 0, kLargestGlyph, "a size") || !numbers(4, box, -kLargestGlyph, kLargestGlyph, "an offset"))
                return false;
            glyph.width = box[0];
            glyph.height = box[1];
            glyph.left = box[2];
            glyph.bottom = box[3];
            boxed = true;
        } else if (is("BITMAP") || is("ENDCHAR")) {
            const bool rows = is("BITMAP");
            if (rows && !boxed)
                return within(QStringLiteral("BITMAP before BBX"));
            // BITMAP reads its rows and the ENDCHAR after them.
            if (rows && !bitmap(glyph, name))
                return false;
            if (!encoding)
                return within(QStringLiteral("ENDCHAR before ENCODING"));
            if (!boxed)
                return within(QStringLiteral("ENDCHAR before BBX"));
            if (!rows && glyph.width > 0 && glyph.height > 0)
                return within(QStringLiteral("ENDCHAR before BITMAP"));
            if (!advanced) {
                if (!m_defaultAdvance)
                    return within(QStringLiteral("ENDCHAR before DWIDTH"));
                glyph.advance = *m_defaultAdvance;
            }
            // An unencoded glyph (ENCODING -1) is read, and no character
            // reaches it.
            if (*encoding >= 0) {
                glyph.encoding = std::uint32_t(*encoding);
                m_read.font.glyphs.push_back(glyph);
            } else {
                m_read.font.bits.resize(glyph.bits);
            }
            return true;
        } else if (is("STARTCHAR") || is("ENDFONT")) {
            return within(QStringLiteral("%1 before ENDCHAR").arg(word(m_words.at[0])));
        }
    }
    return m_read.error.isEmpty() ? within(QStringLiteral("the file ends before ENDCHAR")) : false;
}

int hexDigit(char c)
{
    return protocol::hexDigitValue(char16_t(static_cast<unsigned char>(c)));
}

// The rows after BITMAP, up to and with the ENDCHAR after them.
bool BdfReader::bitmap(BitmapGlyph& glyph, std::string_view name)
{
    std::vector<std::uint8_t>& bits = m_read.font.bits;
    const int rowBytes = glyph.rowBytes();
    if (bits.size() + std::size_t(rowBytes * glyph.height) > std::size_t(kLargestFontBytes))
        return fail(QStringLiteral("the glyphs hold more than %1 MB of dots").arg(kLargestFontBytes >> 20));
    // The dots of the last byte of a row beyond the box's width.
    const int spare = rowBytes * 8 - glyph.width;
    const std::uint8_t beyond = std::uint8_t((1u << spare) - 1);
    const auto about = [&](const QString& what) {
        return fail(QStringLiteral("%1 in the glyph %2").arg(what, quoted(name)));
    };
    for (int row = 0;; ++row) {
        if (!next())
            return m_read.error.isEmpty() ? about(QStringLiteral("the file ends inside the BITMAP")) : false;
        if (is("ENDCHAR")) {
            if (row < glyph.height)
                return about(QStringLiteral("ENDCHAR after %1 of the %2 rows of its BBX").arg(row).arg(glyph.height));
            return true;
        }
        if (is("STARTCHAR") || is("ENDFONT"))
            return about(QStringLiteral("%1 before ENDCHAR").arg(word(m_words.at[0])));
        const std::string_view digits = m_words.at[0];
        if (m_words.count > 1 || std::any_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) < 0; }))
            return about(QStringLiteral("%1 among the rows, which are hex digits").arg(quoted(m_words.line)));
        if (row >= glyph.height)
            return about(QStringLiteral("a row beyond the %1 of its BBX (the glyph is larger than its box)")
                             .arg(glyph.height));
        if (digits.size() < std::size_t(2 * rowBytes))
            return about(QStringLiteral("a row of %1 hex digits, where its width of %2 needs %3")
                             .arg(digits.size())
                             .arg(glyph.width)
                             .arg(2 * rowBytes));
        bool wider = std::any_of(digits.begin() + 2 * rowBytes, digits.end(), [](char c) { return c != '0'; });
        for (int b = 0; b < rowBytes; ++b)
            bits.push_back(std::uint8_t(hexDigit(digits[std::size_t(2 * b)]) << 4
                                        | hexDigit(digits[std::size_t(2 * b + 1)])));
        if (rowBytes > 0)
            wider = wider || (bits.back() & beyond);
        if (wider)
            return about(QStringLiteral("dots beyond the width of %1 of its BBX (the glyph is larger than its box)")
                             .arg(glyph.width));
    }
}

} // namespace

BitmapFontRead readBdf(QByteArrayView text, const QString& name)
{
    return BdfReader(text, name).read();
}

} // namespace varnix::render

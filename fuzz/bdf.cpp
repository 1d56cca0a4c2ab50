// SPDX-License-Identifier: GPL-3.0-or-later
// A BDF font's text: read, or refused naming a line of it, never a crash;
// what is read keeps its glyphs' dots inside the font's own, within the
// limits, and costs memory in proportion to the text.
#include "check.h"

#include "render/bitmapfont.h"

#include <algorithm>
#include <cstdint>

using namespace varnix::render;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));
    const BitmapFontRead read = readBdf(text, QStringLiteral("fuzz"));
    const qsizetype lines = text.count('\n') + 1;
    if (!read.error.isEmpty()) {
        FUZZ_REQUIRE(read.error.startsWith(QLatin1String("line ")));
        bool ok = false;
        const qsizetype line = read.error.mid(5).section(u':', 0, 0).toLongLong(&ok);
        FUZZ_REQUIRE(ok && line >= 1 && line <= lines);
        FUZZ_REQUIRE(read.font.glyphs.empty() && read.font.bits.empty());
        return 0;
    }
    const BitmapFont& font = read.font;
    // Every dot came from two hex digits of the text, but for the box's.
    FUZZ_REQUIRE(font.bits.size() <= size / 2 + std::size_t(font.box.rowBytes() * font.box.height));
    FUZZ_REQUIRE(font.ascent >= 0 && font.ascent <= kLargestGlyph && font.descent >= 0
                 && font.descent <= kLargestGlyph);
    std::int64_t last = -1;
    for (const BitmapGlyph& glyph : font.glyphs) {
        FUZZ_REQUIRE(std::int64_t(glyph.encoding) > last && glyph.encoding <= kLastCharacter);
        last = glyph.encoding;
        FUZZ_REQUIRE(glyph.width >= 0 && glyph.width <= kLargestGlyph && glyph.height >= 0
                     && glyph.height <= kLargestGlyph);
        FUZZ_REQUIRE(glyph.bits + std::size_t(glyph.rowBytes() * glyph.height) <= font.bits.size());
        // No dot beyond the box's width.
        for (int y = 0; y < glyph.height && glyph.width % 8; ++y)
            for (int x = glyph.width; x < glyph.rowBytes() * 8; ++x)
                FUZZ_REQUIRE(!font.dot(glyph, x, y));
    }
    if (font.defaultChar)
        FUZZ_REQUIRE(font.byEncoding(*font.defaultChar));
    // Whatever is drawn for any character lies in the font's dots.
    for (const char32_t c : {U'A', U'\0', U'\u00e9', U'\U0001F600'}) {
        const BitmapGlyph& drawn = font.drawn(c);
        FUZZ_REQUIRE(drawn.bits + std::size_t(drawn.rowBytes() * drawn.height) <= font.bits.size());
    }
    return 0;
}

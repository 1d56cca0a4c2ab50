// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Bitmap fonts as their files draw them, dot for dot: BDF read here, PCF and
// the rest read by FreeType (render/fontfiles.h) into the same form. Qt Core
// only, so that the fuzz targets build it alone.
namespace varnix::render {

// A glyph larger than this either way is refused: no display of 128 x 64
// has a use for it, and it bounds what one glyph may cost.
constexpr int kLargestGlyph = 512;
// The most a font may hold: the bytes of its file, and of its glyphs' dots.
constexpr qsizetype kLargestFontBytes = 64 * 1024 * 1024;
// No line of a BDF font comes near this; a longer one is refused at once.
constexpr qsizetype kLongestBdfLine = 8192;
// The last Unicode character; encodings beyond it are refused.
constexpr std::uint32_t kLastCharacter = 0x10FFFF;

// One glyph: its box (BBX) and where the pen goes next (DWIDTH). Offsets
// are from the pen on the baseline: `left` to the box's left column,
// `bottom` up to its lowest row (negative below the baseline).
struct BitmapGlyph {
    std::uint32_t encoding = 0;
    int advance = 0;
    int width = 0;
    int height = 0;
    int left = 0;
    int bottom = 0;
    std::size_t bits = 0; // where its rows start in BitmapFont::bits

    int top() const { return bottom + height; }
    int rowBytes() const { return (width + 7) / 8; }
};

struct BitmapFont {
    QString name;    // the file's name without its extensions: "6x13"
    QString charset; // CHARSET_REGISTRY-CHARSET_ENCODING, such as "ISO10646-1"; may be empty
    int ascent = 0;  // rows above the baseline, and below it
    int descent = 0;
    std::optional<std::uint32_t> defaultChar; // DEFAULT_CHAR: drawn for a character the font lacks
    std::vector<BitmapGlyph> glyphs;          // by encoding, each once
    // The glyphs' rows from the top, each of rowBytes() bytes, the leftmost
    // dot in the highest bit: as BDF writes them in hex.
    std::vector<std::uint8_t> bits;
    // A hollow box for a character the font lacks when it names no default
    // glyph of its own; its bits follow the glyphs'.
    BitmapGlyph box;

    const BitmapGlyph* byEncoding(std::uint32_t encoding) const;
    // The glyph of a character: by its Unicode code point where the charset
    // is Unicode (ISO10646, or ISO8859-1, its first 256), is not named, or
    // is the font's own (FontSpecific); in another 8-bit charset, which
    // agrees with Unicode on ASCII alone, only below 128. Nothing when the
    // font lacks it.
    const BitmapGlyph* glyph(char32_t character) const;
    // What is drawn for a character: its glyph, the default glyph, or the box.
    const BitmapGlyph& drawn(char32_t character) const;
    bool dot(const BitmapGlyph& glyph, int x, int y) const
    {
        return bits[glyph.bits + std::size_t(y * glyph.rowBytes() + x / 8)] & (0x80 >> (x % 8));
    }
    // Adds the box once the glyphs are in place, sorted by encoding.
    void finish();
};

struct BitmapFontRead {
    BitmapFont font;
    QString error; // empty when the font was read
};

// A BDF font's text (2.1 and 2.2). A damaged or hostile one is refused
// with what is wrong and its line ("line 12: ..."), in time and memory that
// grow with its length alone.
BitmapFontRead readBdf(QByteArrayView text, const QString& name);

} // namespace varnix::render

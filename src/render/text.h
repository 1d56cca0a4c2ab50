// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "render/picture.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace varnix::render {

// The name that stands for the board's own 5 x 7 font among the installed
// ones.
inline QString boardFontName()
{
    return QStringLiteral("Board 5 x 7");
}

// The largest whole-number scale a bitmap font is drawn at.
constexpr int kLargestFontScale = 8;

enum class Across { Left, Centre, Right };
enum class Down { Top, Middle, Bottom };

// A text as it is put into a block.
struct TextChoice {
    QString text;                     // lines separated by line breaks
    // The board's font, an installed family, or a bitmap font: a BDF or PCF
    // file, or a name fontconfig knows ("6x13", "Terminus:pixelsize=16";
    // see findBitmapFace()), which a family of that size and style installed
    // as an outline font yields to.
    QString font = boardFontName();
    // Pixels from the top of the tallest letter to the bottom of the lowest;
    // the board's font is drawn at whole multiples of its 8-pixel line. A
    // bitmap font's file has its own size; a name takes the face of this
    // size, or the nearest.
    int pixelSize = 8;
    // A bitmap font's own bold and italic faces, never made up; a file is
    // drawn as it is.
    bool bold = false;
    bool italic = false;
    Across across = Across::Left;
    Down down = Down::Top;
    int lineSpacing = 0;  // pixels between lines, beyond the font's own
    int rotation = 0;     // clockwise: 0, 90, 180 or 270
    bool inverted = false;
    int scale = 1;        // a bitmap font's dots drawn scale x scale (1 to kLargestFontScale); other fonts leave it
};

struct RenderedText {
    QImage mono;          // the block's picture, colour index 1 dark
    QSize extent;         // the lines' own size, in the text's direction; 0 x 0 without text
    bool clipped = false; // the text does not fit the block
    QString error;        // the font is not installed or does not read; mono is then null
    // What the font could not give: "no glyph for 'é' in 6x13" (the font's
    // default glyph or a hollow box stands in), a bitmap face of another
    // size or style than asked.
    QStringList notes;
};

// The text drawn into a block: every pixel on or off, never anti-aliased;
// lines never wrapped, and what does not fit is cut at the block's edge. An
// empty text gives a block with nothing on.
RenderedText renderText(const TextChoice& choice, const LcdBlock& block);

// What the text measures beside its block, in the text's direction: "The
// text is 35 x 7 pixels; the block is 128 x 64.", the same saying it does not
// fit and is cut, or "no text" for an empty one; then the notes.
QString textNote(const RenderedText& rendered, const LcdBlock& block, int rotation);

// The block a text or a picture goes into, for the LCD page's dialogs and
// the command line's --block alike: the whole display, or the corners of the
// place. With fitToText, the smallest block that holds the text (whole rows
// of 8 pixels, one byte at least) standing in that area where the text's
// alignment puts it once turned, reaching past the area where the text needs
// more room, as far as the display goes. `text` counts only with fitToText.
LcdBlock chosenBlock(const BlockChoice& choice, const TextChoice& text = TextChoice());

// The installed font families, the board's own first. Needs a
// QGuiApplication.
QStringList fontNames();

} // namespace varnix::render

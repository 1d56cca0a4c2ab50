// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

// Pictures as blocks of the LCD's display memory. The display has 128
// columns and 8 rows of bytes; a byte is a vertical run of 8 pixels, its
// lowest bit at the top, and a set bit is a dark (black) pixel. A block
// travels row by row: all its columns of the first row from left to right,
// then the next row.
namespace varnix::render {

constexpr int kLcdColumns = 128;
constexpr int kLcdRows = 8;
// How much larger the enlarged views and copies of a block are.
constexpr int kEnlargement = 4;
// Pictures with more pixels than this are refused before they are decoded: a
// photo of a good camera passes; a file that claims more would take hundreds
// of megabytes to decode, for a display of 8192 pixels.
constexpr qint64 kLargestPicturePixels = 40'000'000;

// A block of the display given by its corners, both ends included.
struct LcdBlock {
    int x1 = 0;
    int x2 = kLcdColumns - 1;
    int y1 = 0;
    int y2 = kLcdRows - 1;

    // The corners in the order X1, X2, Y1, Y2; nothing when a range runs
    // backwards or leaves the display.
    static std::optional<LcdBlock> of(const std::array<std::int64_t, 4>& corners);

    int columns() const { return x2 - x1 + 1; }
    int rows() const { return y2 - y1 + 1; }
    int bytes() const { return columns() * rows(); }
    QSize pixelSize() const { return {columns(), rows() * 8}; }
};

// "columns 0 to 127, rows 0 to 7": where a block lies.
QString blockPlace(const LcdBlock& block);

// How the block of a text or a picture is chosen (see chosenBlock()): the
// corners of a place on the display, or the whole display; and for a text,
// the smallest block it needs in that place.
struct BlockChoice {
    LcdBlock place;
    bool wholeDisplay = false;
    bool fitToText = false;
};

// Threshold: dark where the grey is below the level. Diffuse (Floyd and
// Steinberg) and Atkinson spread each pixel's error to its neighbours;
// Ordered compares with a 4 x 4 Bayer matrix, a pattern that stays put
// between the frames of an animation.
enum class Dither { Threshold, Diffuse, Atkinson, Ordered };
constexpr int kMiddleLevel = 128;

// How a picture becomes black and white. The level (0 to 255) is the
// threshold's; the other dithers keep the picture's own mean.
struct MonoChoice {
    Dither dither = Dither::Threshold;
    bool inverted = false;
    int level = kMiddleLevel;
};

// How a picture takes the block: Fit scales a larger one down to fit whole,
// Fill scales it to cover the block and crops the rest, Actual takes it
// pixel for pixel and crops it; each is centred.
enum class Fit { Fit, Fill, Actual };

// Everything a picture's conversion takes: turned clockwise by `rotation`
// (0, 90, 180 or 270 degrees) and flipped first, then placed, then made
// black and white.
struct PictureChoice {
    MonoChoice mono;
    int rotation = 0;
    bool flipHorizontal = false;
    bool flipVertical = false;
    Fit fit = Fit::Fit;
};

// The size a picture takes in a block: its own when it fits, otherwise
// scaled down to fit, keeping its proportions (at least one pixel each way).
QSize fittedSize(QSize picture, QSize block);

// The picture on a white block of the block's size, placed as `fit` says
// (Fit: scaled to fittedSize()) and centred (an odd pixel of room goes right
// and below); transparent parts are white. A picture of exactly the block's
// size is taken pixel for pixel.
QImage fitToBlock(const QImage& picture, const LcdBlock& block, Fit fit = Fit::Fit);

// The picture turned clockwise by a multiple of 90 degrees and flipped.
QImage turned(const QImage& picture, int rotation, bool flipHorizontal = false, bool flipVertical = false);

// The picture fitted as the choice says, before it is made black and white.
QImage placedInBlock(const QImage& picture, const LcdBlock& block, const PictureChoice& choice);
// The whole conversion: the block's picture in black and white.
QImage convertPicture(const QImage& picture, const LcdBlock& block, const PictureChoice& choice);

// The fitted picture in black and white. The result is QImage::Format_Mono
// with colour index 1 black, i.e. a pixel that is on.
QImage blackAndWhite(const QImage& fitted, const MonoChoice& choice);

// The bytes of a black-and-white picture of the block's size as the write
// frame sends them: lower-case hex pairs without separators.
QString blockHex(const QImage& mono, const LcdBlock& block);

// A block's bytes as the board answers a read (hex pairs; blanks, line
// breaks and "]" between the pairs are allowed) as a black-and-white picture
// of the block, one pixel per dot. Nothing when the text is not exactly the
// block's bytes.
std::optional<QImage> blockPicture(QStringView hexPairs, const LcdBlock& block);

// The picture in greys, its transparent parts white: all that the
// conversion uses of it, in a quarter of the memory of its colours.
QImage greyOnWhite(const QImage& picture);

// A white (all off) black-and-white picture of the size.
QImage whiteBlock(QSize size);

// A picture file as it is decoded, or why it is refused (empty, not a
// picture Qt reads, more than kLargestPicturePixels).
struct PictureFile {
    QImage image;
    QString error;
};
PictureFile readPicture(const QString& path);
// Why a picture of this size is refused, or empty when it is not.
QString tooLargeReason(const QString& path, QSize size);

// The file dialog's filter: the formats this Qt reads, then all files.
QString pictureFilter();

// "logo.png" becomes "logo@4x.png": where the enlarged copy goes.
QString enlargedPath(const QString& path);

// Writes the picture as a PNG, and the copy enlarged kEnlargement times
// (pixels stay square and sharp) at enlargedPath() when asked. A file is
// replaced only once its new content is complete. Empty when all went well,
// otherwise what failed.
QString savePicture(const QImage& mono, const QString& path, bool enlarged);

} // namespace varnix::render

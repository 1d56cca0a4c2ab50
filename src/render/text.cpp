// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/text.h"

#include "board/font.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace varnix::render {

namespace {

// The board's font as its firmware draws a string: a cell of 6 pixels
// across (a blank column after each glyph) and lines of 8.
constexpr int kBoardAdvance = board::glyphWidth + 1;
constexpr int kBoardLine = 8;

int boardScale(int pixelSize)
{
    return std::max(1, pixelSize / kBoardLine);
}

// What a line of the chosen font measures and how it is drawn, so that the
// layout below is the same for either kind of font.
struct Lettering {
    int lineHeight = 0;
    std::function<int(const QString&)> width;
    std::function<void(QImage&, int left, int top, const QString&)> draw;
};

Lettering boardLettering(int pixelSize)
{
    const int scale = boardScale(pixelSize);
    return {board::glyphHeight * scale,
            [scale](const QString& line) { return line.isEmpty() ? 0 : (int(line.size()) * kBoardAdvance - 1) * scale; },
            [scale](QImage& canvas, int left, int top, const QString& line) {
                const QRect inside = canvas.rect();
                const QRgb dark = qRgb(0, 0, 0);
                for (qsizetype i = 0; i < line.size(); ++i) {
                    const QChar c = line[i];
                    const board::Glyph glyph = board::glyph(c.unicode() < 0x100 ? char(c.toLatin1()) : '\x7f');
                    const int x0 = left + int(i) * kBoardAdvance * scale;
                    for (int gx = 0; gx < board::glyphWidth; ++gx)
                        for (int gy = 0; gy < board::glyphHeight; ++gy) {
                            if (!((glyph[gx] >> gy) & 1))
                                continue;
                            for (int sy = 0; sy < scale; ++sy)
                                for (int sx = 0; sx < scale; ++sx) {
                                    const QPoint p(x0 + gx * scale + sx, top + gy * scale + sy);
                                    if (inside.contains(p))
                                        canvas.setPixel(p, dark);
                                }
                        }
                }
            }};
}

QFont chosenFont(const TextChoice& choice)
{
    QFont font(choice.font);
    font.setPixelSize(std::max(1, choice.pixelSize));
    font.setBold(choice.bold);
    font.setItalic(choice.italic);
    // Every pixel on or off, as the font's hinting drew it.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoFontMerging));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

Lettering fontLettering(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int ascent = metrics.ascent();
    return {metrics.height(), [metrics](const QString& line) { return metrics.horizontalAdvance(line); },
            [font, ascent](QImage& canvas, int left, int top, const QString& line) {
                QPainter painter(&canvas);
                painter.setRenderHint(QPainter::TextAntialiasing, false);
                painter.setRenderHint(QPainter::Antialiasing, false);
                painter.setFont(font);
                painter.setPen(Qt::black);
                painter.drawText(QPoint(left, top + ascent), line);
            }};
}

bool installed(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

int offset(int room, int size, int alignment)
{
    // 0 start, 1 middle (an odd pixel goes to the end), 2 end.
    return alignment == 0 ? 0 : alignment == 1 ? (room - size) / 2 : room - size;
}

} // namespace

QStringList fontNames()
{
    return QStringList{boardFontName()} + QFontDatabase::families();
}

namespace {

// The lines of a text and what they measure, before they go into a block.
struct Layout {
    QString error;
    QStringList lines;
    Lettering lettering;
    int pitch = 0;
    QSize extent{0, 0};
};

Layout layOut(const TextChoice& choice)
{
    Layout layout;
    const bool boardFont = choice.font.compare(boardFontName(), Qt::CaseInsensitive) == 0;
    if (!boardFont && !installed(choice.font)) {
        layout.error = QStringLiteral("The font \"%1\" is not installed.").arg(choice.font);
        return layout;
    }
    QString text = choice.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.isEmpty())
        return layout;
    layout.lines = text.split(u'\n');
    layout.lettering = boardFont ? boardLettering(choice.pixelSize) : fontLettering(chosenFont(choice));
    layout.pitch = layout.lettering.lineHeight + choice.lineSpacing
        + (boardFont ? (kBoardLine - board::glyphHeight) * boardScale(choice.pixelSize) : 0);
    int widest = 0;
    for (const QString& line : std::as_const(layout.lines))
        widest = std::max(widest, layout.lettering.width(line));
    layout.extent = QSize(widest, int(layout.lines.size() - 1) * layout.pitch + layout.lettering.lineHeight);
    return layout;
}

int quarterTurns(int rotation)
{
    return ((rotation / 90) % 4 + 4) % 4;
}

// Cells first to last of an axis of `cells`, `size` of them, standing in the
// cells lo to hi as the alignment (0 start, 1 middle, 2 end) puts them, and
// moved back onto the axis where that runs off it.
std::pair<int, int> placeOnAxis(int lo, int hi, int size, int alignment, int cells)
{
    size = std::clamp(size, 1, cells);
    const int room = hi - lo + 1;
    int first = alignment == 0 ? lo : alignment == 2 ? hi - size + 1 : lo + int(std::floor((room - size) / 2.0));
    first = std::clamp(first, 0, cells - size);
    return {first, first + size - 1};
}

} // namespace

RenderedText renderText(const TextChoice& choice, const LcdBlock& block)
{
    RenderedText out;
    const Layout layout = layOut(choice);
    out.error = layout.error;
    if (!out.error.isEmpty())
        return out;
    out.extent = layout.extent;
    if (layout.lines.isEmpty()) {
        out.mono = whiteBlock(block.pixelSize());
        return out;
    }
    const int quarter = quarterTurns(choice.rotation);
    // The text is laid out upright in a block turned with it.
    QSize room = block.pixelSize();
    if (quarter % 2)
        room.transpose();
    out.clipped = out.extent.width() > room.width() || out.extent.height() > room.height();

    // Drawn in black on white, then taken over by threshold: without
    // anti-aliasing there is no grey to decide.
    QImage canvas(room, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    int top = offset(room.height(), out.extent.height(), int(choice.down));
    for (const QString& line : layout.lines) {
        layout.lettering.draw(canvas, offset(room.width(), layout.lettering.width(line), int(choice.across)), top,
                              line);
        top += layout.pitch;
    }
    out.mono = blackAndWhite(turned(canvas, quarter * 90), {Dither::Threshold, choice.inverted, kMiddleLevel});
    return out;
}

QString textNote(const RenderedText& rendered, const LcdBlock& block, int rotation)
{
    QSize room = block.pixelSize();
    if (quarterTurns(rotation) % 2)
        room.transpose();
    if (rendered.extent.isEmpty())
        return QStringLiteral("no text; the block is %1 x %2.").arg(room.width()).arg(room.height());
    return (rendered.clipped ? QStringLiteral("The text is %1 x %2 pixels and does not fit the block of %3 x %4: it "
                                              "is cut at the block's edges.")
                             : QStringLiteral("The text is %1 x %2 pixels; the block is %3 x %4."))
        .arg(rendered.extent.width())
        .arg(rendered.extent.height())
        .arg(room.width())
        .arg(room.height());
}

LcdBlock chosenBlock(const BlockChoice& choice, const TextChoice& text)
{
    const LcdBlock area = choice.wholeDisplay ? LcdBlock{} : choice.place;
    if (!choice.fitToText)
        return area;
    // The text's size and alignment as the display sees them once it is
    // turned: its upright left edge goes to the top at a quarter turn.
    const int quarter = quarterTurns(text.rotation);
    QSize needed = layOut(text).extent;
    const int across = int(text.across);
    const int down = int(text.down);
    int displayAcross = across;
    int displayDown = down;
    switch (quarter) {
    case 1:
        displayAcross = 2 - down;
        displayDown = across;
        break;
    case 2:
        displayAcross = 2 - across;
        displayDown = 2 - down;
        break;
    case 3:
        displayAcross = down;
        displayDown = 2 - across;
        break;
    default:
        break;
    }
    if (quarter % 2)
        needed.transpose();
    const auto [x1, x2] = placeOnAxis(area.x1, area.x2, needed.width(), displayAcross, kLcdColumns);
    const auto [y1, y2] = placeOnAxis(area.y1, area.y2, (needed.height() + 7) / 8, displayDown, kLcdRows);
    return {x1, x2, y1, y2};
}

} // namespace varnix::render

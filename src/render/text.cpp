// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/text.h"

#include "board/font.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
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

RenderedText renderText(const TextChoice& choice, const LcdBlock& block)
{
    RenderedText out;
    const bool boardFont = choice.font.compare(boardFontName(), Qt::CaseInsensitive) == 0;
    if (!boardFont && !installed(choice.font)) {
        out.error = QStringLiteral("The font \"%1\" is not installed.").arg(choice.font);
        return out;
    }
    const int quarter = ((choice.rotation / 90) % 4 + 4) % 4;
    // The text is laid out upright in a block turned with it.
    QSize room = block.pixelSize();
    if (quarter % 2)
        room.transpose();
    QString text = choice.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.isEmpty()) {
        out.mono = whiteBlock(block.pixelSize());
        return out;
    }
    const QStringList lines = text.split(u'\n');
    const Lettering lettering = boardFont ? boardLettering(choice.pixelSize) : fontLettering(chosenFont(choice));
    const int pitch = lettering.lineHeight + choice.lineSpacing
        + (boardFont ? (kBoardLine - board::glyphHeight) * boardScale(choice.pixelSize) : 0);
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, lettering.width(line));
    const int height = int(lines.size() - 1) * pitch + lettering.lineHeight;
    out.extent = QSize(widest, height);
    out.clipped = widest > room.width() || height > room.height();

    // Drawn in black on white, then taken over by threshold: without
    // anti-aliasing there is no grey to decide.
    QImage canvas(room, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    int top = offset(room.height(), height, int(choice.down));
    for (const QString& line : lines) {
        lettering.draw(canvas, offset(room.width(), lettering.width(line), int(choice.across)), top, line);
        top += pitch;
    }
    out.mono = blackAndWhite(turned(canvas, quarter * 90), {Dither::Threshold, choice.inverted, kMiddleLevel});
    return out;
}

} // namespace varnix::render

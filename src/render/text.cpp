// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/text.h"

#include "board/font.h"
#include "render/fontfiles.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

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

// A dot of a bitmap font, `scale` pixels each way, as far as it is on the
// canvas (Format_RGB32).
void darken(QImage& canvas, int x, int y, int scale)
{
    const int right = std::min(x + scale, canvas.width());
    const int bottom = std::min(y + scale, canvas.height());
    for (int py = std::max(y, 0); py < bottom; ++py) {
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(py));
        for (int px = std::max(x, 0); px < right; ++px)
            row[px] = qRgb(0, 0, 0);
    }
}

Lettering boardLettering(int pixelSize)
{
    const int scale = boardScale(pixelSize);
    return {board::glyphHeight * scale,
            [scale](const QString& line) { return line.isEmpty() ? 0 : (int(line.size()) * kBoardAdvance - 1) * scale; },
            [scale](QImage& canvas, int left, int top, const QString& line) {
                for (qsizetype i = 0; i < line.size(); ++i) {
                    const QChar c = line[i];
                    const board::Glyph glyph = board::glyph(c.unicode() < 0x100 ? char(c.toLatin1()) : '\x7f');
                    const int x0 = left + int(i) * kBoardAdvance * scale;
                    for (int gx = 0; gx < board::glyphWidth; ++gx)
                        for (int gy = 0; gy < board::glyphHeight; ++gy)
                            if ((glyph[gx] >> gy) & 1)
                                darken(canvas, x0 + gx * scale, top + gy * scale, scale);
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

// 'é', or U+0009 for what does not show.
QString characterName(char32_t c)
{
    if (c != U' ' && QChar::isPrint(c))
        return QStringLiteral("'%1'").arg(QString::fromUcs4(&c, 1));
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

// A bitmap font's lines: each glyph's dots where its box and offsets put
// them, the pen moved by its advance, every dot `scale` x `scale`. A line
// spans its advances and its glyphs' boxes both, so that a box reaching
// left of the pen or past the last advance is not cut; the lines are as high
// as the font's ascent and descent, or as its tallest glyph of the text.
// Pens are reckoned in 64 bits: a long text of wide glyphs passes 2^31.
Lettering bitmapLettering(const std::shared_ptr<const BitmapFont>& font, int scale, const QStringList& lines,
                          QStringList& notes)
{
    int above = font->ascent, below = font->descent;
    QList<char32_t> missing;
    QSet<char32_t> seen;
    for (const QString& line : lines)
        for (const char32_t c : line.toUcs4()) {
            const BitmapGlyph& glyph = font->drawn(c);
            if (!font->glyph(c) && !seen.contains(c)) {
                seen.insert(c);
                missing << c;
            }
            if (glyph.width > 0 && glyph.height > 0) {
                above = std::max(above, glyph.top());
                below = std::max(below, -glyph.bottom);
            }
        }
    if (!missing.isEmpty()) {
        constexpr qsizetype kNamed = 8;
        QStringList names;
        for (qsizetype i = 0; i < std::min(missing.size(), kNamed); ++i)
            names << characterName(missing[i]);
        if (missing.size() > kNamed)
            names << QStringLiteral("%1 more").arg(missing.size() - kNamed);
        const QString last = names.takeLast();
        notes << QStringLiteral("no glyph for %1 in %2")
                     .arg(names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last,
                          font->name);
    }
    // The line's first column and the one past its last, from its pen's
    // start.
    const auto span = [font](const QString& line) {
        qint64 pen = 0, lo = 0, hi = 0;
        for (const char32_t c : line.toUcs4()) {
            const BitmapGlyph& glyph = font->drawn(c);
            if (glyph.width > 0 && glyph.height > 0) {
                lo = std::min(lo, pen + glyph.left);
                hi = std::max(hi, pen + glyph.left + glyph.width);
            }
            pen += glyph.advance;
            lo = std::min(lo, pen);
            hi = std::max(hi, pen);
        }
        return std::pair{lo, hi};
    };
    return {(above + below) * scale,
            [span, scale](const QString& line) {
                const auto [lo, hi] = span(line);
                return int(std::min<qint64>((hi - lo) * scale, std::numeric_limits<int>::max() / 2));
            },
            [font, span, scale, above](QImage& canvas, int left, int top, const QString& line) {
                qint64 pen = -span(line).first;
                for (const char32_t c : line.toUcs4()) {
                    const BitmapGlyph& glyph = font->drawn(c);
                    const qint64 x0 = left + (pen + glyph.left) * scale;
                    pen += glyph.advance;
                    if (x0 >= canvas.width() || x0 + qint64(glyph.width) * scale <= 0)
                        continue;
                    const int y0 = top + (above - glyph.top()) * scale;
                    for (int y = 0; y < glyph.height; ++y)
                        for (int x = 0; x < glyph.width; ++x)
                            if (font->dot(glyph, x, y))
                                darken(canvas, int(x0) + x * scale, y0 + y * scale, scale);
                }
            }};
}

// What a font's name stands for, once found.
struct Resolved {
    std::shared_ptr<const BitmapFont> bitmap; // null for the board's font and installed ones
    QStringList notes;
    QString error;
};

// A name fontconfig may know as a bitmap font, kept as found: the preview
// asks again at every key. Any thread, under the mutex.
std::optional<FoundFace> knownBitmapFace(const TextChoice& choice)
{
    static QMutex mutex;
    static QHash<QString, std::optional<FoundFace>> found;
    const QString key = QStringLiteral("%1\n%2 %3 %4")
                            .arg(choice.font, QString::number(choice.pixelSize), QString::number(choice.bold),
                                 QString::number(choice.italic));
    const QMutexLocker lock(&mutex);
    const auto at = found.constFind(key);
    if (at != found.constEnd())
        return *at;
    return *found.insert(key, findBitmapFace(choice.font, choice.pixelSize, choice.bold, choice.italic));
}

Resolved resolved(const TextChoice& choice)
{
    const auto loaded = [](const QString& path, QStringList notes) {
        const LoadedFont font = loadBitmapFont(path);
        return Resolved{font.font, notes, font.error};
    };
    if (isFontFile(choice.font)) {
        QStringList notes;
        if (choice.bold || choice.italic)
            notes << QStringLiteral("%1 is drawn as it is: a bitmap font's bold and italic are files of their own")
                         .arg(fontFileName(choice.font));
        return loaded(choice.font, notes);
    }
    // A bitmap face of the very size and style comes first, exact to the
    // dot; an outline font of that family next; the nearest face last.
    const std::optional<FoundFace> face = knownBitmapFace(choice);
    if (face && face->notes.isEmpty())
        return loaded(face->file, {});
    if (installed(choice.font))
        return {};
    if (face)
        return loaded(face->file, face->notes);
    return {nullptr, {}, QStringLiteral("The font \"%1\" is not installed.").arg(choice.font)};
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
    QStringList notes;
    QStringList lines;
    Lettering lettering;
    int pitch = 0;
    QSize extent{0, 0};
};

Layout layOut(const TextChoice& choice)
{
    Layout layout;
    const bool boardFont = choice.font.compare(boardFontName(), Qt::CaseInsensitive) == 0;
    Resolved font;
    if (!boardFont) {
        font = resolved(choice);
        layout.error = font.error;
        layout.notes = font.notes;
        if (!layout.error.isEmpty())
            return layout;
    }
    QString text = choice.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.isEmpty())
        return layout;
    layout.lines = text.split(u'\n');
    layout.lettering = boardFont     ? boardLettering(choice.pixelSize)
        : font.bitmap ? bitmapLettering(font.bitmap, std::clamp(choice.scale, 1, kLargestFontScale), layout.lines,
                                        layout.notes)
                      : fontLettering(chosenFont(choice));
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
    out.notes = layout.notes;
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
    const QString notes = QStringList(QStringList{QString()} + rendered.notes).join(QStringLiteral("; "));
    if (rendered.extent.isEmpty())
        return QStringLiteral("no text; the block is %1 x %2%3.").arg(room.width()).arg(room.height()).arg(notes);
    return (rendered.clipped ? QStringLiteral("The text is %1 x %2 pixels and does not fit the block of %3 x %4: it "
                                              "is cut at the block's edges%5.")
                             : QStringLiteral("The text is %1 x %2 pixels; the block is %3 x %4%5."))
        .arg(rendered.extent.width())
        .arg(rendered.extent.height())
        .arg(room.width())
        .arg(room.height())
        .arg(notes);
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

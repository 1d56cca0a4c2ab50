// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the picture tests share: dialogs that answer at once, and pictures.
#include "board/display.h"
#include "render/picture.h"
#include "transfer/picturedialogs.h"

#include <QImage>
#include <QPainter>

#include <tuple>

Q_DECLARE_METATYPE(varnix::render::LcdBlock)

namespace varnix::test {

inline const render::LcdBlock kWholeDisplay{};

// A picture of one colour.
inline QImage oneColour(QSize size, QRgb colour)
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    return picture;
}

// Answers the picture dialogs as told and counts how often each was asked.
class AnsweringDialogs : public transfer::PictureDialogs
{
public:
    QStringList openPictures(QWidget*, const QString&) override
    {
        ++opens;
        return openPaths.isEmpty() && !openPath.isEmpty() ? QStringList{openPath} : openPaths;
    }
    std::optional<transfer::PictureAnswer> choosePicture(QWidget*, const QList<render::SourceFrame>& frames,
                                                         const render::BlockChoice& start) override
    {
        ++choices;
        shownFrames = frames.size();
        startBlock = start;
        if (!choice)
            return std::nullopt;
        return transfer::PictureAnswer{*choice, block.value_or(start), asScript, baudRate};
    }
    QString saveScript(QWidget*) override { return scriptPath; }
    std::optional<transfer::TextAnswer> chooseText(QWidget*, const render::BlockChoice& start) override
    {
        startBlock = start;
        if (!text)
            return std::nullopt;
        return transfer::TextAnswer{*text, block.value_or(start)};
    }
    transfer::SaveTarget savePicture(QWidget*) override
    {
        ++saves;
        return saveTarget;
    }
    QString chooseBitmapFont(QWidget*) override
    {
        ++fontChoices;
        return bitmapFont;
    }

    QString openPath;
    QStringList openPaths;
    std::optional<render::PictureChoice> choice = render::PictureChoice{};
    bool asScript = false;
    int baudRate = 19200;
    QString scriptPath;
    std::optional<render::TextChoice> text;
    // The block answered; the one the dialog started from when not given.
    std::optional<render::BlockChoice> block;
    render::BlockChoice startBlock;
    qsizetype shownFrames = 0;
    transfer::SaveTarget saveTarget;
    int opens = 0;
    int choices = 0;
    int saves = 0;
    QString bitmapFont; // the file "Bitmap font..." answers
    int fontChoices = 0;
};

// Every field of a text choice, to compare two whole. A field added to
// TextChoice stops this compiling until it is named here: a reminder that
// the screen's note and the text dialog's setChoice() must keep it too.
inline auto textFields(const render::TextChoice& c)
{
    const auto& [text, font, pixelSize, bold, italic, across, down, lineSpacing, rotation, inverted, scale] = c;
    return std::tuple(text, font, pixelSize, bold, italic, across, down, lineSpacing, rotation, inverted, scale);
}

inline bool dark(const QImage& picture, int x, int y)
{
    return qGray(picture.pixel(x, y)) < 128;
}

inline int darkPixels(const QImage& picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += dark(picture, x, y);
    return count;
}

// Where two pictures of one size differ in black and white.
inline int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += dark(a, x, y) != dark(b, x, y);
    return count;
}

// The display's pixels that are not the picture placed at the block's corner
// and, everywhere else, what `around` shows.
inline int wrongPixels(const board::Display& display, const QImage& picture, const render::LcdBlock& block,
                       const board::Display& around = {})
{
    const QRect inBlock(QPoint(), block.pixelSize());
    int count = 0;
    for (int y = 0; y < board::Display::height; ++y)
        for (int x = 0; x < board::Display::width; ++x) {
            const QPoint p(x - block.x1, y - block.y1 * 8);
            const bool on = inBlock.contains(p) ? dark(picture, p.x(), p.y()) : around.pixel(x, y);
            count += display.pixel(x, y) != on;
        }
    return count;
}

// Black and white with no pattern that a mix-up of rows, columns or bits
// would keep.
inline QImage checkered(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, (x / 3 + y / 5) % 2 || x == 2 * y ? 0xff000000 : 0xffffffff);
    return picture;
}

// Greys from black on the left to white on the right, with a black ring: a
// picture that dithering changes.
inline QImage shaded(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int x = 0; x < size.width(); ++x) {
        const int grey = x * 255 / qMax(1, size.width() - 1);
        for (int y = 0; y < size.height(); ++y)
            picture.setPixel(x, y, qRgb(grey, grey, grey));
    }
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::black, qMax(1, size.height() / 16)));
    painter.drawEllipse(QRect(QPoint(size.width() / 4, size.height() / 4), size / 2));
    return picture;
}

} // namespace varnix::test

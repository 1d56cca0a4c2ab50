// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/picture.h"

#include "protocol/encodings.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTransform>

#include <algorithm>
#include <vector>

namespace varnix::render {

namespace {
constexpr QRgb kWhitePixel = 0xffffffff;
constexpr QRgb kBlackPixel = 0xff000000;

bool isDarkPixel(const QImage& picture, int x, int y)
{
    return qGray(picture.pixel(x, y)) < 128;
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString writePngFile(const QImage& picture, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Could not save %1: %2").arg(nativePath(path), file.errorString());
    QImageWriter writer(&file, "png");
    if (!writer.write(picture)) {
        file.cancelWriting();
        return QStringLiteral("Could not save %1: %2").arg(nativePath(path), writer.errorString());
    }
    if (!file.commit())
        return QStringLiteral("Could not save %1: %2").arg(nativePath(path), file.errorString());
    return {};
}
// The 4 x 4 Bayer matrix: the order in which the cells of a tile turn dark
// as the grey darkens.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

struct Spread {
    int dx;
    int dy;
    float share;
};
constexpr Spread kFloydSteinberg[] = {{1, 0, 7 / 16.f}, {-1, 1, 3 / 16.f}, {0, 1, 5 / 16.f}, {1, 1, 1 / 16.f}};
// Atkinson passes on three quarters of the error, which keeps contrast.
constexpr Spread kAtkinson[] = {{1, 0, 1 / 8.f}, {2, 0, 1 / 8.f}, {-1, 1, 1 / 8.f},
                                {0, 1, 1 / 8.f}, {1, 1, 1 / 8.f}, {0, 2, 1 / 8.f}};

// Error diffusion over the greys, row by row from the top left.
template <std::size_t N>
void diffuse(std::vector<float>& grey, int width, int height, const Spread (&spread)[N], QImage& mono, bool inverted)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float value = grey[std::size_t(y) * width + x];
            const bool dark = value < kMiddleLevel;
            const float error = value - (dark ? 0.f : 255.f);
            for (const Spread& s : spread) {
                const int nx = x + s.dx, ny = y + s.dy;
                if (nx >= 0 && nx < width && ny < height)
                    grey[std::size_t(ny) * width + nx] += error * s.share;
            }
            if (dark != inverted)
                mono.setPixel(x, y, 1);
        }
    }
}
} // namespace

QImage greyOnWhite(const QImage& picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_Grayscale8);
    QImage canvas(picture.size(), QImage::Format_RGB32);
    canvas.fill(kWhitePixel);
    QPainter(&canvas).drawImage(0, 0, picture);
    return canvas.convertToFormat(QImage::Format_Grayscale8);
}

QImage whiteBlock(QSize size)
{
    QImage mono(size, QImage::Format_Mono);
    mono.setColorTable({kWhitePixel, kBlackPixel});
    mono.fill(0);
    return mono;
}

std::optional<LcdBlock> LcdBlock::of(const std::array<std::int64_t, 4>& corners)
{
    const auto [x1, x2, y1, y2] = corners;
    if (x1 < 0 || x1 > x2 || x2 >= kLcdColumns || y1 < 0 || y1 > y2 || y2 >= kLcdRows)
        return std::nullopt;
    return LcdBlock{int(x1), int(x2), int(y1), int(y2)};
}

QString blockPlace(const LcdBlock& block)
{
    return QStringLiteral("columns %1 to %2, rows %3 to %4").arg(block.x1).arg(block.x2).arg(block.y1).arg(block.y2);
}

QSize fittedSize(QSize picture, QSize block)
{
    if (picture.width() <= block.width() && picture.height() <= block.height())
        return picture;
    const QSize scaled = picture.scaled(block, Qt::KeepAspectRatio);
    return scaled.expandedTo(QSize(1, 1));
}

QImage fitToBlock(const QImage& picture, const LcdBlock& block, Fit fit)
{
    const QSize room = block.pixelSize();
    QImage canvas(room, QImage::Format_RGB32);
    canvas.fill(kWhitePixel);
    QSize size = picture.size();
    if (fit == Fit::Fit)
        size = fittedSize(size, room);
    else if (fit == Fit::Fill && !size.isEmpty())
        size = size.scaled(room, Qt::KeepAspectRatioByExpanding).expandedTo(QSize(1, 1));
    const QImage scaled =
        size == picture.size() ? picture : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.drawImage(QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2), scaled);
    return canvas;
}

QImage turned(const QImage& picture, int rotation, bool flipHorizontal, bool flipVertical)
{
    QImage out = picture;
    const int quarter = ((rotation / 90) % 4 + 4) % 4;
    if (quarter != 0)
        out = out.transformed(QTransform().rotate(quarter * 90));
    if (flipHorizontal || flipVertical)
        out = out.mirrored(flipHorizontal, flipVertical);
    return out;
}

QImage placedInBlock(const QImage& picture, const LcdBlock& block, const PictureChoice& choice)
{
    return fitToBlock(turned(picture, choice.rotation, choice.flipHorizontal, choice.flipVertical), block, choice.fit);
}

QImage convertPicture(const QImage& picture, const LcdBlock& block, const PictureChoice& choice)
{
    return blackAndWhite(placedInBlock(picture, block, choice), choice.mono);
}

QImage blackAndWhite(const QImage& fitted, const MonoChoice& choice)
{
    const QImage grey = fitted.convertToFormat(QImage::Format_Grayscale8);
    const int width = grey.width(), height = grey.height();
    QImage mono = whiteBlock(fitted.size());
    if (choice.dither == Dither::Diffuse || choice.dither == Dither::Atkinson) {
        std::vector<float> values(std::size_t(width) * height);
        for (int y = 0; y < height; ++y) {
            const uchar* line = grey.constScanLine(y);
            std::copy(line, line + width, values.begin() + std::ptrdiff_t(y) * width);
        }
        if (choice.dither == Dither::Diffuse)
            diffuse(values, width, height, kFloydSteinberg, mono, choice.inverted);
        else
            diffuse(values, width, height, kAtkinson, mono, choice.inverted);
        return mono;
    }
    for (int y = 0; y < height; ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            // A grey g is dark in as many of the sixteen cells as its
            // darkness needs: (16 - g / 16) of them.
            const int level = choice.dither == Dither::Ordered ? kBayer[y % 4][x % 4] * 16 + 8 : choice.level;
            if ((line[x] < level) != choice.inverted)
                mono.setPixel(x, y, 1);
        }
    }
    return mono;
}

QString blockHex(const QImage& mono, const LcdBlock& block)
{
    QByteArray bytes;
    bytes.reserve(block.bytes());
    for (int row = 0; row < block.rows(); ++row) {
        for (int x = 0; x < block.columns(); ++x) {
            int byte = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (isDarkPixel(mono, x, row * 8 + bit))
                    byte |= 1 << bit;
            bytes += char(byte);
        }
    }
    return QString::fromLatin1(bytes.toHex());
}

std::optional<QImage> blockPicture(QStringView hexPairs, const LcdBlock& block)
{
    const auto bytes = protocol::pairBytes(hexPairs, block.bytes());
    if (!bytes)
        return std::nullopt;
    QImage mono = whiteBlock(block.pixelSize());
    for (int index = 0; index < block.bytes(); ++index) {
        const auto byte = quint8(bytes->at(index));
        const int x = index % block.columns();
        const int top = index / block.columns() * 8;
        for (int bit = 0; bit < 8; ++bit)
            if (byte & (1 << bit))
                mono.setPixel(x, top + bit, 1);
    }
    return mono;
}

PictureFile readPicture(const QString& path)
{
    const QFileInfo info(path);
    if (info.isFile() && info.size() == 0)
        return {{}, QStringLiteral("%1 is empty: there is no picture in it.").arg(nativePath(path))};
    QImageReader reader(path);
    // Photos are shown upright, as a viewer shows them.
    reader.setAutoTransform(true);
    if (QString reason = tooLargeReason(path, reader.size()); !reason.isEmpty())
        return {{}, reason};
    QImage image = reader.read();
    if (image.isNull())
        return {{}, QStringLiteral("%1 is not a picture that can be read: %2")
                        .arg(nativePath(path), reader.errorString())};
    // For the formats that cannot tell their size before decoding.
    if (QString reason = tooLargeReason(path, image.size()); !reason.isEmpty())
        return {{}, reason};
    return {image, {}};
}

QString tooLargeReason(const QString& path, QSize size)
{
    if (!size.isValid() || qint64(size.width()) * size.height() <= kLargestPicturePixels)
        return {};
    return QStringLiteral("%1 is %2 x %3 pixels, too large to read: pictures of up to %4 million pixels are read.")
        .arg(nativePath(path))
        .arg(size.width())
        .arg(size.height())
        .arg(kLargestPicturePixels / 1'000'000);
}

QString pictureFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return QStringLiteral("Pictures (%1);;All files (*)").arg(patterns.join(u' '));
}

QString enlargedPath(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? path : path.chopped(suffix.size() + 1);
    return base + QStringLiteral("@%1x").arg(kEnlargement) + (suffix.isEmpty() ? QString() : u'.' + suffix);
}

QString savePicture(const QImage& mono, const QString& path, bool enlarged)
{
    QString error = writePngFile(mono, path);
    if (error.isEmpty() && enlarged)
        error = writePngFile(mono.scaled(mono.size() * kEnlargement), enlargedPath(path));
    return error;
}

} // namespace varnix::render

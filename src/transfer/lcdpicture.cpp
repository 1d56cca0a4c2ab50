// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/lcdpicture.h"

#include "protocol/encodings.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>

namespace varnix::transfer {

namespace {
constexpr QRgb kWhitePixel = 0xffffffff;
constexpr QRgb kBlackPixel = 0xff000000;

bool isDarkPixel(const QImage& picture, int x, int y)
{
    return qGray(picture.pixel(x, y)) < 128;
}

QImage whiteBlock(QSize size)
{
    QImage mono(size, QImage::Format_Mono);
    mono.setColorTable({kWhitePixel, kBlackPixel});
    mono.fill(0);
    return mono;
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
} // namespace

std::optional<LcdBlock> LcdBlock::of(const std::array<std::int64_t, 4>& corners)
{
    const auto [x1, x2, y1, y2] = corners;
    if (x1 < 0 || x1 > x2 || x2 >= kLcdColumns || y1 < 0 || y1 > y2 || y2 >= kLcdRows)
        return std::nullopt;
    return LcdBlock{int(x1), int(x2), int(y1), int(y2)};
}

QSize fittedSize(QSize picture, QSize block)
{
    if (picture.width() <= block.width() && picture.height() <= block.height())
        return picture;
    const QSize scaled = picture.scaled(block, Qt::KeepAspectRatio);
    return scaled.expandedTo(QSize(1, 1));
}

QImage fitToBlock(const QImage& picture, const LcdBlock& block)
{
    const QSize room = block.pixelSize();
    QImage canvas(room, QImage::Format_RGB32);
    canvas.fill(kWhitePixel);
    const QSize size = fittedSize(picture.size(), room);
    const QImage scaled =
        size == picture.size() ? picture : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.drawImage(QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2), scaled);
    return canvas;
}

QImage blackAndWhite(const QImage& fitted, const MonoChoice& choice)
{
    const Qt::ImageConversionFlags flags =
        choice.dither == Dither::Threshold ? Qt::ThresholdDither : Qt::DiffuseDither;
    // Which colour index Qt's conversion makes black is its own affair: the
    // result is read back by colour into a picture whose index 1 is black.
    const QImage converted = fitted.convertToFormat(QImage::Format_Mono, flags);
    QImage mono = whiteBlock(fitted.size());
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            if (isDarkPixel(converted, x, y) != choice.inverted)
                mono.setPixel(x, y, 1);
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
    const auto tooLarge = [&path](QSize size) {
        return QStringLiteral("%1 is %2 x %3 pixels, too large to read: pictures of up to %4 million pixels "
                              "are read.")
            .arg(nativePath(path))
            .arg(size.width())
            .arg(size.height())
            .arg(kLargestPicturePixels / 1'000'000);
    };
    const auto pixels = [](QSize size) { return qint64(size.width()) * size.height(); };

    QImageReader reader(path);
    // Photos are shown upright, as a viewer shows them.
    reader.setAutoTransform(true);
    const QSize declared = reader.size();
    if (declared.isValid() && pixels(declared) > kLargestPicturePixels)
        return {{}, tooLarge(declared)};
    QImage image = reader.read();
    if (image.isNull())
        return {{}, QStringLiteral("%1 is not a picture that can be read: %2")
                        .arg(nativePath(path), reader.errorString())};
    // For the formats that cannot tell their size before decoding.
    if (pixels(image.size()) > kLargestPicturePixels)
        return {{}, tooLarge(image.size())};
    return {image, {}};
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

} // namespace varnix::transfer

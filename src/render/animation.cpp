// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/animation.h"

#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "protocol/numbers.h"
#include "script/script.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

#include <algorithm>

namespace varnix::render {

namespace {

constexpr int kShortestFrameMs = 20;

QString tooManyFrames(const QString& what)
{
    return QStringLiteral("%1 has more than %2 frames: animations of up to %2 frames are made into scripts.")
        .arg(what, QLocale(QLocale::English).toString(kMostFrames));
}

// All frames of one file.
SourceFrames readFile(const QString& path)
{
    QImageReader reader(path);
    if (!reader.supportsAnimation() || reader.imageCount() == 1) {
        const PictureFile file = readPicture(path);
        if (!file.error.isEmpty())
            return {{}, file.error};
        return {{{file.image, kDefaultFrameMs}}, {}};
    }
    if (reader.imageCount() > kMostFrames)
        return {{}, tooManyFrames(QDir::toNativeSeparators(path))};
    SourceFrames out;
    if (QString reason = tooLargeReason(path, reader.size()); !reason.isEmpty())
        return {{}, reason};
    // Read until a read fails: canRead() can say no before a GIF's last frame.
    for (;;) {
        QImage image = reader.read();
        if (image.isNull())
            break;
        if (QString reason = tooLargeReason(path, image.size()); !reason.isEmpty())
            return {{}, reason};
        if (out.frames.size() == kMostFrames)
            return {{}, tooManyFrames(QDir::toNativeSeparators(path))};
        const int delay = reader.nextImageDelay();
        // A thousand frames of a large picture in colour would take
        // gigabytes; in greys a quarter of that.
        out.frames.append({greyOnWhite(image), delay < kShortestFrameMs ? kDefaultFrameMs : delay});
    }
    if (out.frames.isEmpty())
        return {{}, readPicture(path).error};
    return out;
}

// The block's bytes of a picture as the firmware takes them in a write: a
// byte list.
QString writeFrame(const QImage& mono, const LcdBlock& block)
{
    const auto corner = [](const char* label, int value) {
        return protocol::FieldText{QString::fromLatin1(label), QString::number(value)};
    };
    return protocol::lcdWriteFrame(corner("X1", block.x1), corner("X2", block.x2), corner("Y1", block.y1),
                                   corner("Y2", block.y2),
                                   {QStringLiteral("data"), protocol::byteList(blockHex(mono, block))})
        .frame;
}

int frameLineMs(const QString& frame, int baudRate)
{
    script::Script one;
    one.steps.append({script::Step::Kind::Send, 0, frame});
    return int(script::lineMilliseconds(one, QChar(u']'), kFramePacingMs, baudRate));
}

// The rectangle of bytes, in the block's own columns and rows, in which two
// pictures of the block differ.
QRect changedBytes(const QImage& before, const QImage& after)
{
    QRect changed;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (before.pixelIndex(x, y) != after.pixelIndex(x, y))
                changed |= QRect(x, y / 8, 1, 1);
    return changed;
}

QString header(const QString& title, const LcdBlock& block, qsizetype frames)
{
    return QStringLiteral("# %1: %2 the block of %3.\n")
               .arg(title,
                    frames == 1 ? QStringLiteral("written into") : QStringLiteral("%1 frames played in").arg(frames),
                    blockPlace(block))
        + QStringLiteral("delay %1\n").arg(kFramePacingMs);
}

} // namespace

SourceFrames readFrames(const QStringList& paths)
{
    if (paths.size() == 1)
        return readFile(paths.constFirst());
    if (paths.size() > kMostFrames)
        return {{}, tooManyFrames(QStringLiteral("The set of %1 files").arg(paths.size()))};
    QStringList ordered = paths;
    std::stable_sort(ordered.begin(), ordered.end(), [](const QString& a, const QString& b) {
        return protocol::naturalLess(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    SourceFrames out;
    for (const QString& path : ordered) {
        const PictureFile file = readPicture(path);
        if (!file.error.isEmpty())
            return {{}, file.error};
        out.frames.append({greyOnWhite(file.image), kDefaultFrameMs});
    }
    return out;
}

AnimationScript animationScript(const QList<QImage>& monos, const QList<int>& delaysMs, const LcdBlock& block,
                                int baudRate, const QString& title)
{
    AnimationScript out;
    out.text = header(title, block, monos.size());
    for (qsizetype i = 0; i < monos.size(); ++i) {
        const QImage& mono = monos[i];
        FrameWrite write;
        write.delayMs = i < delaysMs.size() ? delaysMs[i] : kDefaultFrameMs;
        const QString whole = writeFrame(mono, block);
        const QRect changed = i == 0 ? QRect(0, 0, block.columns(), block.rows()) : changedBytes(monos[i - 1], mono);
        if (!changed.isEmpty()) {
            const LcdBlock part{block.x1 + changed.left(), block.x1 + changed.right(), block.y1 + changed.top(),
                                block.y1 + changed.bottom()};
            write.bytes = changed.translated(block.x1, block.y1);
            write.frame = writeFrame(mono.copy(QRect(changed.left(), changed.top() * 8, changed.width(),
                                                     changed.height() * 8)),
                                     part);
            write.lineMs = frameLineMs(write.frame, baudRate);
            out.text += write.frame + u'\n';
        }
        const int wait = std::max(0, write.delayMs - write.lineMs);
        if (wait > 0)
            out.text += QStringLiteral("wait %1\n").arg(wait);
        out.lineMs += std::max(write.delayMs, write.lineMs);
        out.wholeMs += std::max(write.delayMs, frameLineMs(whole, baudRate));
        out.writes.append(write);
    }
    return out;
}

QString AnimationScript::summary(int baudRate) const
{
    if (writes.isEmpty())
        return {};
    const QLocale english(QLocale::English);
    const auto seconds = [&english](qint64 ms) { return english.toString(ms / 1000.0, 'f', ms < 10'000 ? 2 : 1); };
    int slowest = 0;
    qint64 asked = 0;
    for (qsizetype i = 0; i < writes.size(); ++i) {
        asked += writes[i].delayMs;
        if (i > 0)
            slowest = std::max(slowest, writes[i].lineMs);
    }
    QString text = QStringLiteral("%1 frames at %2 baud: %3 s on the line for the first")
                       .arg(writes.size())
                       .arg(baudRate)
                       .arg(seconds(writes.constFirst().lineMs));
    if (writes.size() > 1)
        text += QStringLiteral(", at most %1 s for each of the others").arg(seconds(slowest));
    const double kept = lineMs > 0 ? writes.size() * 1000.0 / lineMs : 0;
    const double wanted = asked > 0 ? writes.size() * 1000.0 / asked : 0;
    text += QStringLiteral("; it keeps %1 frames a second of the %2 it asks (%3 s in all, %4 s had every frame "
                           "been written whole).")
                .arg(english.toString(kept, 'f', 1), english.toString(wanted, 'f', 1), seconds(lineMs),
                     seconds(wholeMs));
    return text;
}

QString stillScript(const QImage& mono, const LcdBlock& block, const QString& title)
{
    return header(title, block, 1) + writeFrame(mono, block) + u'\n';
}

QString saveScript(const QString& text, const QString& path)
{
    QSaveFile file(path);
    const QByteArray utf8 = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(utf8) != utf8.size() || !file.commit())
        return QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    return {};
}

} // namespace varnix::render

// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/screens.h"

#include "render/displaypicture.h"
#include "render/picture.h"
#include "script/escapes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>
#include <QtEndian>

namespace varnix::screens {

namespace {

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype kSignatureSize = 8;
// The signature, then the first chunk, which must be the header: its
// length (13), "IHDR", width, height, bit depth, colour type, ...
constexpr qsizetype kHeaderEnd = kSignatureSize + 8 + 13;

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The display a black-and-white picture of the whole display shows.
board::Display displayOf(const QImage& mono)
{
    return board::displayFromAnswer(render::blockHex(mono, render::LcdBlock{})).value_or(board::Display{});
}

} // namespace

std::variant<Picture, QString> readPicture(const QString& path)
{
    Picture picture;
    picture.path = path;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return picture;
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a picture").arg(shownPath(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(shownPath(path), file.errorString());
    const QByteArray head = file.read(kHeaderEnd);
    if (!head.startsWith(QByteArrayView(kPngSignature, kSignatureSize)))
        return QStringLiteral("%1 is not a PNG picture").arg(shownPath(path));
    if (head.size() < kHeaderEnd || head.mid(kSignatureSize + 4, 4) != "IHDR"
        || qFromBigEndian<quint32>(head.constData() + kSignatureSize) != 13)
        return QStringLiteral("%1 is not a PNG picture: its header is damaged").arg(shownPath(path));
    // Told from the header, so that a picture that claims to be huge is
    // never decoded.
    const quint32 width = qFromBigEndian<quint32>(head.constData() + kSignatureSize + 8);
    const quint32 height = qFromBigEndian<quint32>(head.constData() + kSignatureSize + 12);
    const int bitDepth = quint8(head.at(kSignatureSize + 16));
    if (width != quint32(board::Display::width) || height != quint32(board::Display::height))
        return QStringLiteral("%1 is %2 x %3 pixels; a screen line's picture is the display's %4 x %5")
            .arg(shownPath(path))
            .arg(width)
            .arg(height)
            .arg(board::Display::width)
            .arg(board::Display::height);
    file.seek(0);
    QImageReader reader(&file, "png");
    const QImage image = reader.read();
    if (image.isNull() || image.size() != QSize(board::Display::width, board::Display::height))
        return QStringLiteral("%1 cannot be read: %2").arg(shownPath(path), reader.errorString());
    // Load Picture's default: pixel for pixel at this size, a dot set where
    // the grey is below the middle.
    const render::PictureChoice choice;
    picture.display = displayOf(render::convertPicture(image, render::LcdBlock{}, choice));
    if (bitDepth != 1)
        picture.rule = QStringLiteral("%1 is not one bit a dot: taken as Load Picture takes a picture by default, a "
                                      "dot set where its grey is below %2, transparent parts white")
                           .arg(info.fileName())
                           .arg(choice.mono.level);
    return picture;
}

QString writePicture(const board::Display& display, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Could not make the folder %1").arg(shownPath(folder));
    return render::savePicture(render::displayPicture(display), path, false);
}

render::DisplayColours differenceColours()
{
    render::DisplayColours colours = render::DisplayColours::paper();
    colours.on = QColor(160, 160, 160);
    return colours;
}

QImage differencePicture(const board::Display& expected, const board::Display& shown)
{
    return render::renderDisplay(expected, kDifferenceScale, &shown, differenceColours());
}

QString folderRefusal(const QString& folder)
{
    QFileInfo there(QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath());
    while (!there.exists() && !there.isRoot())
        there.setFile(there.absolutePath());
    if (!there.isDir())
        return QStringLiteral("%1 is not a folder").arg(shownPath(there.filePath()));
    // Tried, since permissions alone do not tell (a read-only mount, an
    // administrator's rights).
    QTemporaryFile trial(QDir(there.absoluteFilePath()).filePath(QStringLiteral(".varnix-XXXXXX")));
    if (!trial.open())
        return QStringLiteral("nothing can be written in %1: %2").arg(shownPath(there.absoluteFilePath()),
                                                                         trial.errorString());
    return {};
}

std::variant<QHash<int, QByteArray>, script::ReadError> exportedPictures(const script::Script& script)
{
    auto read = References::read(script, false);
    if (auto* error = std::get_if<script::ReadError>(&read))
        return *error;
    const References& references = std::get<References>(read);
    QHash<int, QByteArray> pictures;
    for (const script::Step& step : script.steps) {
        const Picture* picture = references.at(step.line);
        if (step.kind != script::Step::Kind::Screen || !picture)
            continue;
        if (!picture->display)
            return script::ReadError{step.line, QStringLiteral("%1 is not there: make it first (varnix --run SCRIPT "
                                                               "--update-screens)")
                                                    .arg(shownPath(picture->path))};
        QByteArray bytes;
        bytes.reserve(board::Display::byteCount);
        for (int row = 0; row < board::Display::rows; ++row) {
            for (int column = 0; column < board::Display::width; ++column)
                bytes += char(picture->display->byteAt(column, row));
        }
        pictures.insert(step.line, bytes);
    }
    return pictures;
}

std::variant<References, script::ReadError> References::read(const script::Script& script, bool update)
{
    References references;
    references.m_update = update;
    QHash<QString, Picture> byPath;
    for (const script::Step& step : script.steps) {
        if (step.kind != script::Step::Kind::Screen)
            continue;
        const QString path = script.screenPath(step);
        if (!byPath.contains(path)) {
            auto read = readPicture(path);
            if (const auto* why = std::get_if<QString>(&read))
                return script::ReadError{step.line, *why};
            if (update) {
                if (const QString why = folderRefusal(QFileInfo(path).absolutePath()); !why.isEmpty())
                    return script::ReadError{step.line, QStringLiteral("%1 cannot be made: %2")
                                                            .arg(QFileInfo(path).fileName(), why)};
            }
            const Picture& picture = std::get<Picture>(read);
            if (!picture.rule.isEmpty())
                references.m_notes << QStringLiteral("line %1: %2").arg(step.line).arg(picture.rule);
            byPath.insert(path, picture);
        }
        references.m_pictures.insert(step.line, byPath.value(path));
    }
    return references;
}

const Picture* References::at(int line) const
{
    const auto found = m_pictures.constFind(line);
    return found == m_pictures.constEnd() ? nullptr : &*found;
}

Judge::Judge(std::shared_ptr<const References> references, std::optional<QString> folder, QString prefix,
             QString howToMake)
    : m_references(std::move(references)), m_folder(std::move(folder)), m_prefix(std::move(prefix)),
      m_howToMake(std::move(howToMake))
{
}

board::ScreenVerdict Judge::operator()(const script::Step& step, const QString& answer)
{
    using Kind = board::ScreenVerdict::Kind;
    board::ScreenVerdict verdict;
    const Picture* picture = m_references ? m_references->at(step.line) : nullptr;
    if (!picture) {
        verdict.kind = Kind::Missing;
        verdict.said = QStringLiteral("the picture of this line was not read before the run");
        return verdict;
    }
    const auto shown = board::readDisplayAnswer(answer).display;
    if (!shown) {
        const QString begun = script::escaped(QStringView(answer).left(40));
        verdict.kind = Kind::NoDisplay;
        verdict.said = QStringLiteral("the board did not send its display memory; it answered \"%1\"")
                           .arg(begun.isEmpty() ? QStringLiteral("nothing") : begun);
        return verdict;
    }
    const auto made = m_made.constFind(picture->path);
    const std::optional<board::Display> expected =
        made != m_made.constEnd() ? std::optional(*made) : picture->display;
    if (!expected) {
        if (m_references->update())
            return make(*picture, *shown);
        verdict.kind = Kind::Missing;
        verdict.said = QStringLiteral("%1 is not there").arg(QFileInfo(picture->path).fileName());
        verdict.pictures = writeFailure(*picture, *shown, std::nullopt, verdict.said);
        verdict.said += QStringLiteral("; ") + m_howToMake;
        return verdict;
    }
    const board::Difference difference = board::compare(*expected, *shown);
    if (difference.count == 0) {
        verdict.said = difference.brief();
        return verdict;
    }
    if (m_references->update() && made == m_made.constEnd())
        return make(*picture, *shown);
    verdict.kind = Kind::Differs;
    verdict.said = difference.brief();
    verdict.pictures = writeFailure(*picture, *shown, expected, verdict.said);
    return verdict;
}

board::ScreenVerdict Judge::make(const Picture& picture, const board::Display& shown)
{
    board::ScreenVerdict verdict;
    if (const QString failure = writePicture(shown, picture.path); !failure.isEmpty()) {
        verdict.kind = board::ScreenVerdict::Kind::Missing;
        verdict.said = failure;
        return verdict;
    }
    m_made.insert(picture.path, shown);
    verdict.kind = board::ScreenVerdict::Kind::Written;
    verdict.said = QStringLiteral("wrote %1 from the board's display").arg(shownPath(picture.path));
    return verdict;
}

QStringList Judge::writeFailure(const Picture& picture, const board::Display& shown,
                                const std::optional<board::Display>& expected, QString& said) const
{
    if (!m_folder)
        return {};
    const QString name = m_prefix + QFileInfo(picture.path).completeBaseName();
    const QString base = m_folder->isEmpty() ? name : QDir(*m_folder).filePath(name);
    QStringList written;
    QString failure = writePicture(shown, base + QStringLiteral("-board.png"));
    if (failure.isEmpty())
        written << base + QStringLiteral("-board.png");
    if (failure.isEmpty() && expected) {
        failure = render::savePicture(differencePicture(*expected, shown), base + QStringLiteral("-diff.png"), false);
        if (failure.isEmpty())
            written << base + QStringLiteral("-diff.png");
    }
    if (!failure.isEmpty())
        said += QStringLiteral("; ") + failure;
    return written;
}

} // namespace varnix::screens

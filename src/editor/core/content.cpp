// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/content.h"

#include <QDir>
#include <QFileInfo>

namespace varnix::editor {

namespace {

Shape blockShape(Kind kind, const QImage& mono, const render::LcdBlock& block)
{
    Shape shape;
    shape.kind = kind;
    shape.n = {block.x1, block.x2, block.y1, block.y2};
    shape.bytes = QByteArray::fromHex(render::blockHex(mono, block).toLatin1());
    return shape;
}

} // namespace

Made madeText(const TextOrigin& origin, const render::LcdBlock& place)
{
    const render::LcdBlock block = render::chosenBlock({place, false, origin.fit}, origin.choice);
    const render::RenderedText rendered = render::renderText(origin.choice, block);
    if (!rendered.error.isEmpty())
        return {std::nullopt, rendered.error};
    Shape shape = blockShape(Kind::Text, rendered.mono, block);
    shape.textOrigin = origin;
    return {shape, {}};
}

Shape pictureShape(const QImage& picture, const PictureOrigin& origin, const render::LcdBlock& place)
{
    Shape shape = blockShape(Kind::Picture, render::convertPicture(picture, place, origin.choice), place);
    shape.pictureOrigin = origin;
    return shape;
}

Made madePicture(const PictureOrigin& origin, const render::LcdBlock& place, const QString& folder)
{
    const render::PictureFile file = render::readPicture(fileAsFound(origin.file, folder));
    if (!file.error.isEmpty())
        return {std::nullopt, file.error};
    return {pictureShape(file.image, origin, place), {}};
}

Made redrawn(const Shape& shape, const QString& folder)
{
    Made made;
    if (shape.kind == Kind::Text)
        made = madeText(shape.textOrigin, shape.block());
    else if (shape.kind == Kind::Picture)
        made = madePicture(shape.pictureOrigin, shape.block(), folder);
    else
        return {shape, {}};
    if (made.shape) {
        made.shape->hidden = shape.hidden;
        made.shape->locked = shape.locked;
    }
    return made;
}

QString unreadableFonts(const QList<Item>& items)
{
    QString first;
    int texts = 0;
    for (const Item& item : items) {
        if (!item.isObject() || item.shape->kind != Kind::Text)
            continue;
        // The font alone: an empty text is read no further than its font.
        render::TextChoice font = item.shape->textOrigin.choice;
        font.text.clear();
        const QString error = render::renderText(font, render::LcdBlock{0, 0, 0, 0}).error;
        if (error.isEmpty())
            continue;
        if (first.isEmpty())
            first = error;
        ++texts;
    }
    if (texts == 0)
        return {};
    return texts == 1 ? QStringLiteral("%1 The text keeps the dots it was saved with.").arg(first)
                      : QStringLiteral("%1 %2 texts keep the dots they were saved with.").arg(first).arg(texts);
}

QString fileAsNamed(const QString& path, const QString& folder)
{
    if (folder.isEmpty())
        return QFileInfo(path).absoluteFilePath();
    const QString relative = QDir(folder).relativeFilePath(QFileInfo(path).absoluteFilePath());
    return relative.startsWith(QStringLiteral("../")) ? QFileInfo(path).absoluteFilePath() : relative;
}

QString fileAsFound(const QString& named, const QString& folder)
{
    if (QFileInfo(named).isAbsolute() || folder.isEmpty())
        return named;
    return QDir(folder).filePath(named);
}

} // namespace varnix::editor

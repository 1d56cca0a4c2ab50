// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/screen.h"

#include <QImage>
#include <QString>

#include <optional>

// Text and pictures made into blocks, as Load Text and Load Picture make
// them, for the objects that keep what made them.
namespace varnix::editor {

struct Made {
    std::optional<Shape> shape;
    QString error; // why it could not be made
};

// A text object drawn anew into its place from its choices: the block
// fitted to the text where the origin says so (standing where the place
// is), the place itself otherwise.
Made madeText(const TextOrigin& origin, const render::LcdBlock& place);

// A picture object drawn anew into its place from the file: `folder` is
// the script's, against which a relative file name is read.
Made madePicture(const PictureOrigin& origin, const render::LcdBlock& place, const QString& folder);
// The same from a picture already read.
Shape pictureShape(const QImage& picture, const PictureOrigin& origin, const render::LcdBlock& place);

// The object drawn anew in its (new) place where it was made from a text
// or a picture; any other as it is.
Made redrawn(const Shape& shape, const QString& folder);

// What a person is told of the screen's texts whose font cannot be read (a
// bitmap font's file moved away, a family no longer installed): they keep
// the dots they were saved with. Empty when every text's font reads.
QString unreadableFonts(const QList<Item>& items);

// How the script names a picture's file: relative to the script's folder
// when it lies there or below, whole otherwise.
QString fileAsNamed(const QString& path, const QString& folder);
QString fileAsFound(const QString& named, const QString& folder);

} // namespace varnix::editor

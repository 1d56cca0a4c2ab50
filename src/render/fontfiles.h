// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "render/bitmapfont.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Bitmap font files and the bitmap fonts fontconfig knows. BDF is read by
// readBdf(), which names the line of what it refuses; PCF and the other
// bitmap formats are read by FreeType; either gzipped.
namespace varnix::render {

struct LoadedFont {
    std::shared_ptr<const BitmapFont> font; // null when refused
    QString error;                          // "6x13.bdf, line 12: ..."
};

// Reads a bitmap font file whole. What was read is kept (by path, size and
// time of change), so that a preview redrawn at every key reads a font once.
// Any thread.
LoadedFont loadBitmapFont(const QString& path);

// Whether a font's name stands for a file rather than a family: it has a
// folder, ends as a font file does (.bdf, .pcf, .gz), or names a file.
bool isFontFile(const QString& name);

// "6x13" for /usr/share/fonts/X11/misc/6x13.pcf.gz: the name a note gives.
QString fontFileName(const QString& path);

// The file dialog's filter of bitmap fonts, then all files.
QString bitmapFontFilter();

// A bitmap font as fontconfig knows it.
struct BitmapFace {
    QString family;
    QString style;
    int pixelSize = 0;
    QString file;
    bool bold = false;
    bool italic = false;
    bool plain = true;   // a style of weight and slant alone, of normal width
    int characters = 0;  // how many characters it covers

    // "Fixed SemiCondensed, 13 pixels (6x13)"
    QString label() const;
};

// The bitmap fonts fontconfig knows, by family, size and style. Those are
// found even where fontconfig is set to keep them from other programs (as
// Debian sets it): here they are what is asked for. Any thread.
QList<BitmapFace> bitmapFaces();

// The bitmap face that a name stands for: the name of its file as
// fontconfig knows it ("6x13"), or a fontconfig pattern of a family
// ("Terminus", "Terminus:pixelsize=16:bold", "Fixed:style=SemiCondensed").
// The size, bold and italic are taken where the pattern does not say them;
// the nearest face is taken where none has them, and `notes` says what was
// not had. Nothing when no bitmap face is of that name or family.
struct FoundFace {
    QString file;
    QStringList notes;
};
std::optional<FoundFace> findBitmapFace(const QString& name, int pixelSize, bool bold, bool italic);

} // namespace varnix::render

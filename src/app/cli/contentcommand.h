// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/cli/exportcommand.h"
#include "render/picture.h"
#include "render/text.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace varnix {

// What `varnix --text TEXT` or `varnix --picture FILE` makes: the block as a
// PNG, a script that writes it, or both.
struct ContentRequest {
    bool isText = false;
    QString source;   // the text, or the picture file (a folder: its numbered PNG files)
    render::TextChoice text;
    render::PictureChoice picture;
    render::BlockChoice block; // --block; the whole display when not given
    QString script;   // --script OUT.vnx
    int baudRate = 19200;
    QStringList seen; // the content options given, for the refusal without --text or --picture
};

namespace content {

// The options of --text and --picture, their own included.
bool isOption(const QString& name);
bool takesValue(const QString& name);
// Reads one option into the request; empty, or why it is refused.
QString readOption(const QString& name, const QString& value, ContentRequest& request);

// Makes what the request asks for (and, with --export, the script's code),
// with a QGuiApplication of its own on the offscreen platform unless another
// is set: no display is needed. 0; 2 when the font, the picture, the code or
// a file to write fails.
int make(const ContentRequest& request, const QString& png, int scale, const ExportChoice& exportChoice, int argc,
         char* argv[]);

} // namespace content
} // namespace varnix

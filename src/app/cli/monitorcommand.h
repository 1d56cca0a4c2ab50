// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace varnix {

// What `varnix --decode FILE` or `varnix --monitor HOST_PORT --port
// BOARD_PORT` is asked to do.
struct MonitorRequest {
    QString decode;   // --decode: the capture, log, script or raw file
    QString host;     // --monitor: the host's port
    QString save;     // --save: where the capture is kept
    QString line;  // --line, both sides, or the command line's default
    bool json = false;
    qint64 at = 0;    // --at: the event whose display --png writes; 0 the end
    QStringList seen; // the options of its own given
};

namespace linemonitor {

bool isOption(const QString& name);
bool takesValue(const QString& name);
// Reads one option into the request; empty, or why it is refused.
QString readOption(const QString& name, const QString& value, MonitorRequest& request);
// Why the options do not go together; empty when they do. `decoding` and
// `passing` say which of the two was asked for, if any.
QString check(const MonitorRequest& request, bool decoding, bool passing, bool sawPort, bool sawPng);

// Prints the events of a file, a line each (or JSON lines), and with a PNG
// path writes the display at the end or after event `at`. 0 when every
// frame was taken; 1 when the board refused one or one is unfinished; 2 when
// the file or the picture cannot be read or written.
int decode(const MonitorRequest& request, const QString& png, int scale, QTextStream& out, QTextStream& err);
// Passes bytes between the host's port and the board's, printing the events
// as they pass, until Ctrl+C (or both ports are gone); then a summary line.
// 0; 1 when both ports were lost; 2 when one cannot be opened or the capture
// not written. Needs a running QCoreApplication.
int passThrough(const MonitorRequest& request, const QString& boardPort, QTextStream& out, QTextStream& err);

} // namespace linemonitor
} // namespace varnix

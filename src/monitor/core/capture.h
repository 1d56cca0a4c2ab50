// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/decoder.h"
#include "script/script.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <functional>

class QIODevice;

namespace varnix::monitor {

// A capture holds what passed between a host and the board, both ways, with
// local times to the millisecond, in the session log's form:
//
//   Varnix 1.2 capture: host /dev/ttyUSB0, board /dev/ttyUSB1, 19200,n,8,1, 2025-01-31
//   21:36:12.345 > ]c]402014
//   21:36:12.512 < Ready:\x0d\x0a
//   21:36:20.101 * board: lost
//
// ">" is what the host sent, "<" what the board sent, "*" a note. Unlike the
// session log's, each line is a run of bytes exactly as they came, line
// breaks written \x0d and \x0a: read back, every byte is where it was.
class CaptureWriter
{
public:
    // A line holds no more; a longer run goes on in the next.
    static constexpr qsizetype kLongestLine = 64 * 1024;

    // Writes the first line: what was captured ("host /dev/ttyUSB0, board
    // /dev/ttyUSB1, 19200,n,8,1") and the date of `at`.
    CaptureWriter(QIODevice& device, const QString& what, qint64 at);
    ~CaptureWriter();

    // Bytes that came at `at` (milliseconds since the epoch). Bytes of one
    // direction in the same millisecond make one line.
    void add(Direction direction, QByteArrayView bytes, qint64 at);
    void note(const QString& text, qint64 at);
    // Writes what waits, through to a file's disk; false once a write has
    // failed.
    bool flush();
    bool failed() const { return m_failed; }

private:
    void endLine();
    void line(qint64 at, char marker, QStringView text);

    QIODevice& m_device;
    QByteArray m_out;
    QDate m_date;
    Direction m_direction = Direction::None;
    qint64 m_at = 0;
    QByteArray m_run;
    bool m_failed = false;
};

// Reads, as a stream, what a host and a board sent: a capture, a session
// log of Varnix (its received lines taken as ending in CR LF, which the log
// leaves out), the timed output of jpnevulator (--timing-print, its devices
// named host and board by alias, or else the first it names is the host's),
// a script (what it sends, at 19200 baud with its pacing and waits, and the
// line quiet after each frame while it waits for the prompt), or raw
// bytes the host sent, without times. A line it cannot read is a note, with
// its number, and the reading goes on.
class CaptureReader
{
public:
    enum class Form { Capture, SessionLog, Jpnevulator, Script, Raw };

    struct Item {
        enum class Kind { Bytes, Note, End };
        Kind kind = Kind::End;
        Direction direction = Direction::Host;
        QByteArray bytes;
        qint64 at = 0;  // milliseconds
        QString note;
        bool leftOut = false; // the note tells of a part of the file that could not be read
    };

    // A line longer than this is cut, and said so.
    static constexpr qsizetype kLongestLine = 1024 * 1024;
    // Raw bytes are read in parts of this size.
    static constexpr qsizetype kRawPart = 64 * 1024;
    // How far the reader looks to tell a file's form.
    static constexpr qsizetype kLookAhead = 8 * 1024;

    // Reads from a device open for reading; `name` is the file's name,
    // which tells a script by its ending.
    CaptureReader(QIODevice& device, const QString& name);

    Form form() const { return m_form; }
    // The times are local times of day (a capture, a log, jpnevulator),
    // rather than milliseconds from the start.
    bool timesOfDay() const { return m_form != Form::Script && m_form != Form::Raw; }
    // The file holds the board's side too, and whether the host reached the
    // board through the line captured (a pass-through) rather than beside it.
    bool boardHeard() const { return m_boardHeard; }
    bool passedThrough() const { return m_passedThrough; }
    // Parts of the file left out so far, each told in a note.
    qint64 leftOut() const { return m_leftOut; }
    Item next();

private:
    Item nextLine();
    Item readLogLine(QByteArrayView line);
    Item readJpnevulatorLine(QByteArrayView line);
    Item readScriptLine(QByteArrayView line);
    Item note(const QString& text);
    // A line that cannot be read, quoted in the note.
    Item damaged(QByteArrayView line, const QString& why);
    // A note of a part of the file left out.
    Item leftOutNote(const QString& text);
    // Keeps times from going back (midnight passed, a clock set back).
    qint64 forward(qint64 at);

    QIODevice& m_device;
    Form m_form = Form::Raw;
    bool m_boardHeard = false;
    bool m_passedThrough = false;
    qint64 m_leftOut = 0;
    qint64 m_line = 0;
    qint64 m_read = 0;
    qint64 m_lastAt = 0;
    QDate m_date;
    qint64 m_dayStart = 0;
    QList<Item> m_waiting;
    QByteArray m_buffer;
    bool m_ended = false;
    // jpnevulator: the time of the lines that follow, and the devices seen.
    qint64 m_packetAt = 0;
    Direction m_packetDirection = Direction::Host;
    QStringList m_devices;
    // A script: its clock and pacing.
    double m_scriptMs = 0;
    int m_delay = script::kDefaultDelay;
    bool m_ready = true;
};

// Gives the decoder what the reader read: bytes, or a note (a lost port's
// as the loss it tells of).
void feed(Decoder& decoder, const CaptureReader::Item& item);

// What decodeFile() read.
struct FileRead {
    bool opened = false;
    qint64 bytes = 0;
    qint64 leftOut = 0;  // parts of it that could not be read, each a note
    CaptureReader::Form form = CaptureReader::Form::Raw;
    bool timesOfDay = false;
};

// Reads a capture file of any form into the decoder, to its end, the board
// heard where the file holds its side; `opened` is told the file's form
// before the first event. A file that cannot be opened is one note.
FileRead decodeFile(const QString& path, Decoder& decoder,
                    const std::function<void(const FileRead&)>& opened = {});

// Writes what a file of any form holds as a capture, whole or not at all;
// why it could not, or empty. A source without times of day starts at
// midnight.
QString saveAsCapture(const QString& source, const QString& target);

} // namespace varnix::monitor

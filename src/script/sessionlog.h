// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace varnix::link {
class Connection;
}

namespace varnix::script {

// A log of the session on disk, both directions with local times to the
// millisecond:
//
//   Varnix 1.2 session log: /dev/ttyUSB0, 19200,n,8,1, 2025-01-31
//   21:36:12.345 > ]c]402014
//   21:36:12.512 < Ready:
//   21:36:15.020 * closed
//
// ">" is a frame or a group of typed characters that went out, "<" a line
// that came in, "*" an event (the port opened, closed or lost, the date
// changed, or a line given to note()). Texts are written through escaped(),
// so a line never holds a raw control character.
//
// Received text is split at line breaks: a CR LF pair is one break, a lone
// CR or LF is one too, and the breaks themselves are not written. Text
// without a break is written once the line has been quiet for kQuietMs.
// Typed characters gather into one line until Enter (written as \x0d),
// a pause of kTypingPauseMs, or any other line: typing a command by hand
// gives one line, and the board's answer ends it. Every line carries the
// time its first character came or went (a frame: the time it had gone
// out), and reaches the file as soon as it is complete, so a crash loses at
// most the lines in progress.
//
// A file that cannot be opened or written (no permission, disk full, file
// removed or moved) is reported once through failed(), and the log stops.
class SessionLog : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    enum class Mode { Replace, Append };

    static constexpr int kQuietMs = 100;
    static constexpr int kTypingPauseMs = 1000;
    // A received line longer than this goes to the file in parts, so that a
    // board that never sends a line break cannot make the log hold it all.
    // A whole external EEPROM in hex fits in one line.
    static constexpr qsizetype kLongestLine = 1 << 17;

    // The clock gives the local time of each line; the system's by default.
    explicit SessionLog(link::Connection& connection, Clock clock = {}, QObject* parent = nullptr);
    ~SessionLog() override;

    // Starts a log into the file (after stopping one that runs) and writes
    // its first line, which names the port open, or else portName (a port
    // about to open), or else says the port is closed. False, and failed()
    // told, when that cannot be done.
    bool start(const QString& path, Mode mode = Mode::Replace, const QString& portName = {});
    // Writes what is in progress and a last line, and closes the file.
    void stop();
    bool running() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

    // Writes an event line of the caller's ("reconnected to /dev/ttyUSB0").
    void note(const QString& event);

    // The time on the log's clock, for whatever must match its lines.
    QDateTime now() const;
    void setClock(Clock clock) { m_clock = std::move(clock); }

signals:
    // Why the log could not be opened or written, as a sentence for the
    // user; the log has stopped by then.
    void failed(const QString& message);
    // The log started or stopped, for whatever reason.
    void runningChanged(bool running);

private:
    struct Line {
        QDateTime since;
        QString text;
        bool active = false;
    };

    void onReceived(const QString& characters);
    void onSent(const QString& characters, bool transmission);
    // Named apart from QObject::event(), which it would hide.
    void writeEvent(const QString& text);

    // Ends the lines in progress, the received one and the typed one, the
    // one that began first written first: a line of either kind, or an
    // event, ends both.
    void endLines();
    void addLine(const QDateTime& at, QChar marker, QStringView text);
    // Writes what was added to the file; false when the log has failed.
    bool writeOut();
    void fail(const QString& message);
    void close();

    link::Connection& m_connection;
    Clock m_clock;
    QFile m_file;
    QString m_path;
    QString m_out;
    QDate m_lastDate;
    Line m_in;
    Line m_typed;
    // The last received line was written for quiet, not ended by a break: a
    // break now ends it without a line of its own.
    bool m_inWritten = false;
    // A CR ended the last line: an LF right behind it belongs to it.
    bool m_afterCr = false;
    QTimer* m_quiet;
    QTimer* m_typingPause;
};

} // namespace varnix::script

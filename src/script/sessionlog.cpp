// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/sessionlog.h"

#include <mutex>

#include "link/core/connection.h"
#include "link/core/serialport.h"
#include "script/escapes.h"

#include "varnixversion.h"

#include <QTimer>

#include <sys/stat.h>

namespace varnix::script {

SessionLog::SessionLog(link::Connection& connection, Clock clock, QObject* parent)
    : QObject(parent), m_connection(connection), m_clock(std::move(clock)), m_quiet(new QTimer(this)),
      m_typingPause(new QTimer(this))
{
    m_quiet->setSingleShot(true);
    m_quiet->setInterval(kQuietMs);
    m_typingPause->setSingleShot(true);
    m_typingPause->setInterval(kTypingPauseMs);
    auto endAndWrite = [this] {
        endLines();
        writeOut();
    };
    connect(m_quiet, &QTimer::timeout, this, endAndWrite);
    connect(m_typingPause, &QTimer::timeout, this, endAndWrite);
    connect(&m_connection, &link::Connection::received, this, &SessionLog::onReceived);
    connect(&m_connection, &link::Connection::sent, this, &SessionLog::onSent);
    connect(&m_connection, &link::Connection::opened, this, [this] {
        link::SerialPort& port = m_connection.port();
        const QString device = port.device().isEmpty() ? QStringLiteral("the port") : port.device();
        writeEvent(QStringLiteral("opened %1, %2").arg(device, port.settings()));
    });
    connect(&m_connection, &link::Connection::closed, this, [this] { writeEvent(QStringLiteral("closed")); });
    connect(&m_connection, &link::Connection::lost, this, [this](const QString& reason) {
        writeEvent(reason.isEmpty() ? QStringLiteral("lost") : QStringLiteral("lost: %1").arg(reason));
    });
}

SessionLog::~SessionLog()
{
    stop();
}

QDateTime SessionLog::now() const
{
    if (m_clock)
        return m_clock();
    // The C library works local time out afresh each time, under a lock of
    // its own that ThreadSanitizer cannot see; the logs of a fleet's boards,
    // each in its own thread, ask for it one at a time under this one. The
    // time is kept with its offset from UTC, so that nothing asks again to
    // write it out.
    static std::mutex localTime;
    const std::lock_guard locked(localTime);
    const QDateTime local = QDateTime::currentDateTime();
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

bool SessionLog::start(const QString& path, Mode mode, const QString& portName)
{
    stop();
    m_file.setFileName(path);
    QIODevice::OpenMode openMode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    openMode |= mode == Mode::Append ? QIODevice::Append : QIODevice::Truncate;
    if (!m_file.open(openMode)) {
        emit failed(QStringLiteral("The log file %1 could not be opened: %2.").arg(path, m_file.errorString()));
        return false;
    }
    m_path = path;
    m_in = {};
    m_typed = {};
    m_inWritten = false;
    m_afterCr = false;
    const QDateTime at = now();
    m_lastDate = at.date();
    link::SerialPort& port = m_connection.port();
    QString device = portName.isEmpty() ? QStringLiteral("port closed") : portName;
    if (m_connection.isOpen())
        device = port.device().isEmpty() ? QStringLiteral("port open") : port.device();
    m_out = escaped(QStringLiteral("Varnix %1 session log: %2, %3, %4")
                        .arg(QLatin1String(kVersion), device, port.settings(), at.date().toString(Qt::ISODate)));
    m_out += u'\n';
    if (!writeOut())
        return false;
    emit runningChanged(true);
    return true;
}

void SessionLog::stop()
{
    if (!running())
        return;
    endLines();
    addLine(now(), u'*', u"log stopped");
    if (writeOut()) {
        close();
        emit runningChanged(false);
    }
}

void SessionLog::note(const QString& text)
{
    writeEvent(text);
}

void SessionLog::writeEvent(const QString& text)
{
    if (!running())
        return;
    endLines();
    addLine(now(), u'*', text);
    writeOut();
}

void SessionLog::onReceived(const QString& characters)
{
    if (!running())
        return;
    const QDateTime at = now();
    for (const QChar c : characters) {
        const bool afterCr = std::exchange(m_afterCr, false);
        if (c == u'\n' && afterCr)
            continue;
        if (c == u'\r' || c == u'\n') {
            m_afterCr = c == u'\r';
            if (!m_in.active && m_inWritten) {
                // The break ends a line already written.
                m_inWritten = false;
                continue;
            }
            if (!m_in.active)
                m_in = {at, QString(), true};
            endLines();
            m_inWritten = false;
            continue;
        }
        if (!m_in.active)
            m_in = {at, QString(), true};
        m_in.text += c;
        if (m_in.text.size() >= kLongestLine)
            endLines();
    }
    if (!writeOut())
        return;
    if (m_in.active)
        m_quiet->start();
}

void SessionLog::onSent(const QString& characters, bool transmission)
{
    if (!running())
        return;
    const QDateTime at = now();
    if (transmission) {
        endLines();
        addLine(at, u'>', characters);
        writeOut();
        return;
    }
    if (!m_typed.active)
        m_typed = {at, QString(), true};
    m_typed.text += characters;
    if (characters.endsWith(u'\r'))
        endLines();
    if (!writeOut())
        return;
    if (m_typed.active)
        m_typingPause->start();
}

void SessionLog::endLines()
{
    m_quiet->stop();
    m_typingPause->stop();
    const bool typedFirst = !m_in.active || (m_typed.active && m_typed.since <= m_in.since);
    Line* lines[2] = {&m_typed, &m_in};
    if (!typedFirst)
        std::swap(lines[0], lines[1]);
    for (Line* line : lines) {
        if (!line->active)
            continue;
        addLine(line->since, line == &m_in ? u'<' : u'>', line->text);
        *line = {};
        if (line == &m_in)
            m_inWritten = true;
    }
}

void SessionLog::addLine(const QDateTime& at, QChar marker, QStringView text)
{
    if (at.date() != m_lastDate) {
        m_lastDate = at.date();
        m_out += at.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral(" * date ")
                 + at.date().toString(Qt::ISODate) + u'\n';
    }
    m_out += at.toString(QStringLiteral("HH:mm:ss.zzz"));
    m_out += u' ';
    m_out += marker;
    if (!text.isEmpty()) {
        m_out += u' ';
        m_out += escaped(text);
    }
    m_out += u'\n';
}

bool SessionLog::writeOut()
{
    if (m_out.isEmpty() || !running())
        return running();
    const QByteArray bytes = m_out.toLatin1();
    m_out.clear();
    if (m_file.write(bytes) != bytes.size()) {
        fail(QStringLiteral("The log file %1 could not be written: %2. The log has stopped; the session goes on.")
                 .arg(m_path, m_file.errorString()));
        return false;
    }
    // Writes into a file that was removed or moved succeed but reach nothing
    // anyone will read.
    struct stat held {};
    struct stat named {};
    if (::fstat(m_file.handle(), &held) != 0 || held.st_nlink == 0
        || ::stat(QFile::encodeName(m_path).constData(), &named) != 0 || named.st_dev != held.st_dev
        || named.st_ino != held.st_ino) {
        fail(QStringLiteral("The log file %1 was removed or moved. The log has stopped; the session goes on.")
                 .arg(m_path));
        return false;
    }
    return true;
}

void SessionLog::fail(const QString& message)
{
    close();
    emit failed(message);
    emit runningChanged(false);
}

void SessionLog::close()
{
    m_quiet->stop();
    m_typingPause->stop();
    m_in = {};
    m_typed = {};
    m_out.clear();
    m_file.close();
    m_path.clear();
}

} // namespace varnix::script

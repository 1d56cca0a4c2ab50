// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/capture.h"

#include "monitor/core/eventtext.h"

#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "script/escapes.h"
#include "script/script.h"

#include "varnixversion.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cmath>

namespace varnix::monitor {

namespace {

constexpr qint64 kDayMs = 24 * 3600 * 1000;
// A script's characters take this long each at 19200 baud, 10 bits a character.
constexpr double kScriptCharacterMs = 10.0 * 1000.0 / 19200.0;
// A raw file is no capture when more than this share of what the reader
// looks at first is no text.
constexpr int kMostNotText = 10; // per cent


// Two digits at `at`, or -1.
int digits(QByteArrayView text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "HH:mm:ss.zzz" as milliseconds of the day, or -1.
qint64 timeOfDay(QByteArrayView text)
{
    if (text.size() < 12 || text[2] != ':' || text[5] != ':' || text[8] != '.')
        return -1;
    const int h = digits(text, 0, 2), m = digits(text, 3, 2), s = digits(text, 6, 2), ms = digits(text, 9, 3);
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0)
        return -1;
    return ((qint64(h) * 60 + m) * 60 + s) * 1000 + ms;
}

QDate dateOf(QByteArrayView text)
{
    return text.size() == 10 ? QDate::fromString(QString::fromLatin1(text), Qt::ISODate) : QDate();
}

qint64 dayStart(const QDate& date)
{
    return QDateTime(date.isValid() ? date : QDate(1970, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
}

// jpnevulator's timing line: "2025-01-31 21:36:12.345678:" and perhaps a device.
bool isJpnevulatorTime(QByteArrayView line)
{
    return line.size() >= 27 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':'
        && line[16] == ':' && line[19] == '.' && line[26] == ':' && dateOf(line.first(10)).isValid()
        && timeOfDay(line.sliced(11, 12)) >= 0;
}

} // namespace

CaptureWriter::CaptureWriter(QIODevice& device, const QString& what, qint64 at) : m_device(device)
{
    m_date = localDate(at);
    m_out = script::escaped(QStringLiteral("Varnix %1 capture: %2, %3")
                                .arg(QLatin1String(kVersion), what, m_date.toString(Qt::ISODate)))
                .toLatin1();
    m_out += '\n';
}

CaptureWriter::~CaptureWriter()
{
    flush();
}

void CaptureWriter::add(Direction direction, QByteArrayView bytes, qint64 at)
{
    while (!bytes.isEmpty()) {
        if (direction != m_direction || at != m_at || m_run.size() >= kLongestLine)
            endLine();
        m_direction = direction;
        m_at = at;
        const qsizetype room = std::min(bytes.size(), kLongestLine - m_run.size());
        m_run += bytes.first(room);
        bytes = bytes.sliced(room);
    }
}

void CaptureWriter::note(const QString& text, qint64 at)
{
    endLine();
    line(at, '*', text);
}

void CaptureWriter::endLine()
{
    if (!m_run.isEmpty())
        line(m_at, m_direction == Direction::Host ? '>' : '<', QString::fromLatin1(m_run));
    m_run.clear();
    m_direction = Direction::None;
}

void CaptureWriter::line(qint64 at, char marker, QStringView text)
{
    const QDate date = localDate(at);
    const QByteArray time = timeText(at, true).toLatin1();
    if (date != m_date) {
        m_date = date;
        m_out += time + " * date " + date.toString(Qt::ISODate).toLatin1() + '\n';
    }
    m_out += time;
    m_out += ' ';
    m_out += marker;
    if (!text.isEmpty()) {
        m_out += ' ';
        m_out += script::escaped(text).toLatin1();
    }
    m_out += '\n';
}

bool CaptureWriter::flush()
{
    endLine();
    if (m_failed || m_out.isEmpty())
        return !m_failed;
    if (m_device.write(m_out) != m_out.size())
        m_failed = true;
    // On disk, for whoever reads the file while it grows.
    if (auto* file = qobject_cast<QFileDevice*>(&m_device); file && !m_failed)
        m_failed = !file->flush();
    m_out.clear();
    return !m_failed;
}

CaptureReader::CaptureReader(QIODevice& device, const QString& name) : m_device(device)
{
    const QByteArray head = device.peek(kLookAhead);
    const qsizetype end = head.indexOf('\n');
    QByteArrayView first = QByteArrayView(head).first(end < 0 ? head.size() : end);
    if (first.endsWith('\r'))
        first.chop(1);
    if (first.startsWith("Varnix ") && (first.contains(" capture: ") || first.contains(" session log: "))) {
        m_form = first.contains(" capture: ") ? Form::Capture : Form::SessionLog;
        // A session log is the window's own, with the board; a capture names
        // the board's side, or holds its lines.
        const QByteArrayView what = first.sliced(first.indexOf(": ") + 2);
        m_passedThrough = m_form == Form::Capture && what.startsWith("host ") && what.contains(", board ");
        m_boardHeard = m_form == Form::SessionLog || what.contains("board ")
            || QRegularExpression(QStringLiteral("\n\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d <"))
                   .match(QString::fromLatin1(head))
                   .hasMatch();
        m_device.readLine(kLongestLine);
        m_line = 1;
        m_read = first.size() + 1;
        m_date = dateOf(first.size() >= 10 ? first.last(10) : QByteArrayView());
        if (!m_date.isValid())
            m_waiting << note(QStringLiteral("line 1: no date at the end of the first line; the times are read "
                                             "as those of a day of their own"));
    } else if (isJpnevulatorTime(first)) {
        m_form = Form::Jpnevulator;
        // Two devices, or one named the board.
        QStringList devices;
        for (const QByteArray& line : head.split('\n')) {
            if (!isJpnevulatorTime(line))
                continue;
            const QString device = QString::fromLatin1(line.sliced(27)).trimmed();
            if (!device.isEmpty() && !devices.contains(device))
                devices << device;
        }
        m_boardHeard = devices.size() > 1 || devices.contains(QStringLiteral("board"));
    } else if (name.endsWith(u'.' + QLatin1String(script::kExtension), Qt::CaseInsensitive)) {
        m_form = Form::Script;
    } else {
        m_form = Form::Raw;
        qsizetype notText = 0;
        for (const char c : head) {
            const auto byte = quint8(c);
            notText += (byte < 0x20 || byte > 0x7e) && c != '\r' && c != '\n' && c != '\t';
        }
        if (notText * 100 > head.size() * kMostNotText) {
            m_waiting << note(QStringLiteral("This is no capture: %1 of its first %2 bytes are no text. It is read "
                                             "as raw bytes the host sent.")
                                  .arg(notText)
                                  .arg(head.size()));
        } else if (!head.isEmpty() && !head.contains(']')) {
            m_waiting << note(QStringLiteral("This is no capture: its first %1 bytes hold no frame. It is read as "
                                             "raw bytes the host sent.")
                                  .arg(head.size()));
        }
    }
    m_dayStart = dayStart(m_date);
    m_lastAt = m_form == Form::Capture || m_form == Form::SessionLog ? m_dayStart : 0;
}

CaptureReader::Item CaptureReader::note(const QString& text)
{
    Item item;
    item.kind = Item::Kind::Note;
    item.direction = Direction::None;
    item.note = text;
    item.at = m_lastAt;
    return item;
}

CaptureReader::Item CaptureReader::damaged(QByteArrayView line, const QString& why)
{
    return leftOutNote(QStringLiteral("line %1: %2, left out: %3")
                           .arg(m_line)
                           .arg(why, protocol::quoted(script::escaped(QString::fromLatin1(line)))));
}

CaptureReader::Item CaptureReader::leftOutNote(const QString& text)
{
    ++m_leftOut;
    Item item = note(text);
    item.leftOut = true;
    return item;
}

qint64 CaptureReader::forward(qint64 at)
{
    // A log written across midnight without its date line: the days that
    // turned since.
    if (m_lastAt - at > kDayMs / 2 && m_form != Form::Script)
        at += kDayMs * ((m_lastAt - at - kDayMs / 2 + kDayMs - 1) / kDayMs);
    // A clock put back: the times never go back.
    return m_lastAt = std::max(m_lastAt, at);
}

CaptureReader::Item CaptureReader::next()
{
    while (m_waiting.isEmpty() && !m_ended) {
        if (m_form == Form::Raw) {
            Item item;
            item.kind = Item::Kind::Bytes;
            item.bytes = m_device.read(kRawPart);
            m_read += item.bytes.size();
            if (item.bytes.isEmpty()) {
                m_ended = true;
                break;
            }
            return item;
        }
        Item item = nextLine();
        if (item.kind != Item::Kind::End)
            m_waiting << item;
    }
    if (m_waiting.isEmpty())
        return Item{};
    return m_waiting.takeFirst();
}

CaptureReader::Item CaptureReader::nextLine()
{
    // One buffer for every line, grown as long lines need, up to the
    // longest.
    constexpr qsizetype kPart = 4096;
    qint64 length = 0;
    for (;;) {
        if (m_buffer.size() < length + kPart + 1)
            m_buffer.resize(std::min(std::max(m_buffer.size() * 2, length + kPart + 1), kLongestLine + 1));
        const qint64 more = m_device.readLine(m_buffer.data() + length, m_buffer.size() - length);
        if (more <= 0)
            break;
        length += more;
        if (m_buffer[length - 1] == '\n' || length >= kLongestLine || m_device.atEnd())
            break;
    }
    if (length <= 0) {
        m_ended = true;
        return Item{};
    }
    ++m_line;
    m_read += length;
    if (m_buffer[length - 1] != '\n' && !m_device.atEnd()) {
        // Longer than any line this reads: skip to its end, holding no more.
        qint64 skipped = length;
        while ((length = m_device.readLine(m_buffer.data(), m_buffer.size())) > 0) {
            skipped += length;
            m_read += length;
            if (m_buffer[length - 1] == '\n')
                break;
        }
        return leftOutNote(QStringLiteral("line %1 is %2 bytes long, longer than any line of a capture; left out")
                        .arg(m_line)
                        .arg(skipped));
    }
    while (length > 0 && (m_buffer[length - 1] == '\n' || m_buffer[length - 1] == '\r'))
        --length;
    const QByteArrayView line(m_buffer.constData(), length);
    switch (m_form) {
    case Form::Capture:
    case Form::SessionLog:
        return readLogLine(line);
    case Form::Jpnevulator:
        return readJpnevulatorLine(line);
    case Form::Script:
        return readScriptLine(line);
    case Form::Raw:
        break;
    }
    return Item{};
}

CaptureReader::Item CaptureReader::readLogLine(QByteArrayView line)
{
    if (line.isEmpty())
        return Item{};
    const qint64 ms = timeOfDay(line);
    if (ms < 0 || line.size() < 14 || line[12] != ' ' || (line.size() > 14 && line[14] != ' '))
        return damaged(line, QStringLiteral("not a line of a capture"));
    const char marker = line[13];
    const QByteArrayView text = line.size() > 15 ? line.sliced(15) : QByteArrayView();
    if (marker == '*' && text.startsWith("date ") && dateOf(text.sliced(5)).isValid()) {
        m_date = dateOf(text.sliced(5));
        m_dayStart = dayStart(m_date);
        m_lastAt = std::max(m_lastAt, m_dayStart);
        return Item{};
    }
    const qint64 at = forward(m_dayStart + ms);
    if (marker == '*') {
        Item item = note(QString::fromLatin1(text));
        item.at = at;
        return item;
    }
    if (marker != '>' && marker != '<')
        return damaged(line, QStringLiteral("not a line of a capture"));
    qsizetype badAt = 0;
    const auto bytes = script::unescaped(QString::fromLatin1(text), &badAt);
    if (!bytes || !protocol::isLatin1(*bytes))
        return damaged(line, QStringLiteral("a broken escape at column %1").arg(16 + badAt));
    Item item;
    item.kind = Item::Kind::Bytes;
    item.direction = marker == '>' ? Direction::Host : Direction::Board;
    item.bytes = bytes->toLatin1();
    // The log leaves out the line breaks of what it received.
    if (m_form == Form::SessionLog && marker == '<')
        item.bytes += "\r\n";
    item.at = at;
    return item;
}

CaptureReader::Item CaptureReader::readJpnevulatorLine(QByteArrayView line)
{
    if (line.isEmpty())
        return Item{};
    if (isJpnevulatorTime(line)) {
        const QDate date = dateOf(line.first(10));
        m_packetAt = forward(dayStart(date) + timeOfDay(line.sliced(11, 12)));
        const QString device = QString::fromLatin1(line.sliced(27)).trimmed();
        m_packetDirection = Direction::Host;
        if (device == u"board") {
            m_packetDirection = Direction::Board;
        } else if (device != u"host" && !device.isEmpty()) {
            if (!m_devices.contains(device))
                m_devices << device;
            const qsizetype index = m_devices.indexOf(device);
            m_packetDirection = index == 1 ? Direction::Board : Direction::Host;
            if (index == 2 && m_devices.size() == 3)
                return note(QStringLiteral("line %1: a third device, %2; its bytes are read as the host's")
                                .arg(m_line)
                                .arg(device));
        }
        return Item{};
    }
    // "5D 63 5D" and perhaps a tab and the same bytes as text.
    Item item;
    item.kind = Item::Kind::Bytes;
    item.direction = m_packetDirection;
    item.at = m_packetAt;
    qsizetype at = 0;
    while (at + 1 < line.size()) {
        const int high = protocol::hexDigitValue(char16_t(line[at]));
        const int low = protocol::hexDigitValue(char16_t(line[at + 1]));
        if (high < 0 || low < 0)
            break;
        item.bytes += char(high << 4 | low);
        at += 2;
        if (at + 2 < line.size() && line[at] == ' ' && line[at + 1] != ' ')
            ++at;
        else
            break;
    }
    if (item.bytes.isEmpty())
        return damaged(line, QStringLiteral("neither a time nor bytes in hex"));
    return item;
}

CaptureReader::Item CaptureReader::readScriptLine(QByteArrayView line)
{
    const auto read = script::readScript(line);
    if (const auto* error = std::get_if<script::ReadError>(&read))
        return leftOutNote(QStringLiteral("line %1: %2; left out").arg(m_line).arg(error->reason));
    for (const script::Step& step : std::get<script::Script>(read).steps) {
        switch (step.kind) {
        case script::Step::Kind::Delay:
            m_delay = step.milliseconds;
            break;
        case script::Step::Kind::Wait:
            m_scriptMs += step.milliseconds;
            break;
        case script::Step::Kind::Send:
        case script::Step::Kind::Screen:
            // The characters in runs of one millisecond each; a screen
            // line's are its read of the display.
            for (const QChar c : step.frame()) {
                if (c == u']')
                    m_scriptMs += m_delay;
                const qint64 at = qint64(std::floor(m_scriptMs));
                if (m_waiting.isEmpty() || m_waiting.back().kind != Item::Kind::Bytes || m_waiting.back().at != at) {
                    Item item;
                    item.kind = Item::Kind::Bytes;
                    item.at = at;
                    m_waiting << item;
                }
                m_waiting.back().bytes += char(c.unicode() <= 0xff ? c.unicode() : '?');
                m_scriptMs += kScriptCharacterMs;
            }
            break;
        case script::Step::Kind::Ready:
            m_ready = step.on;
            break;
        case script::Step::Kind::Expect:
            break;
        }
        // The run waits for the board's prompt, which a frame ending in a
        // number or in "]" only gets once the line has been quiet.
        if ((step.kind == script::Step::Kind::Send || step.kind == script::Step::Kind::Screen) && m_ready)
            m_scriptMs += board::Firmware::kSilenceMs;
    }
    m_lastAt = qint64(std::floor(m_scriptMs));
    return Item{};
}

void feed(Decoder& decoder, const CaptureReader::Item& item)
{
    if (item.kind == CaptureReader::Item::Kind::Note) {
        if (const auto side = lostSide(item.note))
            decoder.lost(*side, item.note, item.at);
        else
            decoder.note(item.note, item.at);
    } else if (item.kind == CaptureReader::Item::Kind::Bytes) {
        decoder.take(item.direction, item.bytes, item.at);
    }
}

FileRead decodeFile(const QString& path, Decoder& decoder, const std::function<void(const FileRead&)>& opened)
{
    FileRead read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        decoder.note(QStringLiteral("Cannot open %1: %2.").arg(path, file.errorString()), 0);
        decoder.finish(0);
        return read;
    }
    read.opened = true;
    CaptureReader reader(file, QFileInfo(path).fileName());
    read.form = reader.form();
    read.timesOfDay = reader.timesOfDay();
    if (opened)
        opened(read);
    if (reader.boardHeard())
        decoder.hearBoard(reader.passedThrough());
    qint64 at = 0;
    for (auto item = reader.next(); item.kind != CaptureReader::Item::Kind::End; item = reader.next()) {
        at = item.at;
        feed(decoder, item);
    }
    decoder.finish(at);
    read.bytes = file.pos();
    read.leftOut = reader.leftOut();
    return read;
}

QString saveAsCapture(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open %1: %2.").arg(source, in.errorString());
    CaptureReader reader(in, QFileInfo(source).fileName());
    const qint64 start = reader.timesOfDay() ? 0 : dayStart(QDate(1970, 1, 1));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2.").arg(target, out.errorString());
    auto item = reader.next();
    {
        CaptureWriter writer(out, QStringLiteral("from %1").arg(QFileInfo(source).fileName()), start + item.at);
        for (; item.kind != CaptureReader::Item::Kind::End; item = reader.next()) {
            if (item.kind == CaptureReader::Item::Kind::Note)
                writer.note(item.note, start + item.at);
            else
                writer.add(item.direction, item.bytes, start + item.at);
            if (!writer.flush())
                break;
        }
        writer.flush();
    }
    if (!out.commit())
        return QStringLiteral("Cannot write %1: %2.").arg(target, out.errorString());
    return {};
}

} // namespace varnix::monitor

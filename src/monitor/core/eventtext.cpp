// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/eventtext.h"

#include "monitor/core/framekinds.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <limits>

namespace varnix::monitor {

namespace {

QString kindWord(Event::Kind kind)
{
    switch (kind) {
    case Event::Kind::Taken:
        return QStringLiteral("taken");
    case Event::Kind::Refused:
        return QStringLiteral("refused");
    case Event::Kind::Unfinished:
        return QStringLiteral("unfinished");
    case Event::Kind::Ignored:
        return QStringLiteral("ignored");
    case Event::Kind::Skipped:
        return QStringLiteral("skipped");
    case Event::Kind::Answer:
        return QStringLiteral("answer");
    case Event::Kind::Note:
        break;
    }
    return QStringLiteral("note");
}

QString plural(qint64 count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

namespace {

constexpr qint64 kDay = 86'400'000;

// Milliseconds since the epoch as the local clock reads them. The offset
// is looked up once an hour of times rather than for each: the lookup asks
// the system every time.
qint64 local(qint64 ms)
{
    static qint64 hour = std::numeric_limits<qint64>::min();
    static qint64 offset = 0;
    if (ms / 3'600'000 != hour) {
        hour = ms / 3'600'000;
        offset = qint64(QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc()) * 1000;
    }
    return ms + offset;
}

} // namespace

QDate localDate(qint64 ms)
{
    const qint64 at = local(ms);
    return QDate(1970, 1, 1).addDays(at / kDay - (at % kDay < 0 ? 1 : 0));
}

QString timeText(qint64 ms, bool timesOfDay)
{
    if (!timesOfDay)
        return QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
    const qint64 day = (local(ms) % kDay + kDay) % kDay;
    char text[13];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", int(day / 3'600'000), int(day / 60'000 % 60),
                  int(day / 1000 % 60), int(day % 1000));
    return QString::fromLatin1(text, 12);
}

QChar directionMark(Direction direction)
{
    switch (direction) {
    case Direction::Host:
        return u'>';
    case Direction::Board:
        return u'<';
    case Direction::None:
        break;
    }
    return u'*';
}

QString eventLine(const Event& event, bool timesOfDay)
{
    QStringList parts{QString::number(event.number), timeText(event.first, timesOfDay),
                      QString(directionMark(event.direction()))};
    if (event.kind != Event::Kind::Note)
        parts << event.text();
    parts << event.meaning;
    if (const QString verdict = event.verdict(); !verdict.isEmpty())
        parts << verdict;
    return parts.join(QStringLiteral("  "));
}

QByteArray eventJson(const Event& event, bool timesOfDay)
{
    QJsonObject object{
        {QStringLiteral("n"), event.number},
        {QStringLiteral("time"), timeText(event.first, timesOfDay)},
        {QStringLiteral("last"), timeText(event.last, timesOfDay)},
        {QStringLiteral("direction"), event.direction() == Direction::Host    ? QStringLiteral("host")
                                      : event.direction() == Direction::Board ? QStringLiteral("board")
                                                                             : QStringLiteral("note")},
        {QStringLiteral("verdict"), kindWord(event.kind)},
        {QStringLiteral("meaning"), event.meaning},
    };
    if (event.kind != Event::Kind::Note) {
        object.insert(QStringLiteral("bytes"), event.text());
        object.insert(QStringLiteral("size"), event.size);
        object.insert(QStringLiteral("offset"), event.offset);
    }
    if (event.isFrame()) {
        const FrameKind* kind = frameKind(event.letter);
        object.insert(QStringLiteral("kind"), QLatin1String(kind ? kind->name : kUnknownKind));
        QJsonObject parameters;
        for (const Parameter& parameter : frameParameters(event.read)) {
            if (parameter.value.typeId() == QMetaType::QByteArray)
                parameters.insert(parameter.name, QString::fromLatin1(parameter.value.toByteArray()));
            else
                parameters.insert(parameter.name, parameter.value.toInt());
        }
        object.insert(QStringLiteral("parameters"), parameters);
    }
    if (!event.error.isEmpty())
        object.insert(QStringLiteral("error"), event.error);
    if (event.answers > 0)
        object.insert(QStringLiteral("answers"), event.answers);
    if (event.unexpected)
        object.insert(QStringLiteral("unexpected"), true);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString countsText(const Decoder::Counts& counts)
{
    return QStringLiteral("%1, %2 refused, %3 from the host, %4 from the board")
        .arg(plural(counts.frames, "frame", "frames"))
        .arg(counts.refused)
        .arg(plural(counts.hostBytes, "byte", "bytes"))
        .arg(counts.boardBytes);
}

} // namespace varnix::monitor

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

QString boardWord(Event::Answered answered)
{
    switch (answered) {
    case Event::Answered::Ready:
        return QStringLiteral("ready");
    case Event::Answered::Error:
        return QStringLiteral("error");
    case Event::Answered::None:
        return QStringLiteral("no answer");
    case Event::Answered::Awaited:
        return QStringLiteral("awaited");
    case Event::Answered::NotDelivered:
        return QStringLiteral("not delivered");
    case Event::Answered::Unheard:
        break;
    }
    return {};
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
    if (const QString board = event.boardText(); !board.isEmpty())
        parts << (event.differs() ? QStringLiteral("but the board: ") : QStringLiteral("board: ")) + board;
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
        {QStringLiteral("verdict"), event.answered == Event::Answered::NotDelivered ? QStringLiteral("not delivered")
                                                                                    : kindWord(event.kind)},
        {QStringLiteral("meaning"), event.meaning},
    };
    if (event.kind != Event::Kind::Note) {
        // Each byte the character of its number, U+0000 to U+00FF: JSON's
        // own escapes are the only ones.
        object.insert(QStringLiteral("bytes"), QString::fromLatin1(event.bytes));
        object.insert(QStringLiteral("size"), event.size);
        object.insert(QStringLiteral("offset"), event.offset);
    }
    if (event.isFrame()) {
        const FrameKind* kind = frameKind(event.letter);
        object.insert(QStringLiteral("kind"), QLatin1String(kind ? kind->name : kUnknownKind));
        object.insert(QStringLiteral("model"), kindWord(event.kind));
        if (const QString board = boardWord(event.answered); !board.isEmpty())
            object.insert(QStringLiteral("board"), board);
        if (event.answered == Event::Answered::Error)
            object.insert(QStringLiteral("board_error"), event.boardError);
        if (event.differs())
            object.insert(QStringLiteral("differs"), true);
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
    QStringList parts{plural(counts.frames, "frame", "frames"), QStringLiteral("%1 refused").arg(counts.refused)};
    if (counts.unanswered > 0)
        parts << QStringLiteral("%1 unanswered").arg(counts.unanswered);
    if (counts.otherwise > 0)
        parts << QStringLiteral("%1 answered otherwise than the model").arg(counts.otherwise);
    if (counts.notes > 0)
        parts << plural(counts.notes, "note", "notes");
    parts << plural(counts.hostBytes, "byte", "bytes") + QStringLiteral(" from the host")
          << QStringLiteral("%1 from the board").arg(counts.boardBytes);
    QString text = parts.join(QStringLiteral(", "));
    if (counts.unfinished > 0)
        text += QStringLiteral("; unfinished: event %1, %2").arg(counts.unfinishedFrame).arg(counts.unfinishedMeaning);
    return text;
}

void HeldEvents::take(const Event& event)
{
    m_held.push_back(event);
    if (m_held.size() > std::size_t(kMostHeld)) {
        m_release(m_held.front());
        m_held.pop_front();
    }
    release();
}

void HeldEvents::take(const BoardReply& reply)
{
    if (m_held.empty() || reply.frame < m_held.front().number)
        return;
    const auto index = std::size_t(reply.frame - m_held.front().number);
    if (index < m_held.size())
        m_held[index].take(reply);
    release();
}

void HeldEvents::releaseAll()
{
    for (const Event& event : m_held)
        m_release(event);
    m_held.clear();
}

void HeldEvents::release()
{
    while (!m_held.empty() && m_held.front().answered != Event::Answered::Awaited) {
        m_release(m_held.front());
        m_held.pop_front();
    }
}

} // namespace varnix::monitor

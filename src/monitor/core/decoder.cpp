// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/decoder.h"

#include "monitor/core/framekinds.h"
#include "script/escapes.h"

#include <algorithm>

namespace varnix::monitor {

namespace {

// Host bytes are fed in parts no larger than this, so that text between
// frames never piles up far beyond a row before it is written out.
constexpr qsizetype kFeedPart = 16 * 1024;
// Frames still owed an answer, at most: a board that never answers does
// not make the list grow.
constexpr std::size_t kMostOwed = 1024;
// Answers held for a frame the model has not ended yet, at most.
constexpr std::size_t kMostDeferred = 16;

const QByteArrayView kPrompt(board::Firmware::prompt);

bool isRead(char letter)
{
    return letter == 'n' || letter == 'a' || letter == 'g';
}

bool answeredOtherwise(bool refused, const QString& modelError, Event::Answered answered, const QString& boardError)
{
    switch (answered) {
    case Event::Answered::None:
        return true;
    case Event::Answered::Ready:
        return refused;
    case Event::Answered::Error:
        return !refused || boardError != modelError;
    case Event::Answered::Unheard:
    case Event::Answered::Awaited:
    case Event::Answered::NotDelivered:
        break;
    }
    return false;
}

// The error line of an answer, without its line break.
QString errorLine(const QByteArray& answer)
{
    const qsizetype start = answer.indexOf("Error:");
    if (start < 0)
        return {};
    qsizetype end = start;
    while (end < answer.size() && answer[end] != '\r' && answer[end] != '\n')
        ++end;
    return QString::fromLatin1(answer.mid(start, end - start));
}

const QString kLost = QStringLiteral("'s port was lost");

} // namespace

QString lostText(Direction side, const QString& reason)
{
    return QStringLiteral("The %1%2%3.")
        .arg(side == Direction::Host ? QStringLiteral("host") : QStringLiteral("board"), kLost,
             reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
}

std::optional<Direction> lostSide(const QString& note)
{
    for (const Direction side : {Direction::Host, Direction::Board}) {
        const QString lost = lostText(side, {});
        if (note.startsWith(lost.chopped(1)) && (note.size() == lost.size() || note[lost.size() - 1] == u':'))
            return side;
    }
    return std::nullopt;
}

Direction Event::direction() const
{
    switch (kind) {
    case Kind::Answer:
        return Direction::Board;
    case Kind::Note:
        return Direction::None;
    default:
        return Direction::Host;
    }
}

QString Event::text() const
{
    QString shown = script::escaped(QString::fromLatin1(bytes));
    if (size > bytes.size())
        shown += QStringLiteral("\u2026 (%1 bytes)").arg(size);
    return shown;
}

QString Event::verdict() const
{
    if (answered == Answered::NotDelivered)
        return QStringLiteral("not delivered");
    switch (kind) {
    case Kind::Taken:
        return QStringLiteral("taken");
    case Kind::Refused:
        return error;
    case Kind::Unfinished:
        return QStringLiteral("unfinished");
    case Kind::Ignored:
        return QStringLiteral("ignored");
    case Kind::Skipped:
        return QStringLiteral("skipped after the error");
    case Kind::Answer:
        return unexpected ? QStringLiteral("not what the model answers") : QString();
    case Kind::Note:
        break;
    }
    return QString();
}

QString Event::boardText() const
{
    switch (answered) {
    case Answered::Ready:
        return QLatin1String(board::Firmware::prompt).trimmed();
    case Answered::Error:
        return kind == Kind::Refused && boardError == error ? QStringLiteral("the same") : boardError;
    case Answered::None:
        return QStringLiteral("no answer");
    case Answered::Awaited:
        return QStringLiteral("\u2026");
    case Answered::Unheard:
    case Answered::NotDelivered:
        break;
    }
    return {};
}

bool Event::differs() const
{
    return isFrame() && answeredOtherwise(kind == Kind::Refused, error, answered, boardError);
}

void Event::take(const BoardReply& reply)
{
    answered = reply.answered;
    boardError = reply.error;
}

Decoder::Decoder(Sink sink, ReplySink replies) : m_sink(std::move(sink)), m_replies(std::move(replies))
{
    m_firmware.setObserver(this);
}

Decoder::~Decoder()
{
    m_firmware.setObserver(nullptr);
}

void Decoder::fromHost(QByteArrayView bytes, qint64 at)
{
    if (bytes.isEmpty())
        return;
    quiet(at);
    m_hostSeen = true;
    m_silenced = false;
    m_stallNoted = false;
    m_hostTime = at;
    m_counts.hostBytes += bytes.size();
    for (qsizetype from = 0; from < bytes.size(); from += kFeedPart) {
        m_chunk = bytes.sliced(from, std::min(kFeedPart, bytes.size() - from));
        m_chunkStart = m_firmware.bytesRead();
        m_chunkTime = at;
        // The model's answers are not shown: the board's own are.
        m_firmware.feed(m_chunk);
        catchUp();
        m_chunk = {};
        flushText(false);
    }
}

void Decoder::fromBoard(QByteArrayView bytes, qint64 at)
{
    if (bytes.isEmpty())
        return;
    // What the host's quiet line made the board do comes before its answer.
    quiet(at);
    m_counts.boardBytes += bytes.size();
    m_boardTime = at;
    m_boardHeard = true;
    for (const char byte : bytes) {
        if (m_answer.size == 0) {
            m_answer.start = m_boardPlace;
            m_answer.first = at;
            m_answer.bytes.clear();
        }
        if (m_answer.bytes.size() < kLongestHeld)
            m_answer.bytes += byte;
        ++m_answer.size;
        m_answer.last = at;
        ++m_boardPlace;
        // The prompt has no part that begins it again.
        if (byte == kPrompt[m_promptMatched])
            ++m_promptMatched;
        else
            m_promptMatched = byte == kPrompt[0] ? 1 : 0;
        // A board that never stops talking is shown in parts.
        if (m_promptMatched == kPrompt.size() || m_answer.size >= kLongestHeld) {
            m_promptMatched = 0;
            endAnswer();
        }
    }
}

void Decoder::quiet(qint64 now)
{
    if (m_hostSeen && !m_silenced && now - m_hostTime >= board::Firmware::kSilenceMs) {
        m_silenced = true;
        m_firmware.silence();
    }
    if (m_hostSeen && now - m_hostTime >= kTypingPauseMs)
        flushText(true);
    if (m_open && !m_stallNoted && now - m_hostTime >= kStallMs) {
        m_stallNoted = true;
        note(QStringLiteral("The host has sent nothing for %1 s in the middle of a frame; the board waits for "
                            "the rest of it.")
                 .arg(kStallMs / 1000),
             now);
    }
    if (m_answer.size > 0 && now - m_boardTime >= kAnswerQuietMs)
        endAnswer();
    expire(now);
}

void Decoder::hearBoard(bool passing)
{
    m_boardHeard = true;
    m_passing = passing;
    m_boardLost = false;
}

void Decoder::lost(Direction side, const QString& note, qint64 at)
{
    this->note(note, at);
    if (side != Direction::Board)
        return;
    // What it had not answered by then it never will.
    if (m_answer.size > 0)
        endAnswer();
    settleAll(at);
    m_boardLost = true;
}

void Decoder::expire(qint64 now)
{
    while (!m_owed.empty() && now - std::max(m_owed.front().last, m_settledAt) >= kReplyMs) {
        const Owed owed = m_owed.front();
        m_owed.pop_front();
        settle(owed, Event::Answered::None, {}, std::max(owed.last, m_settledAt) + kReplyMs);
    }
}

void Decoder::settleAll(qint64 at)
{
    for (auto owed = std::exchange(m_owed, {}); const Owed& frame : owed)
        settle(frame, Event::Answered::None, {}, at);
}

void Decoder::settle(const Owed& owed, Event::Answered answered, const QString& error, qint64 at)
{
    m_settledAt = at;
    if (!owed.awaited)
        return;
    if (answered == Event::Answered::None)
        ++m_counts.unanswered;
    else if (answeredOtherwise(owed.refused, owed.error, answered, error))
        ++m_counts.otherwise;
    if (m_replies)
        m_replies(BoardReply{owed.number, answered, error});
}

void Decoder::note(const QString& text, qint64 at)
{
    // Text that came before the note is shown before it.
    flushText(true);
    Event event;
    event.kind = Event::Kind::Note;
    event.first = event.last = at;
    event.meaning = text;
    emitEvent(event);
}

void Decoder::finish(qint64 at)
{
    quiet(at);
    // The line goes quiet for good.
    if (m_hostSeen && !m_silenced) {
        m_silenced = true;
        m_firmware.silence();
    }
    if (m_open)
        emitUnfinished(m_firmware.frameSoFar());
    tellDeferred();
    flushText(true, false);
    if (m_answer.size > 0)
        endAnswer();
    // No answer came before the end.
    settleAll(at);
}

void Decoder::catchUp()
{
    const qint64 upTo = std::min(m_firmware.bytesRead(), m_chunkStart + m_chunk.size());
    while (m_taken < upTo) {
        account(m_chunk[m_taken - m_chunkStart], m_chunkTime);
        ++m_taken;
    }
}

void Decoder::account(char byte, qint64 at)
{
    m_recent[std::size_t(m_taken % 4)] = byte;
    m_recentTimes[std::size_t(m_taken % 4)] = at;
    if (!m_open) {
        addLoose(byte, m_taken, at);
        return;
    }
    if (m_frame.bytes.size() < kLongestHeld)
        m_frame.bytes += byte;
    ++m_frame.size;
    m_frame.last = at;
}

void Decoder::addLoose(char byte, qint64 place, qint64 at)
{
    if (m_loose.size == 0) {
        m_loose = {};
        m_loose.start = place;
        m_loose.first = at;
        m_looseTimes.clear();
    }
    if (m_looseTimes.empty() || m_looseTimes.back().second != at)
        m_looseTimes.emplace_back(place, at);
    if (m_loose.bytes.size() < kLongestHeld)
        m_loose.bytes += byte;
    ++m_loose.size;
    m_loose.last = at;
}

qint64 Decoder::looseTimeAt(qint64 place) const
{
    qint64 time = m_loose.first;
    for (const auto& [from, at] : m_looseTimes) {
        if (from > place)
            break;
        time = at;
    }
    return time;
}

qint64 Decoder::timeOf(qint64 place, qint64 otherwise) const
{
    if (place < m_taken && place >= m_taken - qint64(m_recent.size()))
        return m_recentTimes[std::size_t(place % 4)];
    return otherwise;
}

void Decoder::frameBegan(qint64 at)
{
    catchUp();
    if (m_open) {
        // The firmware never starts a frame inside another; should it, the
        // first is shown as it stands.
        ++m_misfits;
        emitUnfinished({});
    }
    const qint64 looseEnd = m_loose.start + m_loose.size;
    if (m_loose.size == 0 || at < m_loose.start || at >= looseEnd) {
        ++m_misfits;
        at = m_loose.size == 0 ? m_taken : std::clamp(at, m_loose.start, looseEnd);
    }
    // Everything before the frame is text that is no frame.
    const qsizetype before = qsizetype(at - m_loose.start);
    if (m_loose.size > 0 && before > 0)
        emitText(before);
    m_frame = {};
    m_frame.start = at;
    m_frame.size = m_loose.size;
    m_frame.bytes = m_loose.bytes;
    m_frame.first = timeOf(at, m_loose.first);
    m_frame.last = m_loose.last;
    m_loose = {};
    m_looseTimes.clear();
    m_open = true;
}

Event Decoder::eventOf(Event::Kind kind, const Run& run)
{
    Event event;
    event.kind = kind;
    event.first = run.first;
    event.last = run.last;
    event.offset = run.start;
    event.size = run.size;
    event.bytes = run.bytes;
    return event;
}

void Decoder::emitUnfinished(const board::FrameRead& frame)
{
    Event event = eventOf(Event::Kind::Unfinished, m_frame);
    event.letter = frame.letter;
    event.read = frame;
    event.meaning = frameMeaning(frame);
    m_open = false;
    m_frame = {};
    emitEvent(event);
}

void Decoder::frameEnded(qint64 last, const board::FrameRead& frame)
{
    catchUp();
    if (!m_open) {
        ++m_misfits;
        m_frame = m_loose;
        m_loose = {};
        m_looseTimes.clear();
        m_open = true;
    }
    // The bytes after the frame's last go back between frames: they may
    // start the next one.
    qint64 extra = m_taken - 1 - last;
    if (extra < 0 || extra > std::min<qint64>(m_frame.size, qint64(m_recent.size()) - 1)) {
        ++m_misfits;
        extra = std::clamp<qint64>(extra, 0, std::min<qint64>(m_frame.size, qint64(m_recent.size()) - 1));
    }
    Event event;
    event.kind = frame.error.isEmpty() ? Event::Kind::Taken : Event::Kind::Refused;
    event.first = m_frame.first;
    event.offset = m_frame.start;
    event.size = m_frame.size - extra;
    event.bytes = m_frame.bytes.first(std::min<qsizetype>(m_frame.bytes.size(), event.size));
    event.last = timeOf(m_frame.start + event.size - 1, m_frame.last);
    event.letter = frame.letter;
    event.read = frame;
    event.meaning = frameMeaning(frame);
    event.error = QString::fromLatin1(frame.error);
    if (m_boardLost)
        event.answered = m_passing ? Event::Answered::NotDelivered : Event::Answered::Unheard;
    else if (m_boardHeard)
        event.answered = Event::Answered::Awaited;
    m_open = false;
    m_frame = {};
    for (qint64 place = m_taken - extra; place < m_taken; ++place)
        addLoose(m_recent[std::size_t(place % 4)], place, timeOf(place, event.last));
    m_skipping = event.kind == Event::Kind::Refused;
    if (m_owed.size() >= kMostOwed) {
        settle(m_owed.front(), Event::Answered::None, {}, event.last);
        m_owed.pop_front();
    }
    emitEvent(event);
    if (event.answered != Event::Answered::NotDelivered)
        m_owed.push_back(Owed{event.number, m_skipping, event.letter, event.last, event.error,
                              event.answered == Event::Answered::Awaited});
    tellDeferred();
}

void Decoder::tellDeferred()
{
    for (auto answers = std::exchange(m_deferred, {}); Event& answer : answers)
        tellAnswer(answer);
}

void Decoder::flushText(bool rest, bool keepOpening)
{
    if (m_open)
        return;
    const qsizetype keep = keepOpening ? m_firmware.openingBytes() : 0;
    while (m_loose.size > keep) {
        const qsizetype available = qsizetype(std::min<qint64>(m_loose.size - keep, m_loose.bytes.size()));
        if (available <= 0)
            break;
        qsizetype count = 0;
        const qsizetype scan = std::min(available, kLongestText);
        for (qsizetype i = 0; i < scan; ++i) {
            const char byte = m_loose.bytes[i];
            if (byte == '\n' || byte == '\r') {
                count = i + 1;
                if (byte == '\r' && count < available && m_loose.bytes[count] == '\n')
                    ++count;
                break;
            }
        }
        if (count == 0 && available >= kLongestText)
            count = kLongestText;
        if (count == 0 && rest)
            count = available;
        if (count == 0)
            break;
        emitText(count);
    }
}

void Decoder::emitText(qsizetype count)
{
    Event event;
    event.kind = m_skipping ? Event::Kind::Skipped : Event::Kind::Ignored;
    event.first = m_loose.first;
    event.offset = m_loose.start;
    event.size = count;
    event.bytes = m_loose.bytes.first(std::min(count, m_loose.bytes.size()));
    event.meaning = QStringLiteral("not a frame");
    const qint64 next = m_loose.start + count;
    event.last = looseTimeAt(next - 1);
    if (count < m_loose.size) {
        const qint64 nextTime = looseTimeAt(next);
        std::erase_if(m_looseTimes, [next](const auto& point) { return point.first <= next; });
        m_looseTimes.insert(m_looseTimes.begin(), {next, nextTime});
        m_loose.bytes.remove(0, std::min(count, m_loose.bytes.size()));
        m_loose.start = next;
        m_loose.size -= count;
        m_loose.first = nextTime;
    } else {
        m_loose = {};
        m_looseTimes.clear();
    }
    emitEvent(event);
}

void Decoder::endAnswer()
{
    Event event = eventOf(Event::Kind::Answer, m_answer);
    m_answer = {};
    m_promptMatched = 0;
    tellAnswer(event);
}

void Decoder::tellAnswer(Event& event)
{
    const bool prompted = event.bytes.endsWith(kPrompt);
    const bool error = event.bytes.contains("Error:");
    if (event.bytes.contains(board::Firmware::kStartLine)) {
        event.meaning = QStringLiteral("the board started");
        // It started again: what it owed it never answers.
        settleAll(event.first);
    } else if (!prompted) {
        event.meaning = QStringLiteral("from the board, without a prompt");
    } else if (m_owed.empty() && m_open && m_deferred.size() < kMostDeferred) {
        // The board ended a frame the model still reads (a step, a "]" of
        // "p"): its answer waits for the model's verdict on it.
        m_deferred.push_back(event);
        return;
    } else if (m_owed.empty()) {
        event.meaning = QStringLiteral("a prompt for no frame seen");
    } else {
        const Owed owed = m_owed.front();
        m_owed.pop_front();
        event.answers = owed.number;
        event.unexpected = error != owed.refused;
        settle(owed, error ? Event::Answered::Error : Event::Answered::Ready, errorLine(event.bytes), event.last);
        const FrameKind* kind = frameKind(owed.letter);
        event.meaning = QStringLiteral("answer to %1 (%2)")
                            .arg(owed.number)
                            .arg(QLatin1String(kind ? kind->name : kUnknownKind));
        if (isRead(owed.letter) && !error) {
            const qint64 hex = event.size - kPrompt.size();
            event.meaning += QStringLiteral(": %1 bytes").arg(hex / 2);
        }
    }
    emitEvent(event);
}

void Decoder::emitEvent(Event& event)
{
    event.number = ++m_counts.events;
    if (event.isFrame())
        ++m_counts.frames;
    if (event.kind == Event::Kind::Refused)
        ++m_counts.refused;
    if (event.kind == Event::Kind::Note)
        ++m_counts.notes;
    if (event.answered == Event::Answered::NotDelivered)
        ++m_counts.unanswered;
    if (event.kind == Event::Kind::Unfinished) {
        ++m_counts.unfinished;
        m_counts.unfinishedFrame = event.number;
        m_counts.unfinishedMeaning = event.meaning;
    }
    if (m_sink)
        m_sink(event);
}

} // namespace varnix::monitor

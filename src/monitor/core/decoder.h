// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/firmware.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace varnix::monitor {

enum class Direction : quint8 { Host, Board, None };

// One thing that happened on the line between a host and the board.
struct Event {
    enum class Kind : quint8 {
        Taken,       // a frame the board carried out
        Refused,     // a frame the board refused; `error` holds its error line
        Unfinished,  // a frame the capture ended inside
        Ignored,     // host bytes between frames that are no frame
        Skipped,     // host bytes the board skipped after a refused frame
        Answer,      // what the board answered
        Note,        // about the capture itself: a damaged line, a lost port
    };
    Kind kind = Kind::Note;
    qint64 number = 0;     // from 1, in order
    qint64 first = 0;      // milliseconds: when the first and the last byte came
    qint64 last = 0;
    qint64 offset = 0;     // where the first byte lies among its direction's bytes
    qint64 size = 0;       // how many bytes in all
    QByteArray bytes;      // as they went, the first Decoder::kLongestHeld
    char letter = 0;       // a frame's command letter in lower case, 0 for none
    board::FrameRead read; // a frame as the firmware read it
    QString meaning;       // "Circle x 64, y 32, radius 20", or a note's text
    QString error;         // the board's error line for a refused frame
    qint64 answers = 0;    // an answer's frame, 0 when it answers none known
    // An answer that says otherwise than the model: an error where the model
    // took the frame, or none where it refused it.
    bool unexpected = false;

    // What the board itself answered a frame, beside the model's verdict.
    enum class Answered : quint8 {
        Unheard,       // no board is heard on the line
        Awaited,       // not yet: the board still has the time a run gives it
        Ready,         // its prompt alone
        Error,         // an error line, in `boardError`
        None,          // nothing within that time
        NotDelivered,  // no board was there to take the frame
    };
    Answered answered = Answered::Unheard;
    QString boardError;

    Direction direction() const;
    bool isFrame() const { return kind == Kind::Taken || kind == Kind::Refused || kind == Kind::Unfinished; }
    // The bytes as scripts write them, "…" marking bytes left out.
    QString text() const;
    // "taken", the error line, "unfinished", "ignored", "not delivered", …
    QString verdict() const;
    // The frame's answer from the board: "Ready:", its error line ("the
    // same" when it is the model's), "no answer", "…" while awaited; empty
    // when no board is heard or the frame was not delivered.
    QString boardText() const;
    // The board answered otherwise than the model: nothing, an error the
    // model did not give, or its prompt where the model refused the frame.
    bool differs() const;
    // Takes the board's answer to this frame.
    void take(const struct BoardReply& reply);
};

// A frame's answer from the board, told once it came or its time passed.
struct BoardReply {
    qint64 frame = 0;  // the frame's event number
    Event::Answered answered = Event::Answered::None;
    QString error;     // the board's error line
};

// "The board's port was lost: The device was unplugged."
QString lostText(Direction side, const QString& reason);
// The side a note of lostText() tells of, read back from a capture.
std::optional<Direction> lostSide(const QString& note);

// Turns what a host sends the board, and what the board answers, into
// events: each frame with its meaning and the verdict of the board's own
// firmware, fed the same bytes at the same times; the answers after the
// frames they answer; and every other byte as text that is no frame.
// Nothing is dropped: every host byte belongs to exactly one event.
//
// Memory stays bounded whatever comes: an event holds at most
// kLongestHeld bytes and counts the rest.
class Decoder : private board::FirmwareObserver
{
public:
    using Sink = std::function<void(const Event&)>;
    using ReplySink = std::function<void(const BoardReply&)>;

    // The largest frame the board takes, a whole external EEPROM, fits.
    static constexpr qsizetype kLongestHeld = 128 * 1024;
    // Text that is no frame goes in rows of at most this, or a line each.
    static constexpr qsizetype kLongestText = 256;
    // Text typed by hand ends at a pause this long, as in the session log.
    static constexpr int kTypingPauseMs = 1000;
    // A frame the host leaves unfinished this long is noted.
    static constexpr int kStallMs = 2000;
    // An answer without the prompt ends when the board is quiet this long.
    static constexpr int kAnswerQuietMs = 100;
    // A frame the board has not answered this long after it ended (or after
    // the answer to the frame before it) has no answer, as a run of a
    // script would find.
    static constexpr int kReplyMs = 2000;

    explicit Decoder(Sink sink, ReplySink replies = {});
    ~Decoder() override;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Bytes that arrived at `at` (milliseconds, never going back).
    void fromHost(QByteArrayView bytes, qint64 at);
    void fromBoard(QByteArrayView bytes, qint64 at);
    void take(Direction from, QByteArrayView bytes, qint64 at)
    {
        from == Direction::Board ? fromBoard(bytes, at) : fromHost(bytes, at);
    }
    // Nothing more arrived until `now`: the line may have gone quiet.
    void quiet(qint64 now);
    // A note of the source's ("line 12: not a log line").
    void note(const QString& text, qint64 at);
    // A board is on the line: each frame from now on waits for its answer.
    // `passing`: the host's bytes reach the board through this line alone
    // (a pass-through), so that while its side is lost they reach no board.
    void hearBoard(bool passing);
    // A side's port was lost: said in a note (lostText()'s). The board's
    // answers are heard no more; passing, the frames that follow are not
    // delivered.
    void lost(Direction side, const QString& note, qint64 at);
    // The capture ends: what is left becomes events.
    void finish(qint64 at);

    // The board as the host's bytes have left it so far.
    const board::Firmware& firmware() const { return m_firmware; }

    struct Counts {
        qint64 events = 0;
        qint64 frames = 0;
        qint64 refused = 0;
        qint64 unanswered = 0;  // no answer, or not delivered
        qint64 otherwise = 0;   // answered otherwise than the model
        qint64 unfinished = 0;
        qint64 notes = 0;
        qint64 hostBytes = 0;
        qint64 boardBytes = 0;
        // The last frame left unfinished: its number and meaning.
        qint64 unfinishedFrame = 0;
        QString unfinishedMeaning;
    };
    const Counts& counts() const { return m_counts; }
    // Places where the firmware's account of a frame did not fit the bytes
    // (a frame begun inside another); 0 unless something is wrong.
    qint64 misfits() const { return m_misfits; }

private:
    struct Run {
        QByteArray bytes;
        qint64 start = 0;   // place of the first byte
        qint64 size = 0;
        qint64 first = 0;
        qint64 last = 0;
    };
    struct Owed {
        qint64 number;
        bool refused;
        char letter;
        qint64 last;   // when the frame ended
        QString error; // the model's
        bool awaited;  // its answer is told when it comes
    };

    void frameBegan(qint64 at) override;
    void frameEnded(qint64 last, const board::FrameRead& frame) override;

    // Accounts for the bytes the firmware has read so far.
    void catchUp();
    void account(char byte, qint64 at);
    // Takes the bytes from `from` on off the end of the loose text, as the
    // start of a frame or back from one.
    void giveBack(Run& from, qint64 at, Run& to);
    // Writes out the text between frames that makes whole lines or rows,
    // or all of it with `rest`; but not the last bytes that may yet start a
    // frame, unless told.
    void flushText(bool rest, bool keepOpening = true);
    void emitText(qsizetype count);
    static Event eventOf(Event::Kind kind, const Run& run);
    void emitUnfinished(const board::FrameRead& frame);
    void addLoose(char byte, qint64 place, qint64 at);
    qint64 looseTimeAt(qint64 place) const;
    void endAnswer();
    void tellAnswer(Event& event);
    void tellDeferred();
    void emitEvent(Event& event);
    qint64 timeOf(qint64 place, qint64 otherwise) const;
    // The frames owed an answer whose time has passed by `now` get none.
    void expire(qint64 now);
    void settle(const Owed& owed, Event::Answered answered, const QString& error, qint64 at);
    void settleAll(qint64 at);

    Sink m_sink;
    ReplySink m_replies;
    board::Firmware m_firmware;
    Counts m_counts;
    qint64 m_misfits = 0;

    // The host's chunk being fed.
    QByteArrayView m_chunk;
    qint64 m_chunkStart = 0;
    qint64 m_chunkTime = 0;
    qint64 m_taken = 0;  // host bytes accounted for
    // The last few bytes accounted for, by place, for bytes that turn out
    // to belong elsewhere.
    std::array<char, 4> m_recent{};
    std::array<qint64, 4> m_recentTimes{};

    bool m_open = false;
    Run m_frame;
    Run m_loose;
    // Where the arrival time of the loose text changes: place, time.
    std::vector<std::pair<qint64, qint64>> m_looseTimes;
    bool m_skipping = false;
    bool m_hostSeen = false;
    bool m_silenced = true;
    bool m_stallNoted = false;
    qint64 m_hostTime = 0;

    Run m_answer;
    qint64 m_boardPlace = 0;
    qint64 m_boardTime = 0;
    int m_promptMatched = 0;
    std::deque<Owed> m_owed;
    std::vector<Event> m_deferred;
    // A board is heard on the line; it is reached through this line alone;
    // its side is lost.
    bool m_boardHeard = false;
    bool m_passing = false;
    bool m_boardLost = false;
    // When the last frame owed an answer got it, or went without.
    qint64 m_settledAt = 0;
};

} // namespace varnix::monitor

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <deque>
#include <optional>

namespace varnix::script {

// Which frame each of the board's answers belongs to: the one set of rules
// for every run, whatever paces the frames.
//
// The board answers every frame it reads with one prompt, "Ready:": after
// carrying the frame out, or after the error line of a frame it refused.
// When it starts (or restarts) it sends its start-up line and then a
// prompt of its own. So the text from the board, cut after each prompt, is
// a list of answers, and the frames that went out take them in turn:
// - an answer holding the start-up line at the start of one of its lines is
//   the board's greeting: shown as its own text, never counted;
// - any other answer belongs to the oldest frame that went out whole and
//   has not been answered yet;
// - text that arrives before a frame's last character has gone out cannot
//   be that frame's answer, with one exception: the board refuses a frame
//   at the character that breaks it, so an "Error:" that comes while the
//   frame is still going out, with no earlier frame owed an answer, is that
//   frame's refusal;
// - anything else (text before the first frame, a prompt no frame is owed)
//   is the board's own text, never counted.
// Nothing here waits or reads a port: the runner feeds it what it sent and
// what came, in the order it happened.
class AnswerMatcher
{
public:
    static constexpr char kPrompt[] = "Ready:";
    static constexpr char kError[] = "Error:";

    struct Answer {
        enum class Kind { Frame, Greeting, Other };
        Kind kind = Kind::Other;
        // The frame's turn among those begun (from 1), its script line and
        // its text; for Kind::Frame only.
        int ordinal = 0;
        int line = 0;
        QString frame;
        // Up to and with the prompt.
        QString text;
        bool refused() const { return text.contains(QLatin1String(kError)); }
    };

    // The first words of the board's start-up line; empty when its greeting
    // is not known.
    explicit AnswerMatcher(QString startLine = {}) : m_startLine(std::move(startLine)) {}

    // Forgets every frame and what came so far.
    void reset();
    // A frame's first character is about to go out.
    void beginFrame(int line, const QString& frame);
    // The frame begun last has gone out to its last character (whole), or
    // was cut short and is owed nothing.
    void endFrame(bool whole);
    // What came from the board; the answers it completes, in order.
    QList<Answer> take(QStringView characters);
    // The answer given to a frame was not its own after all (a read told
    // by its shape that a late prompt came first): the frame waits again,
    // ahead of the others.
    void putBack(const Answer& answer);
    // The frames still owed are owed nothing more (sent with the prompt
    // off to a board that gives none).
    void writeOff() { m_owed.clear(); }

    // Frames that went out whole and wait for their answers.
    qsizetype owed() const { return qsizetype(m_owed.size()); }
    // The ordinal of the oldest of them, 0 when none is.
    int oldestOwed() const { return m_owed.empty() ? 0 : m_owed.front().ordinal; }
    // How many frames have been begun.
    int begun() const { return m_begun; }
    // What came after the last answer, not an answer yet.
    const QString& pending() const { return m_pending; }
    // The text after the last answer is a greeting still coming.
    bool greetingComing() const { return isGreeting(m_pending); }

private:
    struct Frame {
        int ordinal = 0;
        int line = 0;
        QString frame;
    };
    bool isGreeting(QStringView text) const;
    Answer place(QString text);

    QString m_startLine;
    std::deque<Frame> m_owed;
    // The frame going out now, if one is.
    std::optional<Frame> m_going;
    int m_begun = 0;
    QString m_pending;
};

} // namespace varnix::script

// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/answers.h"

namespace varnix::script {

void AnswerMatcher::reset()
{
    m_owed.clear();
    m_going.reset();
    m_begun = 0;
    m_pending.clear();
}

void AnswerMatcher::beginFrame(int line, const QString& frame)
{
    m_going = Frame{++m_begun, line, frame};
}

void AnswerMatcher::endFrame(bool whole)
{
    if (m_going && whole)
        m_owed.push_back(*m_going);
    m_going.reset();
}

bool AnswerMatcher::isGreeting(QStringView text) const
{
    if (m_startLine.isEmpty())
        return false;
    for (qsizetype at = text.indexOf(m_startLine); at >= 0; at = text.indexOf(m_startLine, at + 1)) {
        if (at == 0 || text[at - 1] == u'\n' || text[at - 1] == u'\r')
            return true;
    }
    return false;
}

AnswerMatcher::Answer AnswerMatcher::place(QString text)
{
    Answer answer;
    answer.text = std::move(text);
    if (isGreeting(answer.text)) {
        answer.kind = Answer::Kind::Greeting;
        return answer;
    }
    std::optional<Frame> frame;
    if (!m_owed.empty()) {
        frame = m_owed.front();
        m_owed.pop_front();
    } else if (m_going && answer.refused()) {
        // Refused before its end: nothing more is owed for it.
        frame = std::exchange(m_going, std::nullopt);
    }
    if (frame) {
        answer.kind = Answer::Kind::Frame;
        answer.ordinal = frame->ordinal;
        answer.line = frame->line;
        answer.frame = frame->frame;
    }
    return answer;
}

void AnswerMatcher::putBack(const Answer& answer)
{
    if (answer.kind == Answer::Kind::Frame)
        m_owed.push_front(Frame{answer.ordinal, answer.line, answer.frame});
}

QList<AnswerMatcher::Answer> AnswerMatcher::take(QStringView characters)
{
    QList<Answer> answers;
    const QLatin1String prompt(kPrompt);
    // Where the prompt may begin: it can be split between two pieces.
    qsizetype from = std::max<qsizetype>(m_pending.size() - (prompt.size() - 1), 0);
    m_pending += characters;
    for (qsizetype at = m_pending.indexOf(prompt, from); at >= 0; at = m_pending.indexOf(prompt)) {
        const qsizetype end = at + prompt.size();
        answers << place(m_pending.left(end));
        m_pending.remove(0, end);
    }
    return answers;
}

} // namespace varnix::script

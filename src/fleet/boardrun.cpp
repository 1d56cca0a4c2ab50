// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/boardrun.h"

#include "board/boardshadow.h"
#include "link/core/connection.h"
#include "link/core/networkaddress.h"
#include "link/core/portmap.h"
#include "link/core/portswitch.h"
#include "script/clock.h"
#include "script/escapes.h"
#include "script/runner.h"
#include "script/sessionlog.h"

#include <memory>

namespace varnix::fleet {

namespace {

// How much of a long frame or answer a line shows.
constexpr qsizetype kShownCharacters = 72;

const script::Step* stepAt(const script::Script& script, int line)
{
    for (const script::Step& step : script.steps) {
        if (step.line == line)
            return &step;
    }
    return nullptr;
}

QString linesText(const QList<int>& lines)
{
    QStringList out;
    for (int line : lines)
        out << QString::number(line);
    return out.join(QStringLiteral(", "));
}

Ending endingOf(const script::Runner::Result& result, const script::Script& script, const QString& lostReason)
{
    using Outcome = script::Runner::Outcome;
    using Kind = Ending::Kind;
    Ending ending;
    ending.line = result.line;
    ending.framesSent = result.framesSent;
    switch (result.outcome) {
    case Outcome::Done:
        if (!result.unanswered.isEmpty()) {
            ending.kind = Kind::NoPrompt;
            ending.reason = QStringLiteral("no \"%1\" within %2 s for the frames of lines %3")
                                .arg(QLatin1String(script::Runner::kPrompt))
                                .arg(script::kReadyTimeoutMs / 1000)
                                .arg(linesText(result.unanswered));
        }
        break;
    case Outcome::BoardError:
        ending.kind = Kind::BoardError;
        ending.reason = QStringLiteral("the board answered: ") + shown(result.answer);
        break;
    case Outcome::ExpectTimedOut: {
        const script::Step* step = stepAt(script, result.line);
        ending.kind = Kind::ExpectMissed;
        ending.reason = QStringLiteral("\"%1\" did not come within %2; the answer was: %3")
                            .arg(script::escaped(step ? step->text : QString()),
                                 script::durationText(step ? step->milliseconds : 0), shown(result.answer));
        break;
    }
    case Outcome::Stopped:
        ending.kind = Kind::CutShort;
        ending.reason = QStringLiteral("cut short");
        break;
    case Outcome::Lost:
        ending.kind = Kind::Lost;
        ending.reason = QStringLiteral("the port was lost")
            + (lostReason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lostReason));
        break;
    case Outcome::Failed:
        ending.kind = Kind::Refused;
        ending.reason = QStringLiteral("the port refused the frame");
        break;
    }
    return ending;
}

} // namespace

QString shown(const QString& text)
{
    QStringList lines;
    for (const QStringView line : QStringView(text).tokenize(QLatin1Char('\n'))) {
        QStringView part = line;
        while (part.endsWith(u'\r'))
            part.chop(1);
        for (const QStringView piece : part.tokenize(u'\r')) {
            if (!piece.isEmpty())
                lines << script::escaped(piece);
        }
    }
    QString out = lines.join(QStringLiteral(" | "));
    if (out.size() > kShownCharacters)
        out = out.left(kShownCharacters) + QStringLiteral("... (%1 characters)").arg(text.size());
    return out.isEmpty() ? QStringLiteral("(no answer)") : out;
}

QString Ending::describe() const
{
    if (verifying)
        return QStringLiteral("verify: ") + reason;
    if (line > 0)
        return QStringLiteral("line %1: %2").arg(line).arg(reason);
    return reason;
}

BoardRun::BoardRun(Board board, Plan plan, QObject* parent)
    : QObject(parent), m_board(std::move(board)), m_plan(std::move(plan))
{
}

void BoardRun::stop(bool now)
{
    m_stopAsked = true;
    m_stopNow = m_stopNow || now;
    if (!m_runner)
        return;
    if (now)
        m_runner->stop();
    else
        m_runner->stopAtFrameEnd();
}

Ending BoardRun::run()
{
    link::PortMap ports;
    ports.setDevices({m_board.address});
    link::PortSwitch port(ports);
    port.setPortNumber(1);
    port.setSettings(m_board.settings);
    link::EventLoopPause pause(m_finish);
    link::Connection connection(port, pause);
    // What the board should show: every character that went out.
    board::BoardShadow model(connection);
    std::unique_ptr<script::SessionLog> log;
    if (!m_logFile.isEmpty()) {
        log = std::make_unique<script::SessionLog>(connection);
        connect(log.get(), &script::SessionLog::failed, this, &BoardRun::logFailed);
        log->start(m_logFile);
    }
    const auto note = [&log](const QString& event) {
        if (log && log->running())
            log->note(event);
    };

    Ending ending;
    if (!connection.open()) {
        ending.kind = Ending::Kind::Unreachable;
        // A network port's hint names the address already.
        if (link::isNetworkAddress(m_board.address) && !port.failureHint().isEmpty())
            ending.reason = port.failureHint();
        else
            ending.reason = QStringLiteral("cannot open %1").arg(m_board.address)
                + (port.failureHint().isEmpty() ? QString() : QStringLiteral(": ") + port.failureHint());
    } else if (m_stopAsked) {
        ending.kind = Ending::Kind::CutShort;
        ending.reason = QStringLiteral("cut short");
    } else {
        emit opened();
        QString lostReason;
        connect(&connection, &link::Connection::lost, this,
                [&lostReason](const QString& reason) { lostReason = reason; });
        script::EventLoopClock clock;
        script::Runner runner(connection, clock);
        connect(&runner, &script::Runner::answered, this, &BoardRun::answered);
        m_runner = &runner;
        ending = sendAndVerify(runner, model, lostReason);
        m_runner = nullptr;
    }
    note(ending.passed() ? QStringLiteral("passed") : QStringLiteral("failed: ") + ending.describe());
    connection.close();
    return ending;
}

Ending BoardRun::sendAndVerify(script::Runner& runner, const board::BoardShadow& model, const QString& lostReason)
{
    Ending ending = endingOf(runner.run(m_plan.script, m_plan.delay), m_plan.script, lostReason);
    if (!ending.passed() || !m_plan.verify)
        return ending;
    const int framesSent = ending.framesSent;
    if (m_stopAsked) {
        // The runner was between runs and took no notice.
        ending.kind = Ending::Kind::CutShort;
        ending.reason = QStringLiteral("cut short");
        ending.verifying = true;
        return ending;
    }
    emit verifying();
    const board::Display expected = model.firmware().display();
    script::Script read;
    read.steps.append(script::Step{script::Step::Kind::Send, 0, QString::fromLatin1(board::kWholeDisplayRead)});
    runner.setAnswered(board::displayAnswerFinished);
    const auto result = runner.run(read, runner.delay());
    ending = endingOf(result, read, lostReason);
    ending.framesSent = framesSent;
    ending.verifying = true;
    if (!ending.passed())
        return ending;
    const auto shownByBoard = board::displayFromAnswer(result.lastAnswer);
    if (!shownByBoard) {
        ending.kind = Ending::Kind::NoDisplay;
        ending.reason = QStringLiteral("the board did not send its display memory: ") + shown(result.lastAnswer);
        return ending;
    }
    ending.difference = board::compare(expected, *shownByBoard);
    if (ending.difference->count > 0) {
        ending.kind = Ending::Kind::Differs;
        ending.reason = ending.difference->describe();
    }
    return ending;
}

} // namespace varnix::fleet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/boardrun.h"

#include "board/boardshadow.h"
#include "board/firmware.h"
#include "link/core/connection.h"
#include "link/core/networkaddress.h"
#include "link/core/pause.h"
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
// How often a run looks whether its port has connected, when nothing tells it.
constexpr int kLookWhileOpeningMs = 100;

const script::Step* stepAt(const script::Script& script, int line)
{
    for (const script::Step& step : script.steps) {
        if (step.line == line)
            return &step;
    }
    return nullptr;
}

Ending endingOf(const script::Runner::Result& result, const script::Script& script, const QString& lostReason)
{
    using Outcome = script::Runner::Outcome;
    using Kind = Ending::Kind;
    Ending ending;
    ending.line = result.line;
    ending.framesAnswered = result.framesAnswered;
    switch (result.outcome) {
    case Outcome::Done:
        break;
    case Outcome::NoAnswer:
        ending.kind = Kind::NoAnswer;
        ending.reason = QStringLiteral("no answer: \"%1\" did not come within %2 s")
                            .arg(QLatin1String(script::Runner::kPrompt))
                            .arg(script::kReadyTimeoutMs / 1000);
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
    case Outcome::ScreenFailed:
        ending.kind = Kind::ScreenDiffers;
        ending.reason = result.answer;
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

QString answerLine(int line, const QString& frame, const QString& answer)
{
    return QStringLiteral("%1: %2 -> %3")
        .arg(line > 0 ? QString::number(line) : QStringLiteral("verify"), shown(frame), shown(answer));
}

QString saidLine(const QString& text)
{
    return QStringLiteral("board: ") + shown(text);
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
    // Nothing has been sent yet: the board loses nothing.
    if (m_port && m_port->opening())
        m_port->cancelOpen();
    if (!m_runner)
        return;
    if (now)
        m_runner->stop();
    else
        m_runner->stopAtFrameEnd();
}

Ending BoardRun::run()
{
    link::EventLoopPause pause;
    script::EventLoopClock clock;
    return link::runNow(running(pause, clock));
}

link::Task<Ending> BoardRun::running(link::Pause& pause, script::Clock& clock)
{
    link::PortMap ports;
    ports.setDevices({m_board.address});
    link::PortSwitch port(ports);
    port.setPortNumber(1);
    port.setSettings(m_board.settings);
    link::Connection connection(port, pause);
    // What the board should show: every character that went out.
    board::BoardShadow model(connection);
    std::unique_ptr<script::SessionLog> log;
    if (!m_logFile.isEmpty()) {
        log = std::make_unique<script::SessionLog>(connection);
        connect(log.get(), &script::SessionLog::failed, this, &BoardRun::logFailed);
        log->start(m_logFile, script::SessionLog::Mode::Replace, m_board.address);
    }
    const auto note = [&log](const QString& event) {
        if (log && log->running())
            log->note(event);
    };

    Ending ending;
    QString lostReason;
    connect(&connection, &link::Connection::lost, this, [&lostReason](const QString& reason) { lostReason = reason; });
    bool isOpen = false;
    if (!m_stopAsked) {
        // A network port connects while the clock waits; a stop gives it up.
        const auto wake = [&clock] { clock.wake(); };
        connect(&connection, &link::Connection::opened, this, wake);
        connect(&connection, &link::Connection::openFailed, this, wake);
        m_port = &port;
        connection.beginOpen();
        while (connection.state() == link::Connection::State::Opening)
            co_await clock.sleeping(kLookWhileOpeningMs);
        m_port = nullptr;
        isOpen = connection.isOpen();
    }
    if (m_stopAsked) {
        ending.kind = Ending::Kind::CutShort;
        ending.reason = isOpen ? QStringLiteral("cut short") : QStringLiteral("cut short while connecting");
    } else if (!isOpen) {
        ending.kind = Ending::Kind::Unreachable;
        // The port's hint names the device or address, and says why.
        ending.reason = port.failureReason().isEmpty() ? QStringLiteral("cannot open %1").arg(m_board.address)
                                                       : port.failureReason();
    } else {
        emit opened();
        script::Runner runner(connection, clock);
        runner.setStartLine(QString::fromLatin1(board::Firmware::kStartLine));
        connect(&runner, &script::Runner::answered, this, &BoardRun::answered);
        connect(&runner, &script::Runner::boardSaid, this, &BoardRun::said);
        connect(&runner, &script::Runner::framesAnsweredChanged, this, &BoardRun::framesAnswered);
        m_runner = &runner;
        ending = co_await sendAndVerify(runner, model, lostReason);
        m_runner = nullptr;
    }
    note(ending.passed() ? QStringLiteral("passed") : QStringLiteral("failed: ") + ending.describe());
    co_await connection.closing();
    co_return ending;
}

link::Task<Ending> BoardRun::sendAndVerify(script::Runner& runner, const board::BoardShadow& model,
                                           const QString& lostReason)
{
    // Each screen line is told as a line of its own, and the failing one's
    // verdict kept.
    std::optional<board::ScreenVerdict> failed;
    const ScreenJudge judge = m_plan.screens ? m_plan.screens(m_fileName) : ScreenJudge();
    if (judge) {
        runner.setScreenCheck({board::displayAnswerFinished, [&](const script::Step& step, const QString& answer) {
            board::ScreenVerdict verdict = judge(step, answer);
            emit answered(step.line, script::screenLine(step.text), verdict.said);
            if (verdict.passed())
                return QString();
            failed = verdict;
            return verdict.said;
        }});
    }
    Ending ending = endingOf(co_await runner.running(m_plan.script, m_plan.delay), m_plan.script, lostReason);
    if (ending.kind == Ending::Kind::ScreenDiffers && failed) {
        using Verdict = board::ScreenVerdict::Kind;
        ending.kind = failed->kind == Verdict::Missing ? Ending::Kind::ScreenMissing
            : failed->kind == Verdict::NoDisplay       ? Ending::Kind::NoDisplay
                                                       : Ending::Kind::ScreenDiffers;
        ending.pictures = failed->pictures;
    }
    if (!ending.passed() || !m_plan.verify)
        co_return ending;
    const int framesAnswered = ending.framesAnswered;
    if (m_stopAsked) {
        // The runner was between runs and took no notice.
        ending.kind = Ending::Kind::CutShort;
        ending.reason = QStringLiteral("cut short");
        ending.verifying = true;
        co_return ending;
    }
    emit verifying();
    const board::Display expected = model.firmware().display();
    script::Script read;
    read.steps.append(script::Step{script::Step::Kind::Send, 0, QString::fromLatin1(board::kWholeDisplayRead)});
    runner.setAnswered(board::displayAnswerFinished);
    const auto result = co_await runner.running(read, runner.delay());
    ending = endingOf(result, read, lostReason);
    ending.framesAnswered = framesAnswered;
    ending.verifying = true;
    if (!ending.passed())
        co_return ending;
    const auto shownByBoard = board::displayFromAnswer(result.lastAnswer);
    if (!shownByBoard) {
        ending.kind = Ending::Kind::NoDisplay;
        ending.reason = QStringLiteral("the board did not send its display memory: ") + shown(result.lastAnswer);
        co_return ending;
    }
    ending.difference = board::compare(expected, *shownByBoard);
    if (ending.difference->count > 0) {
        ending.kind = Ending::Kind::Differs;
        ending.reason = ending.difference->describe();
    }
    co_return ending;
}

} // namespace varnix::fleet

namespace varnix::fleet {

void BoardRun::logNotStarted(const Board& board, const QString& path)
{
    link::PortMap ports;
    link::PortSwitch port(ports);
    port.setSettings(board.settings);
    link::EventLoopPause pause;
    link::Connection connection(port, pause);
    script::SessionLog log(connection);
    if (log.start(path, script::SessionLog::Mode::Replace, board.address))
        log.note(QStringLiteral("not started: the run was stopped before its turn"));
}

} // namespace varnix::fleet

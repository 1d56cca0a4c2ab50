// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <csignal>
#include <pthread.h>

namespace varnix::fleet {

Fleet::Fleet(const QList<Board>& boards, Plan plan, QObject* parent)
    : QObject(parent), m_plan(std::move(plan)), m_calls(new CallQueue(this))
{
    for (const Board& board : boards) {
        BoardReport report;
        report.board = board;
        m_reports.append(report);
    }
}

Fleet::~Fleet()
{
    // Ends the runs still going at once: their threads use this object's plan.
    for (const Running& running : std::as_const(m_running)) {
        BoardRun* run = running.run;
        running.inbox->post([run] { run->stop(true); });
    }
    for (const Running& running : std::as_const(m_running))
        running.thread->wait();
    // Taken under the queue's lock: all the threads did happened before.
    m_calls->drop();
    for (const Running& running : std::as_const(m_running)) {
        delete running.run;
        delete running.thread;
    }
}

QStringList Fleet::logFileNames(const QList<Board>& boards)
{
    QStringList names;
    QSet<QString> taken;
    for (const Board& board : boards) {
        QString base;
        // Never a hidden file.
        for (const QChar c : board.name)
            base += isNameCharacter(c) && (c != u'.' || !base.isEmpty()) ? c : QChar(u'_');
        QString name = base + QStringLiteral(".log");
        for (int n = 2; taken.contains(name); ++n)
            name = QStringLiteral("%1-%2.log").arg(base).arg(n);
        taken.insert(name);
        names << name;
    }
    return names;
}

void Fleet::start()
{
    m_elapsed.start();
    QList<Board> boards;
    for (const BoardReport& report : std::as_const(m_reports))
        boards << report.board;
    m_logNames = logFileNames(boards);
    launchMore();
    if (done())
        emit finished();
}

void Fleet::stop()
{
    ++m_stops;
    const bool now = m_stops > 1;
    for (const Running& running : std::as_const(m_running)) {
        BoardRun* run = running.run;
        running.inbox->post([run, now] { run->stop(now); });
    }
    // Those not yet begun never will; their logs say so.
    for (; m_next < m_reports.size(); ++m_next) {
        BoardReport& report = m_reports[m_next];
        report.stage = BoardReport::Stage::Done;
        report.ending.kind = Ending::Kind::CutShort;
        report.ending.reason = QStringLiteral("not started");
        if (!m_logFolder.isEmpty())
            BoardRun::logNotStarted(report.board, QDir(m_logFolder).filePath(m_logNames.value(m_next)));
        emit changed(m_next);
    }
    if (done())
        emit finished();
}

void Fleet::launchMore()
{
    const int most = m_jobs > 0 ? m_jobs : int(m_reports.size());
    while (m_stops == 0 && m_next < m_reports.size() && m_running.size() < most)
        launch(m_next++);
}

void Fleet::launch(int index)
{
    BoardReport& report = m_reports[index];
    report.started = true;
    report.stage = BoardReport::Stage::Connecting;
    auto* run = new BoardRun(report.board, m_plan);
    run->setFinish(link::EventLoopPause::Finish::Sleep);
    if (!m_logFolder.isEmpty())
        run->setLogFile(QDir(m_logFolder).filePath(m_logNames.value(index)));
    run->setFileName(QFileInfo(m_logNames.value(index)).completeBaseName());

    // The run's signals come from its own thread: each is handed to this
    // one as a change of the board's report.
    const auto tell = [this, index](std::function<void(BoardReport&)> change) {
        m_calls->post([this, index, change] {
            change(m_reports[index]);
            emit changed(index);
        });
    };
    const auto inRun = Qt::DirectConnection;
    connect(run, &BoardRun::opened, run, [tell] {
        tell([](BoardReport& report) { report.stage = BoardReport::Stage::Sending; });
    }, inRun);
    connect(run, &BoardRun::verifying, run, [tell] {
        tell([](BoardReport& report) { report.stage = BoardReport::Stage::Verifying; });
    }, inRun);
    connect(run, &BoardRun::answered, run, [tell](int line, const QString& frame, const QString& answer) {
        tell([text = answerLine(line, frame, answer)](BoardReport& report) { keepAnswer(report, text); });
    }, inRun);
    connect(run, &BoardRun::said, run, [tell](const QString& said) {
        tell([text = saidLine(said)](BoardReport& report) { keepAnswer(report, text); });
    }, inRun);
    connect(run, &BoardRun::framesAnswered, run, [tell](int count) {
        tell([count](BoardReport& report) {
            if (report.stage != BoardReport::Stage::Done)
                report.framesAnswered = count;
        });
    }, inRun);
    connect(run, &BoardRun::logFailed, run, [tell](const QString& message) {
        tell([message](BoardReport& report) { report.notes << message; });
    }, inRun);

    QThread* thread = QThread::create([this, run, index] {
        QElapsedTimer took;
        took.start();
        const Ending ending = run->run();
        const qint64 ms = took.elapsed();
        m_calls->post([this, index, ending, ms] { ended(index, ending, ms); });
    });
    // The run, its inbox among its children, lives in its thread.
    auto* inbox = new CallQueue(run);
    run->moveToThread(thread);
    connect(thread, &QThread::finished, this, [this, index] { threadFinished(index); }, Qt::QueuedConnection);
    m_running.insert(index, Running{thread, run, inbox});

    // Ctrl+C is this thread's to take: the runs' threads are begun with it
    // (and its kin) blocked, so that no pause or read of theirs is cut by it.
    sigset_t blocked;
    sigset_t before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    thread->start();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!thread->isRunning() && !thread->isFinished()) {
        // The system gave no thread: the board fails, and the fleet goes on.
        Ending ending;
        ending.kind = Ending::Kind::Unreachable;
        ending.reason = QStringLiteral("no thread could be started for it");
        ended(index, ending, 0);
        QMetaObject::invokeMethod(this, [this, index] { threadFinished(index); }, Qt::QueuedConnection);
    }
}

void Fleet::keepAnswer(BoardReport& report, const QString& line)
{
    report.answers << line;
    report.answersSize += line.size();
    while (report.answersSize > kKeptAnswers && report.answers.size() > 1) {
        report.answersSize -= report.answers.takeFirst().size();
        ++report.answersLeftOut;
    }
}

void Fleet::ended(int index, const Ending& ending, qint64 milliseconds)
{
    BoardReport& report = m_reports[index];
    report.stage = BoardReport::Stage::Done;
    report.ending = ending;
    report.framesAnswered = ending.framesAnswered;
    report.milliseconds = milliseconds;
    emit changed(index);
}

void Fleet::threadFinished(int index)
{
    // Its last report (ended()) is taken first, under the queue's lock.
    m_calls->runWaiting();
    const Running running = m_running.take(index);
    running.thread->wait();
    delete running.run;
    running.thread->deleteLater();
    launchMore();
    if (done())
        emit finished();
}

} // namespace varnix::fleet

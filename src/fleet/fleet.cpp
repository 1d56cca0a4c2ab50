// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleet.h"

#include "fleet/pacer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <csignal>
#include <memory>
#include <optional>
#include <pthread.h>
#include <unordered_map>

namespace varnix::fleet {

// One thread's share of the fleet: the runs of the boards it is handed,
// driven by its pacer. It lives in its thread, and everything in it is
// touched from there alone, through its inbox.
class Fleet::Crew : public QObject
{
public:
    // A change to a board's report, run in the fleet's thread.
    using Tell = std::function<void(std::function<void(BoardReport&)>)>;
    using Ended = std::function<void(const Ending& ending, qint64 milliseconds)>;

    // `fleetCalls`: the fleet's own queue, which it empties before it
    // deletes the crew.
    explicit Crew(CallQueue* fleetCalls) : m_inbox(new CallQueue(this)), m_fleetCalls(fleetCalls) {}

    // From any thread.
    CallQueue* inbox() const { return m_inbox; }

    void launch(const Board& board, const Plan& plan, const QString& logFile, const QString& fileName, const Tell& tell,
                const Ended& ended)
    {
        if (!m_pacer)
            m_pacer = std::make_unique<Pacer>();
        if (!m_pacer->failure().isEmpty()) {
            Ending ending;
            ending.kind = Ending::Kind::Unreachable;
            ending.reason = QStringLiteral("no timer could be made for its pacing: ") + m_pacer->failure();
            ended(ending, 0);
            return;
        }
        auto* seat = new Seat{std::make_unique<BoardRun>(board, plan), std::make_unique<Pacer::Waits>(*m_pacer), {},
                              {}};
        BoardRun* run = seat->run.get();
        if (!logFile.isEmpty())
            run->setLogFile(logFile);
        run->setFileName(fileName);
        // Its signals come in this thread: each is handed to the fleet's
        // as a change of the board's report.
        connect(run, &BoardRun::opened, run, [tell] {
            tell([](BoardReport& report) { report.stage = BoardReport::Stage::Sending; });
        });
        connect(run, &BoardRun::verifying, run, [tell] {
            tell([](BoardReport& report) { report.stage = BoardReport::Stage::Verifying; });
        });
        connect(run, &BoardRun::answered, run, [tell](int line, const QString& frame, const QString& answer) {
            tell([text = answerLine(line, frame, answer)](BoardReport& report) { keepAnswer(report, text); });
        });
        connect(run, &BoardRun::said, run, [tell](const QString& said) {
            tell([text = saidLine(said)](BoardReport& report) { keepAnswer(report, text); });
        });
        connect(run, &BoardRun::framesAnswered, run, [tell](int count) {
            tell([count](BoardReport& report) {
                if (report.stage != BoardReport::Stage::Done)
                    report.framesAnswered = count;
            });
        });
        connect(run, &BoardRun::logFailed, run, [tell](const QString& message) {
            tell([message](BoardReport& report) { report.notes << message; });
        });
        m_seats.emplace(seat, std::unique_ptr<Seat>(seat));
        seat->took.start();
        seat->task.emplace(run->running(*seat->waits, *seat->waits));
        seat->task->start([this, seat, ended] {
            ended(seat->task->result(), seat->took.elapsed());
            // Not from inside its own coroutine: from the loop, next.
            m_inbox->post([this, seat] { forget(seat); });
        });
    }

    void stop(bool now)
    {
        for (const auto& [seat, owned] : m_seats)
            seat->run->stop(now);
    }

    // Ends the thread once no run is left, at once when none is.
    void finish()
    {
        m_finishing = true;
        if (m_seats.empty()) {
            m_pacer.reset();
            m_fleetCalls->handOver();
            QThread::currentThread()->quit();
        }
    }

private:
    struct Seat {
        std::unique_ptr<BoardRun> run;
        std::unique_ptr<Pacer::Waits> waits;
        std::optional<link::Task<Ending>> task;
        QElapsedTimer took;
    };

    void forget(Seat* seat)
    {
        // The task first: its frame holds the run's port and connection.
        seat->task.reset();
        m_seats.erase(seat);
        if (m_finishing)
            finish();
    }

    CallQueue* m_inbox;
    CallQueue* m_fleetCalls;
    std::unique_ptr<Pacer> m_pacer;
    std::unordered_map<Seat*, std::unique_ptr<Seat>> m_seats;
    bool m_finishing = false;
};

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
    // Ends the runs still going at once, then the crews' threads.
    for (const CrewSlot& slot : m_crews) {
        Crew* crew = slot.crew;
        crew->inbox()->post([crew] {
            crew->stop(true);
            crew->finish();
        });
    }
    for (const CrewSlot& slot : m_crews)
        slot.thread->wait();
    // Taken under the queue's lock: all the threads did happened before.
    m_calls->drop();
    for (const CrewSlot& slot : m_crews) {
        delete slot.crew;
        delete slot.thread;
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
    startCrews();
    launchMore();
    if (done())
        emit finished();
}

void Fleet::startCrews()
{
    int count = m_threads > 0 ? m_threads : QThread::idealThreadCount();
    count = std::max(1, std::min<int>(count, int(m_reports.size())));
    if (m_jobs > 0)
        count = std::min(count, m_jobs);
    // Ctrl+C is this thread's to take: the crews' threads are begun with it
    // (and its kin) blocked, so that no pause or read of theirs is cut by it.
    sigset_t blocked;
    sigset_t before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    for (int i = 0; i < count; ++i) {
        auto* thread = new QThread;
        auto* crew = new Crew(m_calls);
        crew->moveToThread(thread);
        thread->start();
        if (!thread->isRunning() && !thread->isFinished()) {
            delete crew;
            delete thread;
            continue;
        }
        m_crews.push_back(CrewSlot{thread, crew, 0});
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void Fleet::stop()
{
    ++m_stops;
    const bool now = m_stops > 1;
    for (const CrewSlot& slot : m_crews) {
        Crew* crew = slot.crew;
        crew->inbox()->post([crew, now] { crew->stop(now); });
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
    if (m_crews.empty()) {
        // The system gave no thread: the board fails, and the fleet goes on.
        Ending ending;
        ending.kind = Ending::Kind::Unreachable;
        ending.reason = QStringLiteral("no thread could be started for it");
        m_running.insert(index, -1);
        QMetaObject::invokeMethod(this, [this, index, ending] { ended(index, ending, 0); }, Qt::QueuedConnection);
        return;
    }
    // The crew with the fewest boards.
    int chosen = 0;
    for (int i = 1; i < int(m_crews.size()); ++i) {
        if (m_crews[i].running < m_crews[chosen].running)
            chosen = i;
    }
    ++m_crews[chosen].running;
    m_running.insert(index, chosen);
    Crew* crew = m_crews[chosen].crew;
    const QString logFile = m_logFolder.isEmpty() ? QString() : QDir(m_logFolder).filePath(m_logNames.value(index));
    const QString fileName = QFileInfo(m_logNames.value(index)).completeBaseName();

    // What the crew's thread reports comes to this one's, as a change of the
    // board's report or its end.
    CallQueue* calls = m_calls;
    const Crew::Tell tell = [this, calls, index](std::function<void(BoardReport&)> change) {
        calls->post([this, index, change] {
            change(m_reports[index]);
            emit changed(index);
        });
    };
    const Crew::Ended hasEnded = [this, calls, index](const Ending& ending, qint64 milliseconds) {
        calls->post([this, index, ending, milliseconds] { ended(index, ending, milliseconds); });
    };
    crew->inbox()->post([crew, board = report.board, plan = m_plan, logFile, fileName, tell, hasEnded] {
        crew->launch(board, plan, logFile, fileName, tell, hasEnded);
    });
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
    if (const int crew = m_running.take(index); crew >= 0)
        --m_crews[std::size_t(crew)].running;
    emit changed(index);
    launchMore();
    if (done())
        emit finished();
}

} // namespace varnix::fleet

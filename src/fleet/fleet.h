// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/boardrun.h"
#include "fleet/callqueue.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>

#include <vector>

class QThread;

namespace varnix::fleet {

// A board's place in a fleet's run, as the progress and the report show it.
struct BoardReport {
    enum class Stage { Waiting, Connecting, Sending, Verifying, Done };
    Board board;
    Stage stage = Stage::Waiting;
    // Frames of the script the board has taken so far (Ending::framesAnswered).
    int framesAnswered = 0;
    Ending ending;
    // Whether its run began: a board still waiting when the fleet was
    // stopped never did.
    bool started = false;
    qint64 milliseconds = 0;
    // "LINE: FRAME -> ANSWER" lines, as a single run prints them; the
    // newest kept when there are too many.
    QStringList answers;
    qsizetype answersLeftOut = 0;
    qsizetype answersSize = 0;
    // What went wrong besides the run (its session log).
    QStringList notes;
};

// Runs a script on many boards at once. The boards' runs share a few
// threads (about one a core), each with a Pacer that drives every run of
// its thread: a run is the coroutine a single run drives too, so each
// board keeps its own pacing, waits and verdicts exactly as alone, and no
// board's fault or pace holds up another. This object, in the calling
// thread, hands the boards out and gathers what they report.
//
// Threads: this object and its reports belong to the calling thread. A
// crew (fleet.cpp), its pacer and every BoardRun it starts, with their
// ports and session logs, belong to the crew's thread. They talk only
// through CallQueues: a crew hands what its boards report to this object's
// queue, and launches and stops come through the crew's own.
class Fleet : public QObject
{
    Q_OBJECT
public:
    // Beyond this many characters of a board's answers the oldest are left out.
    static constexpr qsizetype kKeptAnswers = 32 * 1024;

    Fleet(const QList<Board>& boards, Plan plan, QObject* parent = nullptr);
    ~Fleet() override;

    // At most this many boards run at once; 0: all of them.
    void setJobs(int jobs) { m_jobs = jobs; }
    // The threads the boards share; 0: one a core.
    void setThreads(int threads) { m_threads = threads; }
    // Keeps each board's session log in this folder, under its name.
    void setLogFolder(const QString& folder) { m_logFolder = folder; }

    void start();
    // The first call ends every run at its next frame boundary and starts
    // no more; a second one ends them at once.
    void stop();
    int stops() const { return m_stops; }
    bool done() const { return m_running.isEmpty() && m_next >= m_reports.size(); }

    const QList<BoardReport>& reports() const { return m_reports; }
    int frameCount() const { return int(m_plan.script.frameCount()); }
    qint64 elapsed() const { return m_elapsed.isValid() ? m_elapsed.elapsed() : 0; }

    // The file a board's session log goes to in the folder: its name made
    // safe, and unique among the fleet's.
    static QStringList logFileNames(const QList<Board>& boards);

signals:
    // A board's stage, frames or notes changed.
    void changed(int index);
    // Every board has ended.
    void finished();

private:
    class Crew;
    // A thread and the crew that lives in it; `running` counts the boards
    // it has been handed that have not ended yet.
    struct CrewSlot {
        QThread* thread = nullptr;
        Crew* crew = nullptr;
        int running = 0;
    };
    void startCrews();
    void launchMore();
    void launch(int index);
    void ended(int index, const Ending& ending, qint64 milliseconds);
    static void keepAnswer(BoardReport& report, const QString& line);

    QList<BoardReport> m_reports;
    Plan m_plan;
    int m_jobs = 0;
    QString m_logFolder;
    QStringList m_logNames;
    int m_next = 0;
    int m_stops = 0;
    int m_threads = 0;
    std::vector<CrewSlot> m_crews;
    // The boards running, by their crew.
    QHash<int, int> m_running;
    // What the boards' threads report, run in this object's thread.
    CallQueue* m_calls;
    QElapsedTimer m_elapsed;
};

} // namespace varnix::fleet

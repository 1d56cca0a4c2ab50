// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/fleetcommand.h"

#include "app/cli/interrupts.h"

#include "fleet/fleet.h"
#include "fleet/portsfile.h"
#include "fleet/report.h"
#include "link/core/portmap.h"
#include "screens/screens.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace varnix {

namespace {

// A board's name in the terminal's view is cut beyond this.
constexpr int kWidestName = 32;
// How often the terminal's view is drawn again, at most.
constexpr int kRedrawMs = 100;

// What the user sees while the boards run: on a terminal tall enough, a line
// a board and one of counts, rewritten in place; otherwise a line an event.
class Progress
{
public:
    Progress(const fleet::Fleet& rack, QTextStream& out) : m_fleet(rack), m_out(out)
    {
        const auto& reports = rack.reports();
        m_stages.fill(fleet::BoardReport::Stage::Waiting, reports.size());
        winsize size{};
        const char* term = std::getenv("TERM");
        const bool terminal = ::isatty(STDOUT_FILENO) && !(term && QByteArrayView(term) == "dumb")
            && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20;
        m_live = terminal && fits(size.ws_row);
        m_columns = size.ws_col;
        for (const fleet::BoardReport& report : reports)
            m_nameWidth = std::max(m_nameWidth, int(std::min<qsizetype>(report.board.name.size(), kWidestName)));
        if (m_live) {
            m_redraw.setInterval(kRedrawMs);
            QObject::connect(&m_redraw, &QTimer::timeout, [this] {
                if (m_dirty)
                    draw();
            });
            m_redraw.start();
        }
    }

    void changed(int index)
    {
        m_dirty = true;
        const fleet::BoardReport& report = m_fleet.reports()[index];
        if (m_live || report.stage == m_stages[index])
            return;
        m_stages[index] = report.stage;
        if (const QString line = fleet::eventLine(report, m_fleet.frameCount()); !line.isEmpty())
            m_out << line << Qt::endl;
    }

    void note(const QString& text)
    {
        m_note = text;
        m_dirty = true;
        if (!m_live)
            m_out << text << Qt::endl;
    }

    // The view as it stands now (on a terminal), at the terminal's size now.
    void draw()
    {
        if (!m_live)
            return;
        winsize size{};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
            m_columns = size.ws_col;
            if (!fits(size.ws_row)) {
                // Shrunk below the view: a line an event from here on.
                endLive();
                return;
            }
        }
        QStringList lines;
        for (const fleet::BoardReport& report : m_fleet.reports())
            lines << fleet::liveLine(report, m_fleet.frameCount(), m_nameWidth);
        lines << fleet::countsLine(m_fleet.reports()) + (m_note.isEmpty() ? QString() : QStringLiteral("; ") + m_note);
        erase();
        for (const QString& line : std::as_const(lines)) {
            const QString cut = line.left(m_columns - 1);
            m_out << cut << '\n';
            m_drawnWidths << int(cut.size());
        }
        m_out.flush();
        m_dirty = false;
    }

    // Takes the view off the terminal, for the table to stand in its place.
    void end()
    {
        m_redraw.stop();
        erase();
        m_out.flush();
    }

private:
    // The view and its line of counts fit the terminal's rows, with one to
    // spare: lines that do not would scroll away from the rewriting.
    bool fits(int rows) const { return m_fleet.reports().size() + 2 < rows; }

    void endLive()
    {
        end();
        m_live = false;
        for (qsizetype index = 0; index < m_stages.size(); ++index)
            changed(int(index));
        if (!m_note.isEmpty())
            m_out << m_note << Qt::endl;
    }

    void erase()
    {
        // A terminal that has grown narrower shows each line drawn on as
        // many rows as it now takes.
        const int rows = fleet::rowsTaken(m_drawnWidths, m_columns);
        if (rows > 0)
            m_out << "\x1b[" << rows << "A\r\x1b[J";
        m_drawnWidths.clear();
    }

    const fleet::Fleet& m_fleet;
    QTextStream& m_out;
    QList<fleet::BoardReport::Stage> m_stages;
    bool m_live = false;
    int m_columns = 80;
    int m_nameWidth = 5;
    // How wide each line of the view on the terminal was drawn.
    QList<int> m_drawnWidths;
    bool m_dirty = true;
    QString m_note;
    QTimer m_redraw;
};

} // namespace

std::uint64_t allowEveryFile()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : std::uint64_t(limit.rlim_cur);
}

int runFleetCommand(const Command& command, const script::Script& script, const ScreenJudges& judges,
                    QTextStream& out, QTextStream& err)
{
    QStringList ports = command.ports;
    if (command.portsFiles.isEmpty() && ports.isEmpty()) {
        ports << link::SystemPortMap().device(1);
        if (ports.front().isEmpty()) {
            err << "varnix: no serial device for port 1 (plug in an adapter, start varnix-board, or give --port)"
                << Qt::endl;
            return 2;
        }
    }
    const fleet::BoardsRead read = command.portsFiles.isEmpty() ? fleet::boardsFromPorts(ports)
                                                                : fleet::readPortsFiles(command.portsFiles);
    if (const auto* error = std::get_if<fleet::PortsError>(&read)) {
        err << "varnix: " << error->describe() << Qt::endl;
        return 2;
    }
    if (!command.logDir.isEmpty() && !QDir().mkpath(command.logDir)) {
        err << "varnix: cannot make the folder " << command.logDir << " for the session logs" << Qt::endl;
        return 2;
    }
    fleet::Plan plan{script, command.delay, command.verify};
    if (judges) {
        // A picture is made from one board's display.
        if (command.updateScreens && std::get<QList<fleet::Board>>(read).size() > 1) {
            err << "varnix: --update-screens makes the pictures from one board's display: give one board" << Qt::endl;
            return 2;
        }
        if (const QString why = screens::folderRefusal(command.logDir); !why.isEmpty()) {
            err << "varnix: a failed screen line's pictures could not be kept: " << why << Qt::endl;
            return 2;
        }
        plan.screens = [judges, folder = command.logDir](const QString& fileName) { return judges(folder, fileName); };
    }
    if (!command.junit.isEmpty()) {
        // Found out now, not after the boards have run.
        QSaveFile trial(command.junit);
        if (!trial.open(QIODevice::WriteOnly)) {
            err << "varnix: cannot write " << command.junit << ": " << trial.errorString() << Qt::endl;
            return 2;
        }
        trial.cancelWriting();
    }
    allowEveryFile();

    fleet::Fleet rack(std::get<QList<fleet::Board>>(read), plan);
    rack.setJobs(command.jobs);
    rack.setLogFolder(command.logDir);
    Progress progress(rack, out);
    QObject::connect(&rack, &fleet::Fleet::changed, [&progress](int index) { progress.changed(index); });
    Interrupts interrupts([&](int count) {
        progress.note(count == 1 ? QStringLiteral("stopping: each board ends once the frame it is sending is answered "
                                                  "(Ctrl+C again ends them at once)")
                                 : QStringLiteral("stopping at once"));
        rack.stop();
    });
    QEventLoop loop;
    QObject::connect(&rack, &fleet::Fleet::finished, &loop, &QEventLoop::quit);
    rack.start();
    progress.draw();
    if (!rack.done())
        loop.exec();
    progress.end();

    for (const QString& line : fleet::table(rack.reports(), rack.frameCount()))
        out << line << '\n';
    out << "took " << script::durationText(rack.elapsed()) << Qt::endl;
    const bool passed = std::all_of(rack.reports().begin(), rack.reports().end(),
                                    [](const fleet::BoardReport& report) { return report.ending.passed(); });
    int code = passed ? 0 : 1;
    if (!command.junit.isEmpty()) {
        QString why;
        if (!fleet::writeJUnit(command.junit, QFileInfo(command.script).fileName(), rack.reports(),
                               rack.frameCount(), rack.elapsed(), &why)) {
            err << "varnix: cannot write " << command.junit << ": " << why << Qt::endl;
            code = 1;
        }
    }
    return code;
}

} // namespace varnix

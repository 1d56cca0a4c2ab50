// SPDX-License-Identifier: GPL-3.0-or-later
// The screen editor's three aims:
//  - a screen of 500 objects redrawn while one is dragged: each step of the
//    drag, with the canvas, the list and the panel brought up to date and
//    the canvas painted (aim under 8 ms a step);
//  - a script of 5,000 lines opened into the editor (aim under 200 ms);
//  - with Live on and a virtual board on a pseudo-terminal, the time from an
//    edit to the board's display showing it, against the paced time of the
//    frames the update needed: their pacing pauses (the pseudo-terminal
//    carries the characters at once), and their line time at 19200 baud.
//    Aim within 50 ms of it. Frames that end in a step or a tick are shown
//    once the line goes quiet, as the firmware waits.
// Usage: bench_editor [steps of the drag, default 200] [edits, default 20]
#include "board/displaycheck.h"
#include "editor/canvas.h"
#include "editor/core/edits.h"
#include "editor/live.h"
#include "editor/screeneditor.h"
#include "support/boardfixture.h"
#include "support/fixture.h"
#include "support/screens.h"

#include "benchutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace varnix;

namespace {

void mouse(ScreenEditor* editor, QEvent::Type type, QPoint dot)
{
    ScreenCanvas* canvas = editor->canvas();
    const QPointF at((dot.x() + 0.5) * canvas->zoom(), (dot.y() + 0.5) * canvas->zoom());
    QMouseEvent event(type, at, canvas->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &event);
}

ScreenEditor* openEditor(test::WindowFixture& f, const QString& folder)
{
    f.main().setScreenSetup(nullptr, folder);
    f.main().cmdScreen_Click();
    ScreenEditor* editor = f.main().screenEditor();
    editor->show();
    QApplication::processEvents();
    return editor;
}

// A screen of objects of every kind as a script file, `count` objects or,
// given `lines`, that many lines of it; its path.
QString writeScreen(const QTemporaryDir& dir, const QString& name, int count, int lines = 0)
{
    QRandomGenerator random(500);
    const editor::Screen screen = test::randomScreen(random, count);
    QByteArray text = screen.text();
    if (lines > 0)
        text = text.split('\n').mid(0, lines).join('\n') + '\n';
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0)
        return {};
    return path;
}

void dragging(int steps)
{
    QTemporaryDir dir;
    test::Fixture f;
    ScreenEditor* editor = openEditor(f, dir.path());
    if (!editor->openFile(writeScreen(dir, QStringLiteral("500.vnx"), 500))) {
        std::printf("the screen of 500 objects could not be opened\n");
        return;
    }
    // A circle added on top, and dragged about by its ring.
    editor->addObject(editor::Kind::Circle);
    QPoint at(84, 32);
    mouse(editor, QEvent::MouseButtonPress, at);
    std::vector<double> times;
    std::vector<double> cpu;
    for (int i = 0; i < steps; ++i) {
        at += QPoint(i % 20 < 10 ? 1 : -1, i % 6 < 3 ? 1 : -1);
        QElapsedTimer step;
        step.start();
        const double cpuBefore = threadCpuMs();
        mouse(editor, QEvent::MouseMove, at);
        // Painted: the canvas, and the list and the panel as they change.
        editor->canvas()->repaint();
        QApplication::processEvents();
        times.push_back(double(step.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - cpuBefore);
    }
    mouse(editor, QEvent::MouseButtonRelease, at);
    std::printf("drag over a screen of %d objects: median %.2f ms a step (CPU %.2f ms), 95th percentile %.2f ms "
                "(CPU %.2f ms) (aim under 8 ms)\n",
                int(editor->screen().items().size()) - 2, median(times), median(cpu), percentile(times, 0.95),
                percentile(cpu, 0.95));
}

void opening()
{
    QTemporaryDir dir;
    const QString path = writeScreen(dir, QStringLiteral("5000.vnx"), 5000, 5000);
    test::Fixture f;
    ScreenEditor* editor = openEditor(f, dir.path());
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer open;
        open.start();
        editor->openFile(path);
        QApplication::processEvents();
        times.push_back(double(open.nsecsElapsed()) / 1e6);
    }
    std::printf("opening a script of %lld lines: median %.1f ms, worst %.1f ms (aim under 200 ms)\n",
                static_cast<long long>(editor->screen().text().count('\n')), median(times),
                *std::max_element(times.begin(), times.end()));
}

void live(int edits)
{
    QTemporaryDir dir;
    test::BoardFixture f;
    f.open();
    f.settle();
    ScreenEditor* editor = openEditor(f, dir.path());
    editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->click();
    const auto shows = [&] {
        return !editor->live().sending() && f.board.firmware().display() == editor->canvas()->display();
    };
    QElapsedTimer wait;
    wait.start();
    while (!shows() && wait.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);

    static const editor::Kind kinds[] = {editor::Kind::Circle, editor::Kind::Dot, editor::Kind::Star,
                                         editor::Kind::Line, editor::Kind::Byte, editor::Kind::Character};
    std::vector<double> overheads;
    std::vector<double> latencies;
    std::vector<double> beyondLine;
    double worst = -1e9;
    QString worstFrames;
    for (int i = 0; i < edits; ++i) {
        QElapsedTimer since;
        since.start();
        // Every other edit adds an object; the others move the last one,
        // whose dots must then be cleared.
        if (i % 2 == 0) {
            editor->addObject(kinds[(i / 2) % std::size(kinds)]);
        } else {
            editor->select({editor->screen().items().back().id});
            editor->moveSelection(5, 3);
        }
        while (!shows() && since.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        const double latency = double(since.nsecsElapsed()) / 1e6;
        // The pseudo-terminal carries the characters at once: what the line
        // must take is the pacing pauses, as the pty is paced.
        double paced = 0;
        for (const editor::LiveFrame& frame : editor->live().lastPlan().frames)
            paced += double(frame.frame.count(u']') * frame.delay);
        latencies.push_back(latency);
        overheads.push_back(latency - paced);
        beyondLine.push_back(latency - double(editor->live().lastPlan().microseconds) / 1000.0);
        if (qEnvironmentVariableIsSet("VARNIX_BENCH_VERBOSE"))
            std::printf("  edit %d: %.1f ms, line time %.1f ms, %d frames, way %d, %d updates\n", i, latency, paced,
                        int(editor->live().lastPlan().frames.size()), int(editor->live().lastPlan().way),
                        editor->live().updatesSent());
        if (latency - paced > worst) {
            worst = latency - paced;
            QStringList frames;
            for (const editor::LiveFrame& frame : editor->live().lastPlan().frames)
                frames << frame.frame.left(24);
            worstFrames = frames.join(u' ');
        }
    }
    std::printf("Live, %d edits on a virtual board: from the edit to the board showing it, median %.1f ms; beyond "
                "the pacing pauses of its frames median %.1f ms, worst %.1f ms (aim within 50 ms), the worst for %s; "
                "beyond their line time at 19200 baud, median %.1f ms\n",
                edits, median(latencies), median(overheads), worst, qPrintable(worstFrames), median(beyondLine));
}

} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int edits = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    dragging(steps);
    opening();
    live(edits);
    return 0;
}

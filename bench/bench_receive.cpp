// SPDX-License-Identifier: GPL-3.0-or-later
// Receiving for a long time: a long session of 80-column lines through a
// pseudo-terminal into the window, with the resident memory, the receive
// tick and the time of Copy every 5 MB, and 5 MB more with the session log
// running; then, with the window full, the find bar's search of it, the
// longest a key in the find bar holds the window over a full day of EEPROM
// reads and of short lines, in each view (see findKeys()), what one tick of
// the receive poll costs, the resident memory after each of six
// floods of 10 MiB with the longest stall of the event loop while they
// arrive, and the CPU the window uses while a pseudo-terminal feeds it text
// at 56000 baud's rate: as text, with the times margin, and as the hex view.
// Under callgrind (see InstructionCount) the feeds also count the window's
// instructions a second of stream, which a busy machine does not change:
//   valgrind --tool=callgrind --instr-atstart=no --separate-threads=yes
//       bench_receive 20 0 0
// Usage: bench_receive [seconds of each feeding, default 60] [MB of the long
// session, default 30; 0 leaves it out] [floods, default 6; 0 leaves them
// and the searches out, for a profile of the steady feed alone]
#include "benchutil.h"
#include "app/window/mainwindow.h"
#include "widgets/fields.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "link/terminal.h"
#include "link/receiveview.h"
#include "script/sessionlog.h"
#include "support/fixture.h"
#include "support/pty.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QApplication>
#include <QClipboard>
#include <QPaintEvent>
#include <QScrollBar>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <numeric>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

QByteArray textLines(qsizetype size, int firstLine)
{
    QByteArray text;
    text.reserve(size);
    int line = firstLine;
    while (text.size() < size) {
        text += "Reply ";
        text += QByteArray::number(line++);
        text += ": 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77\r\n";
    }
    text.truncate(size);
    return text;
}

// Copy puts the text on the application's real clipboard, so that its time
// is what a person's Copy costs; messages are recorded, not shown.
class ClipboardDesktop : public test::RecordingDesktop
{
public:
    void setClipboardText(const QString& text) override
    {
        QApplication::clipboard()->setText(text);
    }
};

QByteArray columnLines(qsizetype size, qint64 firstLine)
{
    QByteArray text;
    text.reserve(size + 82);
    qint64 line = firstLine;
    while (text.size() < size) {
        QByteArray row = "Line " + QByteArray::number(line++) + ": ";
        while (row.size() < 80)
            row += char('A' + row.size() % 26);
        text += row;
        text += "\r\n";
    }
    return text;
}

// A long session: megabytes of 80-column lines (80 characters and CR LF)
// through the pseudo-terminal at 1 MB a second, taken by the receive poll as
// the program runs it, only timed. Every 5 MB: the resident memory against
// its size when the port was opened, the ticks of those 5 MB, and a Copy.
void longSession(Main& window, test::Pty& pty, int megabytes, double residentAtOpen, const char* since,
                 qint64 firstLine = 0)
{
    constexpr qint64 kMb = 1024 * 1024;
    constexpr qint64 kRate = kMb;  // characters a second
    const qint64 total = megabytes * kMb;
    Terminal& terminal = window.terminal();
    auto* rcv = window.findChild<TextArea*>(QStringLiteral("rcvText"));
    terminal.setPolling(false);

    qint64 received = 0;
    const auto counting = QObject::connect(&window.connection(), &link::Connection::received,
                                           [&](const QString& characters) { received += characters.size(); });
    std::atomic<bool> feeding{true};
    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        qint64 sent = 0;
        qint64 line = firstLine;
        const auto start = Clock::now();
        while (feeding.load() && sent < total) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const qint64 due = std::min<qint64>(qint64(elapsed * double(kRate)), total);
            if (due > sent) {
                QByteArray chunk = columnLines(due - sent, line);
                line += chunk.size() / 82;
                chunk.truncate(due - sent);
                pty.send(chunk);
                sent = due;
            }
        }
        fed = true;
    });

    std::vector<double> ticks;
    std::vector<double> peaks;
    double peak = 0;
    qint64 nextMark = 5 * kMb;
    QTimer poll;
    poll.setInterval(Terminal::kPollMs);
    QEventLoop loop;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const auto start = Clock::now();
        terminal.Timer1_Timer();
        ticks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        // The window's size saws up and down between its drops: the highest
        // of each 5 MB shows whether memory creeps.
        const double resident = residentMb();
        peak = std::max(peak, resident);
        if (received < nextMark && received < total)
            return;
        peaks.push_back(peak);
        const auto copyStart = Clock::now();
        terminal.Command7_Click();
        const double copyMs = std::chrono::duration<double, std::milli>(Clock::now() - copyStart).count();
        std::printf("%5.1f MB received: resident %.1f MB (%+.1f MB since %s, at most %+.1f MB in these 5 MB); "
                    "%zu ticks, median %.3f ms, max %.3f ms; Copy of %lld characters %.3f ms\n",
                    double(received) / double(kMb), resident, resident - residentAtOpen, since, peak - residentAtOpen,
                    ticks.size(), median(ticks), ticks.empty() ? 0.0 : *std::max_element(ticks.begin(), ticks.end()),
                    (long long)rcv->exactText().size(), copyMs);
        ticks.clear();
        peak = 0;
        nextMark += 5 * kMb;
        if (received >= total)
            loop.quit();
    });
    poll.start();
    loop.exec();
    poll.stop();
    feeding = false;
    // A feeder stopped early may wait for room in the pseudo-terminal.
    while (!fed.load()) {
        terminal.Timer1_Timer();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    feeder.join();
    QObject::disconnect(counting);
    if (peaks.size() >= 6)
        std::printf("highest resident memory from 20 to 25 MB received: %.1f MB, from 25 to 30 MB: %.1f MB "
                    "(%+.1f MB)\n", peaks[4], peaks[5], peaks[5] - peaks[4]);
}

// Counts the paints of the receive window's text, and the share of the
// view each paints.
class PaintCount : public QObject
{
public:
    int paints = 0;
    double share = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            const QRegion& region = static_cast<QPaintEvent*>(event)->region();
            qint64 area = 0;
            for (const QRect& rect : region)
                area += qint64(rect.width()) * rect.height();
            const QSize size = static_cast<QWidget*>(watched)->size();
            share += double(area) / double(std::max(1, size.width() * size.height()));
        }
        return false;
    }
};

// Finds the longest the event loop is held while it runs: a precise timer
// of 1 ms notes the widest gap between its ticks.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { note(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start(1);
    }
    // The longest hold so far, in milliseconds.
    double stop()
    {
        note();
        m_timer.stop();
        return double(m_longest) / 1e6;
    }

private:
    void note()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The find bar's keys over a full window, received through the
// pseudo-terminal with their times: a day of EEPROM reads (answers of 65,544
// hex digits on one line, where every 16th is an "f"), and a day of short
// lines (about 450,000, each other one an "f"). With the view in the middle
// of the text, one key at a time, and a run of ten keys as fast as they
// come, each making a one-character query, in the text view, with the times
// margin and in the hex view. The figure is the longest the event loop was
// held from the key until the count was whole and shown.
void findKeys(Main& window, test::Pty& pty, const QByteArray& unit, const char* what)
{
    constexpr double kAimMs = 50;
    Terminal& terminal = window.terminal();
    auto* rcv = window.findChild<TextArea*>(QStringLiteral("rcvText"));
    auto* find = window.findChild<QLineEdit*>(QStringLiteral("txtFind"));
    auto* findCount = window.findChild<QLabel*>(QStringLiteral("lblFindCount"));
    auto* hex = window.findChild<QCheckBox*>(QStringLiteral("chkHex"));
    auto* times = window.findChild<QCheckBox*>(QStringLiteral("chkTimes"));
    terminal.setPolling(false);
    terminal.clearReceived();
    QByteArray day;
    while (day.size() + unit.size() < Terminal::kReceiveLimit + Terminal::kReceiveLimit / 8)
        day += unit;
    std::thread feeder([&] {
        for (qsizetype sent = 0; sent < day.size(); sent += 65536)
            pty.send(day.mid(sent, 65536));
    });
    while (rcv->exactText().size() + rcv->dropped() < day.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        terminal.Timer1_Timer();
        terminal.showReceived();
        QApplication::processEvents();
    }
    feeder.join();
    std::printf("find bar over a full window of %s: %lld lines, %lld characters\n", what,
                (long long)terminal.received().lineCount(), (long long)rcv->exactText().size());
    terminal.openFind();
    // Until the count is whole, then what it set going (a repaint, the view
    // moved to the match): the milliseconds until the count was whole.
    const auto settle = [&] {
        QElapsedTimer took;
        took.start();
        while (findCount->text().endsWith(u'\u2026') && took.elapsed() < 60000)
            QApplication::processEvents();
        const qint64 whole = took.elapsed();
        while (took.elapsed() < whole + 100)
            QApplication::processEvents();
        return whole;
    };
    const auto toMiddle = [&] {
        QScrollBar* bar = hex->isChecked() ? terminal.rcvHex()->verticalScrollBar() : rcv->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        settle();
    };
    StallProbe probe;
    for (const char* view : {"text view", "text view with times", "hex view"}) {
        times->setChecked(QByteArray(view).contains("times"));
        hex->setChecked(QByteArray(view).contains("hex"));
        for (const QString& query : {QStringLiteral("f"), QStringLiteral("z")}) {
            find->clear();
            toMiddle();
            probe.start();
            QElapsedTimer took;
            took.start();
            QTest::keyClicks(find, query);
            const double keyMs = double(took.nsecsElapsed()) / 1e6;
            const qint64 wholeMs = settle();
            std::printf("  %s, \"%s\": the key held the window %.1f ms, and at most %.1f ms at a time until the "
                        "count was whole after %lld ms (aim: at most %.0f ms): %s\n",
                        view, qPrintable(query), keyMs, probe.stop(), (long long)wholeMs, kAimMs,
                        qPrintable(findCount->text()));
        }
        find->clear();
        toMiddle();
        probe.start();
        QElapsedTimer took;
        took.start();
        for (int i = 0; i < 10; ++i) {
            find->selectAll();
            QTest::keyClick(find, i % 2 ? Qt::Key_F : Qt::Key_Z);
            QApplication::processEvents();
        }
        const double runMs = double(took.nsecsElapsed()) / 1e6;
        settle();
        std::printf("  %s, a run of ten keys: %.1f ms in all, the window held at most %.1f ms at a time "
                    "(aim: at most %.0f ms)\n",
                    view, runMs, probe.stop(), kAimMs);
    }
    find->clear();
    times->setChecked(false);
    hex->setChecked(false);
    find->parentWidget()->hide();
    settle();
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int feedSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    const int sessionMb = argc > 2 ? std::max(0, atoi(argv[2])) : 30;
    const int floods = argc > 3 ? std::max(0, atoi(argv[3])) : 6;

    test::Pty pty;
    ClipboardDesktop desktop;
    link::PortMap ports;
    ports.setDevices({pty.slavePath()});
    link::QtSerialPort port(ports);
    link::EventLoopPause pause;
    Main window(Platform{desktop, ports, port, pause});
    window.resize(1100, 700);
    if (!qEnvironmentVariableIsSet("VARNIX_BENCH_HIDDEN"))
        window.show();
    window.findChild<QAbstractButton*>(QStringLiteral("cmdCom"))->click();
    if (!port.isOpen()) {
        std::printf("could not open %s\n", qPrintable(pty.slavePath()));
        return 1;
    }
    Terminal& terminal = window.terminal();
    auto* rcv = window.findChild<TextArea*>(QStringLiteral("rcvText"));
    QApplication::processEvents();
    if (sessionMb > 0) {
        longSession(window, pty, sessionMb, residentMb(), "the port was opened");
        // The same with the session log writing every line to a file.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.log"));
        window.startLog(path);
        std::printf("with the session log running:\n");
        longSession(window, pty, 5, residentMb(), "the log started", 1'000'000);
        window.sessionLog().stop();
        std::printf("the log holds %lld bytes\n", (long long)QFileInfo(path).size());
    }

    QElapsedTimer fill;
    fill.start();
    rcv->setExactText(QString::fromLatin1(textLines(10 * 1024 * 1024, 0)));
    QApplication::processEvents();
    std::printf("receive window given 10485760 characters in %lld ms; it holds %lld\n", (long long)fill.elapsed(),
                (long long)rcv->exactText().size());

    // The find bar over the full window: a rare word, a word on every line,
    // and hex bytes in the hex view.
    auto* find = window.findChild<QLineEdit*>(QStringLiteral("txtFind"));
    auto* findCount = window.findChild<QLabel*>(QStringLiteral("lblFindCount"));
    auto* hex = window.findChild<QCheckBox*>(QStringLiteral("chkHex"));
    auto* times = window.findChild<QCheckBox*>(QStringLiteral("chkTimes"));
    const auto search = [&](const QString& query) {
        const auto start = Clock::now();
        find->setText(query);
        // The search goes on in slices until the count is whole.
        do
            QApplication::processEvents();
        while (findCount->text().endsWith(u'\u2026'));
        std::printf("search for \"%s\" over the full window: %.1f ms with its repaint (%s)\n", qPrintable(query),
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
                    qPrintable(findCount->text()));
    };
    if (floods > 0) {
        terminal.openFind();
        search(QStringLiteral("Reply 20000:"));
        search(QStringLiteral("reply"));
        hex->setChecked(true);
        search(QStringLiteral("0d 0a 52"));
        hex->setChecked(false);
        find->clear();
        find->parentWidget()->hide();
        QApplication::processEvents();
        QByteArray answer;
        for (int i = 0; i < 65544; ++i)
            answer += "0123456789abcdef"[i * 7 % 16];
        findKeys(window, pty, answer + "\r\n", "EEPROM reads");
        findKeys(window, pty, "f\r\n\r\n", "short lines");
        rcv->setExactText(QString::fromLatin1(textLines(10 * 1024 * 1024, 0)));

        // What a flood costs the text view at most in one go: a part of
        // kShowAtOnce characters, with the drop of an eighth of the window it
        // brings now and then, and the drop of all when more waits than fits.
        {
            std::vector<double> parts;
            const QString part = QString::fromLatin1(textLines(Terminal::kShowAtOnce, 5000));
            for (int i = 0; i < 8; ++i) {
                const auto start = Clock::now();
                rcv->appendExact(part);
                QApplication::processEvents();
                parts.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            const auto start = Clock::now();
            rcv->dropAll(0);
            QApplication::processEvents();
            const double dropAll = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            std::printf("text view taking %lld characters into the full window, with its repaint: median %.1f ms, "
                        "max %.1f ms (with a drop); dropping all it holds: %.1f ms\n",
                        (long long)Terminal::kShowAtOnce, median(parts), *std::max_element(parts.begin(), parts.end()),
                        dropAll);
            rcv->setExactText(QString::fromLatin1(textLines(10 * 1024 * 1024, 0)));
        }

        // One tick at a time, each bringing 1 KB and shown at once.
        terminal.setPolling(false);
        std::vector<double> ticks;
        std::vector<double> ticksWithPaint;
        for (int i = 0; i < 60; ++i) {
            const QByteArray chunk = textLines(1024, 1000 + i * 20);
            pty.send(chunk);
            // A pseudo-terminal hands the bytes over at once; let them settle.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            QApplication::processEvents();
            const qsizetype held = rcv->exactText().size();
            const auto start = Clock::now();
            terminal.Timer1_Timer();
            terminal.showReceived();
            const auto ticked = Clock::now();
            if (rcv->exactText().size() - held < chunk.size())
                std::printf("a tick brought only %lld characters\n", (long long)(rcv->exactText().size() - held));
            QApplication::processEvents(); // layout and paint of what came in
            const auto painted = Clock::now();
            ticks.push_back(std::chrono::duration<double, std::milli>(ticked - start).count());
            ticksWithPaint.push_back(std::chrono::duration<double, std::milli>(painted - start).count());
        }
        std::printf("tick bringing 1 KB into the full window: median %.3f ms, max %.3f ms; with the repaint after it: "
                    "median %.3f ms, max %.3f ms\n",
                    median(ticks), *std::max_element(ticks.begin(), ticks.end()), median(ticksWithPaint),
                    *std::max_element(ticksWithPaint.begin(), ticksWithPaint.end()));
    }

    qint64 arrived = 0;
    QObject::connect(&window.connection(), &link::Connection::received,
                     [&](const QString& characters) { arrived += characters.size(); });

    // Floods: 10 MiB as fast as the pseudo-terminal takes them, the poll
    // running as in the program; a 10 ms timer finds the event loop's
    // longest stall. The window at rest, full, is the measure of memory.
    const auto settle = [] {
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    // The floods' text is made once, before the window at rest is measured,
    // and sent from where it lies: what the feeder allocates and frees in its
    // own thread would otherwise count as the window's.
    constexpr qint64 kFlood = 10 * 1024 * 1024;
    const QByteArray floodText = floods > 0 ? columnLines(kFlood, 200000) : QByteArray();
    settle();
#ifdef __GLIBC__
    // The window at rest as the program keeps it: what the fill above left
    // free is given back, as the window does after its drops.
    malloc_trim(0);
#endif
    const double atRest = residentMb();
    std::printf("resident memory at rest with a full receive window: %.1f MB\n", atRest);
    const auto flood = [&](int number) {
        const qint64 target = arrived + kFlood;
        std::thread feeder([&] {
            for (qsizetype sent = 0; sent < kFlood; sent += 65536)
                pty.send(QByteArray::fromRawData(floodText.constData() + sent,
                                                 std::min<qsizetype>(65536, kFlood - sent)));
        });
        terminal.setPolling(true);
        QElapsedTimer probeClock;
        probeClock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = probeClock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        probe.start(10);
        QElapsedTimer took;
        took.start();
        while (arrived < target && took.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        probe.stop();
        feeder.join();
        terminal.setPolling(false);
        const qint64 seconds = took.elapsed();
        settle();
        std::printf("flood %d of 10 MiB: taken in %lld ms, longest stall of the event loop %lld ms; resident "
                    "memory then %.1f MB (%+.1f MB against the window at rest)\n",
                    number, (long long)seconds, (long long)longest, residentMb(), residentMb() - atRest);
    };
    for (int i = 1; i <= floods; ++i)
        flood(i);

    // A steady feed at 5,600 characters a second, as 56000 baud delivers,
    // the poll running as in the program: as text, with times, as hex.
    PaintCount textPaints;
    rcv->viewport()->installEventFilter(&textPaints);
    PaintCount hexPaints;
    terminal.rcvHex()->viewport()->installEventFilter(&hexPaints);
    const auto steadyFeed = [&](const char* how) {
        std::vector<double> tickCpu;
        QTimer poll;
        poll.setInterval(Terminal::kPollMs);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const double before = threadCpuMs();
            terminal.Timer1_Timer();
            tickCpu.push_back(threadCpuMs() - before);
        });
        std::atomic<bool> feeding{true};
        std::thread feeder([&] {
            const QByteArray text = textLines(5600 * qsizetype(feedSeconds) + 64, 7);
            qsizetype sent = 0;
            const auto start = Clock::now();
            while (feeding.load() && sent < 5600 * qsizetype(feedSeconds)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
                const qsizetype due = std::min<qsizetype>(qsizetype(elapsed * 5600), text.size());
                if (due > sent) {
                    pty.send(text.mid(sent, due - sent));
                    sent = due;
                }
            }
        });
        // The window follows the arriving text, as a person watching it has it.
        for (QAbstractScrollArea* view : {static_cast<QAbstractScrollArea*>(rcv),
                                          static_cast<QAbstractScrollArea*>(terminal.rcvHex())})
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QApplication::processEvents();
        textPaints.paints = 0;
        hexPaints.paints = 0;
        textPaints.share = 0;
        hexPaints.share = 0;
        const qint64 arrivedBefore = arrived;
        InstructionCount instructions;
        instructions.start();
        const double cpuBefore = threadCpuMs();
        const CpuUsage usageBefore = CpuUsage::now();
        QElapsedTimer wall;
        wall.start();
        poll.start();
        // CPU of each ten seconds, to show whether the cost creeps up.
        QTimer segments;
        double segmentStart = threadCpuMs();
        QStringList perSegment;
        QObject::connect(&segments, &QTimer::timeout, [&] {
            const double now = threadCpuMs();
            perSegment << QString::number(100.0 * (now - segmentStart) / 10000.0, 'f', 2) + u'%';
            segmentStart = now;
        });
        segments.start(10000);
        QEventLoop loop;
        QTimer::singleShot(feedSeconds * 1000 + 200, &loop, &QEventLoop::quit);
        loop.exec();
        poll.stop();
        const double cpu = threadCpuMs() - cpuBefore;
        const CpuUsage usage = CpuUsage::now() - usageBefore;
        const std::optional<double> counted = instructions.stop(how);
        feeding = false;
        feeder.join();
        const double ticksCpu = std::accumulate(tickCpu.begin(), tickCpu.end(), 0.0);
        std::printf("feeding %d s at 5600 characters/s, %s: %lld characters arrived, window thread used %.0f ms CPU "
                    "(%.2f%% of one core), %.0f ms of it in %zu ticks (median %.3f ms a tick); painted %d times, "
                    "%.0f%% of the view a paint; CPU by ten seconds: %s\n",
                    feedSeconds, how, (long long)(arrived - arrivedBefore), cpu, 100.0 * cpu / double(wall.elapsed()),
                    ticksCpu, tickCpu.size(), median(tickCpu), textPaints.paints + hexPaints.paints,
                    100.0 * (textPaints.share + hexPaints.share)
                        / std::max(1, textPaints.paints + hexPaints.paints),
                    qPrintable(perSegment.join(u' ')));
        std::printf("  %s: %.0f ms of the CPU in user code, %.0f ms in the kernel; %ld page faults\n", how,
                    usage.userMs, usage.systemMs, usage.faults);
        // Per second of stream, not of the wall clock, which callgrind slows.
        if (counted)
            std::printf("  %s: %.1f million instructions a second of stream\n", how,
                        *counted / 1e6 * 5600.0 / double(std::max<qint64>(1, arrived - arrivedBefore)));
    };
    steadyFeed("text");
    times->setChecked(true);
    steadyFeed("text with times");
    times->setChecked(false);
    hex->setChecked(true);
    steadyFeed("hex view");
    return 0;
}

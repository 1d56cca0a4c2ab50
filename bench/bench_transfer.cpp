// SPDX-License-Identifier: GPL-3.0-or-later
// The EEPROM and LCD memory pages with large data: what Reformat, the reply
// capture and Paste cost (the text work alone, and the whole action with the
// text area taking the result and painting it), and how long the window
// stays without serving its events while a long block goes out on a
// pseudo-terminal.
// Usage: bench_transfer [repetitions, default 3]
#include "protocol/encodings.h"
#include "support/fixture.h"
#include "transfer/blocktext.h"
#include "transfer/eepromwrite.h"
#include "transfer/lcdmemory.h"
#include "widgets/fields.h"

#include "benchutil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace varnix;
using Clock = std::chrono::steady_clock;

namespace {

int g_repetitions = 3;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The median of the repetitions of `work`, each after `prepare`.
double medianMs(const std::function<void()>& prepare, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < g_repetitions; ++i) {
        if (prepare)
            prepare();
        QApplication::processEvents();
        const auto start = Clock::now();
        work();
        times.push_back(msSince(start));
    }
    return median(std::move(times));
}

// Work and then the layout and paint of what it changed.
std::function<void()> andPaint(std::function<void()> work)
{
    return [work = std::move(work)] {
        work();
        QApplication::processEvents();
    };
}

QString hexRun(qsizetype characters)
{
    const QString digits = QStringLiteral("0123456789abcdef");
    QString text(characters, u'0');
    for (qsizetype i = 0; i < characters; ++i)
        text[i] = digits[(i * 7 + i / 16) % 16];
    return text;
}

QString replyLines(qsizetype characters)
{
    QString text;
    text.reserve(characters + 100);
    for (int line = 0; text.size() < characters - 8; ++line)
        text += QStringLiteral("%1: 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff\r\n").arg(line, 6, 10, QChar(u'0'));
    text.truncate(characters - 8);
    return text + QStringLiteral("Ready:\r\n");
}

// The longest the event loop went without serving a timer while `work` ran.
struct Liveness {
    double totalMs = 0;
    double longestGapMs = 0;
    bool progressShown = false;
};

Liveness whileSending(QWidget* progress, const std::function<void()>& work)
{
    Liveness live;
    auto last = Clock::now();
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        live.longestGapMs = std::max(live.longestGapMs, msSince(last));
        last = Clock::now();
        live.progressShown = live.progressShown || progress->isVisible();
    });
    tick.start();
    const auto start = Clock::now();
    last = start;
    work();
    live.longestGapMs = std::max(live.longestGapMs, msSince(last));
    live.totalMs = msSince(start);
    return live;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1)
        g_repetitions = std::max(1, atoi(argv[1]));

    test::PtyFixture f;
    Main& window = f.main();
    test::Pty& pty = f.pty;
    test::RecordingDesktop& desktop = f.desktop;
    window.show();
    pty.startReading();
    f.click(QStringLiteral("cmdCom"));
    if (!f.port.isOpen()) {
        std::printf("could not open %s\n", qPrintable(pty.slavePath()));
        return 1;
    }
    auto* eeprom = window.findChild<EepromWrite*>();
    auto* lcd = window.findChild<LcdMemory*>();
    auto* txtewrite = window.findChild<TextArea*>(QStringLiteral("txtewrite"));
    auto* txtlcd = window.findChild<TextArea*>(QStringLiteral("txtlcd"));
    auto* xmitdelay = window.findChild<LineField*>(QStringLiteral("xmitdelay"));
    auto* rcvText = window.findChild<TextArea*>(QStringLiteral("rcvText"));
    QWidget* progress = window.findChild<QWidget*>(QStringLiteral("sendProgress"));
    auto field = [&](const char* name) { return window.findChild<LineField*>(QString::fromLatin1(name)); };
    std::printf("median of %d runs each\n", g_repetitions);

    // Reformat of a 32 KiB EEPROM image: 65536 hex digits.
    const QString image = hexRun(2 * 32768);
    const double pairsMs = medianMs({}, [&] { (void)(protocol::byteList(protocol::trimmedOfBlanks(image)) + u']'); });
    const double eepromReformatMs =
        medianMs([&] { txtewrite->setExactText(image); QApplication::processEvents(); },
                 andPaint([&] { eeprom->cmdechk_Click(); }));
    std::printf("EEPROM Reformat of a 32 KiB image (%lld characters out): byte list %.2f ms; the whole action "
                "with the text area %.1f ms\n",
                (long long)txtewrite->exactText().size(), pairsMs, eepromReformatMs);

    // Its Write is longer than a transmission takes: refused at once.
    window.findChild<QAbstractButton*>(QStringLiteral("optWeep1"))->click();
    desktop.messages.clear();
    const double refusedMs = medianMs({}, [&] { eeprom->cmdewrite_Click(); });
    std::printf("its Write, refused as longer than one frame: %.2f ms (\"%s\")\n", refusedMs,
                qPrintable(desktop.texts().value(0)));

    // The longest block one frame takes: 10918 bytes, a frame of 32766
    // characters; sent without pauses, to see the cost of the send itself.
    const int longest = 10918;
    const QString longBlock = hexRun(2 * longest);
    const double longReformatMs = medianMs(
        [&] {
            eeprom->cmdeclr_Click();
            txtewrite->setExactText(longBlock);
        },
        andPaint([&] { eeprom->cmdechk_Click(); }));
    xmitdelay->setExactText(QStringLiteral("0"));
    const qsizetype before = pty.received().size();
    const Liveness longWrite = whileSending(progress, [&] { eeprom->cmdewrite_Click(); });
    pty.waitForBytes(std::size_t(before) + 32766, 30000);
    std::printf("EEPROM block of %d bytes: Reformat %.1f ms; Write of the %lld-character frame with no pause: "
                "%.0f ms, %lld characters arrived, window without events at most %.1f ms, progress shown: %s\n",
                longest, longReformatMs, (long long)field("txmText")->exactText().size(), longWrite.totalMs,
                (long long)(pty.received().size() - before), longWrite.longestGapMs, longWrite.progressShown ? "yes" : "no");

    // A full LCD block: 128 x 8 cells, 2048 hex digits, paced at 5 ms.
    field("txtlcdx1")->setExactText(QStringLiteral("000"));
    field("txtlcdx2")->setExactText(QStringLiteral("127"));
    field("txtlcdy1")->setExactText(QStringLiteral("00"));
    field("txtlcdy2")->setExactText(QStringLiteral("07"));
    const QString block = hexRun(2048);
    const double lcdReformatMs =
        medianMs([&] { txtlcd->setExactText(block); QApplication::processEvents(); },
                 andPaint([&] { lcd->cmdlcdfmt_Click(); }));
    const qsizetype lcdBefore = pty.received().size();
    const Liveness lcdWrite = whileSending(progress, [&] { lcd->cmdwritelcd_Click(); });
    pty.waitForBytes(std::size_t(lcdBefore) + 3083, 30000);
    std::printf("LCD block of 1024 bytes: Reformat %.2f ms; Write at %s ms a byte: %.0f ms, %lld characters "
                "arrived, window without events at most %.1f ms, progress shown: %s\n",
                lcdReformatMs, qPrintable(xmitdelay->exactText()), lcdWrite.totalMs, (long long)(pty.received().size() - lcdBefore),
                lcdWrite.longestGapMs, lcdWrite.progressShown ? "yes" : "no");

    // Capture of a reply from a receive window of 10 MB.
    rcvText->setExactText(replyLines(10 * 1024 * 1024));
    QApplication::processEvents();
    const QString received = rcvText->exactText();
    const double cutMs = medianMs({}, [&] { (void)transfer::capturedReply(received); });
    const double captureMs = medianMs([&] { txtlcd->setExactText(QString()); QApplication::processEvents(); },
                                      andPaint([&] { lcd->cmdlcdread_LostFocus(); }));
    std::printf("capture from a 10 MB receive window: the cut %.2f ms; the whole action with the text area "
                "%.0f ms (%lld characters taken)\n",
                cutMs, captureMs, (long long)txtlcd->exactText().size());
    rcvText->setExactText(QString());

    // Paste of 1 MB: hex without a line break, and the same in lines.
    const QString oneLine = hexRun(1024 * 1024);
    const QString lines = replyLines(1024 * 1024);
    desktop.clipboard = oneLine;
    const double pasteLineMs = medianMs({}, andPaint([&] { eeprom->cmdepaste_Click(); }));
    desktop.clipboard = lines;
    const double pasteLinesMs = medianMs({}, andPaint([&] { eeprom->cmdepaste_Click(); }));
    std::printf("Paste of 1 MB: one line of hex %.0f ms, text in lines of 60 %.0f ms\n", pasteLineMs, pasteLinesMs);
    return 0;
}

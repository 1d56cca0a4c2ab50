// SPDX-License-Identifier: GPL-3.0-or-later
// Exported code against a virtual board, beside `varnix --run` of the same
// script:
// - a full-display picture (one block write at delay 0) through a line that
//   carries 1920 bytes a second, as 19200 baud does: the time from the
//   frame's first byte on the line to its last, which the line sets for
//   every sender alike, and each program's whole time;
// - a paced script (delay 20) straight on the board's pseudo-terminal: the
//   pauses before the paced characters as the board sees them;
// - the flash and RAM the Arduino export of the picture takes on an Uno
//   (avr-size), and how long its simulated run took.
// Usage: bench_export [frames of the paced script, default 20]
#include "benchutil.h"
#include "app/cli/commandline.h"
#include "board/virtualboard.h"
#include "render/animation.h"
#include "render/picture.h"
#include "support/hostrun.h"
#include "support/pty.h"
#include "support/ser2net.h"
#include "support/scriptstandins.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace varnix;
using hostcode::Language;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLineBytesPerSecond = 1920;

QByteArray pictureScript()
{
    QImage picture(128, 64, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setBrush(Qt::black);
    for (int i = 0; i < 8; ++i)
        painter.drawEllipse(QPoint(8 + 16 * i, 32), 6, 6 + 3 * i);
    painter.end();
    const render::LcdBlock block{};
    return render::stillScript(render::convertPicture(picture, block, {}), block, QStringLiteral("bench")).toUtf8();
}

QByteArray pacedScript(int frames)
{
    QByteArray text = "delay 20\n]k\n";
    for (int i = 0; i < frames; ++i)
        text += "]c]" + QByteArray::number(20 + i * 4, 16).rightJustified(2, '0') + "2008\n";
    return text;
}

struct Timing {
    double firstToLastMs = 0;   // the first frame byte to the last, at the board
    double wholeMs = 0;         // the sender from its start to its end
    std::vector<double> pauses; // before each paced "]" within a frame
    bool ok = false;
    QByteArray said;
};

// Within frames (after the first byte of each), the gaps before a "]".
std::vector<double> pausesOf(const std::vector<test::Pty::Arrival>& arrivals, const script::Script& script)
{
    std::vector<double> out;
    qsizetype at = 0;
    for (const QString& frame : script.frames()) {
        for (qsizetype i = at + 1; i < at + frame.size() && i < qsizetype(arrivals.size()); ++i) {
            if (arrivals[i].byte == ']')
                out.push_back(std::chrono::duration<double, std::milli>(arrivals[i].at - arrivals[i - 1].at).count());
        }
        at += frame.size();
    }
    return out;
}

// Sends the script by `send` to the board, through a slow line when asked.
template <typename Send>
Timing timed(const QByteArray& text, bool slow, bool network, Send send)
{
    board::VirtualBoard board;
    board.start();
    // A line before the board, timing each byte as it passes.
    test::Pty line;
    line.forwardTo(board.devicePath());
    if (slow)
        line.startSlowReading(kLineBytesPerSecond);
    else
        line.startReading();
    test::Ser2net server(line.slavePath());
    if (network && !server.start())
        return {};
    const auto start = Clock::now();
    Timing t;
    t.ok = send(network ? server.rfc2217Address() : line.slavePath(), &t.said);
    t.wholeMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const auto got = line.arrivals();
    const script::Script script = std::get<script::Script>(script::readScript(text));
    qsizetype total = 0;
    for (const QString& frame : script.frames())
        total += frame.size();
    if (qsizetype(got.size()) < total) {
        t.ok = false;
        return t;
    }
    t.firstToLastMs = std::chrono::duration<double, std::milli>(got.back().at - got.front().at).count();
    t.pauses = pausesOf(got, script);
    return t;
}

void report(const char* who, const Timing& t, double reference)
{
    if (!t.ok) {
        std::printf("  %-24s FAILED %s\n", who, t.said.trimmed().constData());
        return;
    }
    std::printf("  %-24s %8.1f ms at the board (%+.1f %% of the run's), %8.1f ms in all\n", who, t.firstToLastMs,
                reference > 0 ? (t.firstToLastMs / reference - 1) * 100 : 0.0, t.wholeMs);
}

void reportPauses(const char* who, const Timing& t)
{
    if (!t.ok) {
        std::printf("  %-24s FAILED %s\n", who, t.said.trimmed().constData());
        return;
    }
    std::vector<double> off;
    for (double p : t.pauses)
        off.push_back(std::abs(p - 20.0));
    std::printf("  %-24s %zu pauses: median %.2f ms, 99th percentile %.2f ms, median |pause - 20| %.2f ms\n", who,
                t.pauses.size(), median(t.pauses), percentile(t.pauses, 0.99), median(off));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir dir;

    const QByteArray picture = pictureScript();
    const QByteArray paced = pacedScript(frames);
    const QString picturePath = dir.filePath(QStringLiteral("picture.vnx"));
    const QString pacedPath = dir.filePath(QStringLiteral("paced.vnx"));
    for (const auto& [path, text] : {std::pair{picturePath, picture}, std::pair{pacedPath, paced}}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
    }

    auto runOf = [](const QString& path) {
        return [path](const QString& device, QByteArray* said) {
            Command command;
            command.kind = Command::Kind::Run;
            command.script = path;
            command.device = device;
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            const bool ok = runScriptCommand(command, outStream, errStream) == 0;
            *said = err.toUtf8();
            return ok;
        };
    };
    struct Export {
        const char* who;
        Language language;
        bool network;
    };
    const Export exports[] = {{"C", Language::C, false},
                              {"Python", Language::Python, false},
                              {"Python through rfc2217", Language::Python, true},
                              {"Arduino in simavr", Language::Arduino, false}};
    auto built = [&](const QByteArray& text, Language language, const QString& name, test::HostRun& host) {
        hostcode::Source source;
        source.script = std::get<script::Script>(script::readScript(text));
        source.madeFrom = QStringLiteral("the bench's script");
        const QString folder = dir.filePath(name + QString::number(int(language)));
        QDir().mkpath(folder);
        return host.build(hostcode::generate(source, language, name).text, language, folder);
    };
    auto sendBy = [](const test::HostRun& host) {
        return [&host](const QString& device, QByteArray* said) {
            const test::Ended ended = host.run(device, 60000);
            *said = ended.out + ended.err;
            return ended.code == 0;
        };
    };

    std::printf("A full-display picture (%lld characters, delay 0) through a line of %d bytes a second:\n",
                static_cast<long long>(picture.size()), kLineBytesPerSecond);
    const Timing run = timed(picture, true, false, runOf(picturePath));
    report("varnix --run", run, run.firstToLastMs);
    QByteArray simulated;
    for (const Export& e : exports) {
        if (const QString why = test::HostRun::missing(e.language); !why.isEmpty()) {
            std::printf("  %-24s skipped: %s\n", e.who, qPrintable(why));
            continue;
        }
        if (e.network && !test::Ser2net::installed()) {
            std::printf("  %-24s skipped: ser2net is not installed\n", e.who);
            continue;
        }
        test::HostRun host;
        if (!built(picture, e.language, QStringLiteral("picture"), host)) {
            std::printf("  %-24s does not build: %s\n", e.who, qPrintable(host.error()));
            continue;
        }
        const Timing t = timed(picture, true, e.network, sendBy(host));
        report(e.who, t, run.firstToLastMs);
        if (e.language == Language::Arduino) {
            simulated = t.said.mid(t.said.indexOf("unorun:")).trimmed();
            const test::Ended size = test::runToEnd(QStringLiteral("avr-size"),
                                                    {"-C", "--mcu=atmega328p", host.built()});
            std::printf("    %s; on an Uno:\n", simulated.constData());
            for (const QByteArray& line : size.out.split('\n'))
                if (line.startsWith("Program:") || line.startsWith("Data:"))
                    std::printf("      %s\n", line.simplified().constData());
        }
    }

    std::printf("\nA paced script (%d frames at delay 20) straight on the board's pseudo-terminal:\n", frames);
    reportPauses("varnix --run", timed(paced, false, false, runOf(pacedPath)));
    for (const Export& e : exports) {
        if (!test::HostRun::missing(e.language).isEmpty() || (e.network && !test::Ser2net::installed()))
            continue;
        test::HostRun host;
        if (!built(paced, e.language, QStringLiteral("paced"), host))
            continue;
        reportPauses(e.who, timed(paced, false, e.network, sendBy(host)));
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/monitorcommand.h"

#include "app/cli/commandline.h"
#include "app/cli/interrupts.h"
#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"
#include "monitor/core/capture.h"
#include "monitor/core/eventtext.h"
#include "monitor/core/passthrough.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <optional>

namespace varnix::linemonitor {

namespace {

constexpr const char* kValued[] = {"--decode", "--monitor", "--save", "--at"};

QString portRefusal(const QString& value)
{
    if (!link::isNetworkAddress(value))
        return {};
    const auto address = link::parseNetworkAddress(value);
    if (const auto* error = std::get_if<link::AddressError>(&address))
        return error->text;
    return {};
}

// A line for the event; flushed at once when it passes live.
void print(QTextStream& out, const monitor::Event& event, bool json, bool timesOfDay, bool live)
{
    if (json)
        out << QString::fromUtf8(monitor::eventJson(event, timesOfDay));
    else
        out << monitor::eventLine(event, timesOfDay);
    out << '\n';
    if (live)
        out.flush();
}

} // namespace

bool isOption(const QString& name)
{
    return takesValue(name) || name == QLatin1String("--json");
}

bool takesValue(const QString& name)
{
    for (const char* valued : kValued)
        if (name == QLatin1String(valued))
            return true;
    return false;
}

QString readOption(const QString& name, const QString& value, MonitorRequest& request)
{
    if (name != QLatin1String("--decode") && name != QLatin1String("--monitor"))
        request.seen << name;
    if (name == QLatin1String("--decode")) {
        if (value.isEmpty())
            return QStringLiteral("--decode needs the file to read");
        request.decode = value;
    } else if (name == QLatin1String("--monitor")) {
        if (value.isEmpty())
            return QStringLiteral("--monitor needs the host's port");
        request.host = value;
        return portRefusal(value);
    } else if (name == QLatin1String("--save")) {
        if (value.isEmpty())
            return QStringLiteral("--save needs the file to keep the capture in");
        request.save = value;
    } else if (name == QLatin1String("--at")) {
        bool ok = false;
        request.at = value.toLongLong(&ok);
        if (!ok || request.at < 1)
            return QStringLiteral("--at takes the number of an event, 1 or more, not \"%1\"").arg(value);
    } else if (name == QLatin1String("--json")) {
        request.json = true;
    }
    return {};
}

QString check(const MonitorRequest& request, bool decoding, bool passing, bool sawPort, bool sawPng)
{
    if (!decoding && !passing && !request.seen.isEmpty())
        return QStringLiteral("%1 goes with --decode or --monitor").arg(request.seen.constFirst());
    if (passing && !sawPort)
        return QStringLiteral("--monitor needs --port BOARD_PORT, the board's side");
    if (!passing && !request.save.isEmpty())
        return QStringLiteral("--save goes with --monitor");
    if (passing && sawPng)
        return QStringLiteral("--png goes with --decode, not with --monitor");
    if (request.at > 0 && !sawPng)
        return QStringLiteral("--at goes with --png");
    return {};
}

// One rule for --decode and --monitor: 2 when the input could not be read
// whole, else 1 when a frame was refused, unanswered, answered otherwise
// than the model or left unfinished, else 0.
int exitStatus(const monitor::Decoder::Counts& counts, bool whole)
{
    if (!whole)
        return 2;
    return counts.refused > 0 || counts.unanswered > 0 || counts.otherwise > 0 || counts.unfinished > 0 ? 1 : 0;
}

int decode(const MonitorRequest& request, const QString& png, int scale, QTextStream& out, QTextStream& err)
{
    if (QFile file(request.decode); !file.open(QIODevice::ReadOnly)) {
        err << "varnix: cannot read " << request.decode << ": " << file.errorString() << Qt::endl;
        return 2;
    }
    bool timesOfDay = false;
    std::optional<board::Display> wanted;
    monitor::Decoder* decoding = nullptr;
    monitor::HeldEvents held([&](const monitor::Event& event) { print(out, event, request.json, timesOfDay, false); });
    monitor::Decoder decoder(
        [&](const monitor::Event& event) {
            held.take(event);
            if (event.number == request.at)
                wanted = decoding->firmware().display();
        },
        [&](const monitor::BoardReply& reply) { held.take(reply); });
    decoding = &decoder;
    const monitor::FileRead read = monitor::decodeFile(
        request.decode, decoder, [&](const monitor::FileRead& opened) { timesOfDay = opened.timesOfDay; });
    held.releaseAll();
    const auto& counts = decoder.counts();
    if (!png.isEmpty()) {
        if (request.at > counts.events) {
            err << "varnix: --at " << request.at << ": there are only " << counts.events << " events" << Qt::endl;
            return 2;
        }
        const QString failure = writeDisplayPng(wanted ? *wanted : decoder.firmware().display(), png, scale);
        if (!failure.isEmpty()) {
            err << "varnix: " << failure << Qt::endl;
            return 2;
        }
    }
    out.flush();
    err << "varnix: " << monitor::countsText(counts);
    if (read.leftOut > 0)
        err << "; " << read.leftOut << (read.leftOut == 1 ? " part" : " parts") << " of the file could not be read";
    err << Qt::endl;
    return exitStatus(counts, read.opened && read.leftOut == 0);
}

int passThrough(const MonitorRequest& request, const QString& boardPort, QTextStream& out, QTextStream& err)
{
    monitor::PassThrough pass({request.host, request.line}, {boardPort, request.line}, monitor::PassThrough::Mode::Pass);
    if (!pass.start()) {
        err << "varnix: " << pass.why() << Qt::endl;
        return 2;
    }
    std::optional<QFile> file;
    std::optional<monitor::CaptureWriter> capture;
    if (!request.save.isEmpty()) {
        file.emplace(request.save);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err << "varnix: cannot write " << request.save << ": " << file->errorString() << Qt::endl;
            return 2;
        }
        capture.emplace(*file, pass.description(), QDateTime::currentMSecsSinceEpoch());
    }
    monitor::HeldEvents held([&](const monitor::Event& event) { print(out, event, request.json, true, true); });
    monitor::Decoder decoder([&](const monitor::Event& event) { held.take(event); },
                             [&](const monitor::BoardReply& reply) { held.take(reply); });
    decoder.hearBoard(true);
    int lostSides = 0;
    bool whole = true;
    int code = 0;
    QEventLoop loop;
    auto end = [&](int exitCode) {
        code = exitCode;
        loop.quit();
    };
    QObject::connect(&pass, &monitor::PassThrough::arrived, [&](monitor::Direction from, const QByteArray& bytes, qint64 at) {
        if (capture) {
            capture->add(from, bytes, at);
            if (!capture->flush()) {
                err << "varnix: cannot write " << request.save << ": " << file->errorString() << Qt::endl;
                capture.reset();
                end(2);
            }
        }
        decoder.take(from, bytes, at);
    });
    QObject::connect(&pass, &monitor::PassThrough::lost, [&](monitor::Direction side, const QString& reason, qint64 at) {
        const QString text = monitor::lostText(side, reason);
        decoder.lost(side, text, at);
        if (capture) {
            capture->note(text, at);
            capture->flush();
        }
        // What passed from then on was not heard.
        whole = false;
        if (++lostSides == 2)
            end(0);
    });
    // The line's quiet, for frames that end when it goes quiet. Every
    // arrival is told first and judged by its own time, so the pace only
    // sets how soon a line is printed; a slower one wakes the program less.
    QTimer quiet;
    quiet.setInterval(50);
    QObject::connect(&quiet, &QTimer::timeout, [&] { decoder.quiet(pass.tellArrivals()); });
    quiet.start();

    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    {
        // Ctrl+C and kill end the pass-through with its summary.
        const Interrupts interrupts([&](int) { end(0); });
        loop.exec();
    }
    pass.stop();
    const qint64 ended = QDateTime::currentMSecsSinceEpoch();
    decoder.finish(ended);
    held.releaseAll();
    out.flush();
    if (capture && !capture->flush() && code == 0) {
        err << "varnix: cannot write " << request.save << ": " << file->errorString() << Qt::endl;
        code = 2;
    }
    err << "varnix: " << monitor::countsText(decoder.counts()) << " in " << (ended - started) / 1000 << " s"
        << Qt::endl;
    return code != 0 ? code : exitStatus(decoder.counts(), whole);
}

} // namespace varnix::linemonitor

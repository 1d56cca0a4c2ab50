// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commandline.h"

#include "app/cli/usage.h"

#include "board/boardshadow.h"
#include "board/displaycheck.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/networkaddress.h"
#include "link/core/portswitch.h"
#include "script/clock.h"
#include "script/escapes.h"
#include "script/runner.h"
#include "script/script.h"
#include "render/picture.h"

#include "varnixversion.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <optional>
#include <memory>

namespace varnix {

namespace {

constexpr int kLargestScale = 32;
constexpr char kLineSettings[] = "19200,n,8,1";
// How much of a long frame or answer a line of the run shows.
constexpr qsizetype kShownCharacters = 72;

std::optional<int> wholeNumber(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// An answer or a frame on one line: line breaks as " | ", other control
// characters escaped, a long one cut.
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

const script::Step* stepAt(const script::Script& script, int line)
{
    for (const script::Step& step : script.steps) {
        if (step.line == line)
            return &step;
    }
    return nullptr;
}

QString linesText(const QList<int>& lines)
{
    QStringList out;
    for (int line : lines)
        out << QString::number(line);
    return out.join(QStringLiteral(", "));
}

// The script the command names, or nothing when it cannot be read, said in
// one line.
std::optional<script::Script> readScript(const Command& command, QTextStream& err)
{
    auto read = script::readScriptFile(command.script);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        err << "varnix: " << command.script << ": " << error->describe() << Qt::endl;
        return std::nullopt;
    }
    return std::get<script::Script>(std::move(read));
}

} // namespace

Command parseCommandLine(const QStringList& arguments)
{
    Command command;
    auto refuse = [&](const QString& why) {
        command.kind = Command::Kind::Refused;
        command.refusal = why;
        return command;
    };
    bool sawPng = false, sawScale = false, sawPort = false, sawDelay = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        if (name.startsWith(QLatin1String("--")) && name.contains(u'=')) {
            value = name.section(u'=', 1);
            name = name.section(u'=', 0, 0);
        }
        const bool takesValue = name == QLatin1String("--run") || name == QLatin1String("--preview")
            || name == QLatin1String("--port") || name == QLatin1String("--delay")
            || name == QLatin1String("--png") || name == QLatin1String("--scale")
            || name == QLatin1String("--log") || content::takesValue(name) || linemonitor::takesValue(name);
        if (takesValue && !value) {
            if (i + 1 >= arguments.size())
                return refuse(QStringLiteral("%1 needs a value (see --help)").arg(name));
            value = arguments[++i];
        } else if (!takesValue && value) {
            return refuse(QStringLiteral("%1 takes no value (see --help)").arg(name));
        }

        if (name == QLatin1String("--help")) {
            command.kind = Command::Kind::Help;
            return command;
        }
        if (name == QLatin1String("--version")) {
            command.kind = Command::Kind::Version;
            return command;
        }
        if (name == QLatin1String("--run") || name == QLatin1String("--preview")) {
            if (command.kind != Command::Kind::Window)
                return refuse(QStringLiteral("give one of --run and --preview, once"));
            command.kind = name == QLatin1String("--run") ? Command::Kind::Run : Command::Kind::Preview;
            command.script = *value;
        } else if (name == QLatin1String("--port")) {
            if (link::isNetworkAddress(*value)) {
                const auto address = link::parseNetworkAddress(*value);
                if (const auto* error = std::get_if<link::AddressError>(&address))
                    return refuse(error->text);
            }
            command.device = *value;
            sawPort = true;
        } else if (name == QLatin1String("--delay")) {
            const auto delay = wholeNumber(*value, 0, script::kLongestDelayMs);
            if (!delay)
                return refuse(QStringLiteral("--delay takes milliseconds from 0 to %1, not \"%2\"")
                                  .arg(script::kLongestDelayMs).arg(*value));
            command.delay = *delay;
            sawDelay = true;
        } else if (name == QLatin1String("--log")) {
            if (value->isEmpty())
                return refuse(QStringLiteral("--log needs the file to write the session log to"));
            command.logFile = *value;
        } else if (content::isOption(name)) {
            if (const QString why = content::readOption(name, value.value_or(QString()), command.content);
                !why.isEmpty())
                return refuse(why);
            if (name == QLatin1String("--text") || name == QLatin1String("--picture")) {
                if (command.kind != Command::Kind::Window)
                    return refuse(QStringLiteral("give one of --run, --preview, --text and --picture, once"));
                command.kind = Command::Kind::Make;
            }
        } else if (linemonitor::isOption(name)) {
            if (const QString why = linemonitor::readOption(name, value.value_or(QString()), command.monitor);
                !why.isEmpty())
                return refuse(why);
            if (name == QLatin1String("--decode") || name == QLatin1String("--monitor")) {
                if (command.kind != Command::Kind::Window)
                    return refuse(QStringLiteral("give one of --run, --preview, --decode and --monitor, once"));
                command.kind = name == QLatin1String("--decode") ? Command::Kind::Decode : Command::Kind::Monitor;
            }
        } else if (name == QLatin1String("--verify")) {
            command.verify = true;
        } else if (name == QLatin1String("--png")) {
            command.png = *value;
            sawPng = true;
        } else if (name == QLatin1String("--scale")) {
            const auto scale = wholeNumber(*value, 1, kLargestScale);
            if (!scale)
                return refuse(QStringLiteral("--scale takes a whole number from 1 to %1, not \"%2\"")
                                  .arg(kLargestScale).arg(*value));
            command.scale = *scale;
            sawScale = true;
        } else if (name.startsWith(u'-')) {
            return refuse(QStringLiteral("unknown option %1 (see --help)").arg(name));
        } else {
            return refuse(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(name));
        }
    }
    const bool run = command.kind == Command::Kind::Run;
    const bool preview = command.kind == Command::Kind::Preview;
    const bool decode = command.kind == Command::Kind::Decode;
    const bool monitoring = command.kind == Command::Kind::Monitor;
    if (const QString why = linemonitor::check(command.monitor, decode, monitoring, sawPort, sawPng); !why.isEmpty())
        return refuse(why);
    if (!run && (sawDelay || command.verify || ((preview || decode) && sawPort)))
        return refuse(QStringLiteral("--port, --delay and --verify go with --run SCRIPT"));
    if ((run || preview || decode || monitoring || command.kind == Command::Kind::Make) && !command.logFile.isEmpty())
        return refuse(QStringLiteral("--log goes with the window, not with --run or --preview"));
    const bool make = command.kind == Command::Kind::Make;
    if (!preview && !make && !decode && (sawPng || sawScale))
        return refuse(QStringLiteral("--png and --scale go with --preview, --decode, --text or --picture"));
    if (!make && !command.content.seen.isEmpty())
        return refuse(QStringLiteral("%1 goes with --text or --picture").arg(command.content.seen.constFirst()));
    if (make && command.png.isEmpty() && command.content.script.isEmpty())
        return refuse(QStringLiteral("--text and --picture need --png OUT.png or --script OUT.vnx"));
    if (preview && command.png.isEmpty())
        return refuse(QStringLiteral("--preview needs --png OUT.png"));
    if ((run || preview) && command.script.isEmpty())
        return refuse(QStringLiteral("the script's file name is empty"));
    return command;
}

int runScriptCommand(const Command& command, QTextStream& out, QTextStream& err)
{
    const auto loaded = readScript(command, err);
    if (!loaded)
        return 2;
    const script::Script& script = *loaded;

    std::unique_ptr<link::PortMap> ports;
    if (command.device.isEmpty()) {
        ports = std::make_unique<link::SystemPortMap>();
    } else {
        ports = std::make_unique<link::PortMap>();
        ports->setDevices({command.device});
    }
    link::PortSwitch port(*ports);
    port.setPortNumber(1);
    port.setSettings(QString::fromLatin1(kLineSettings));
    link::EventLoopPause pause;
    link::Connection connection(port, pause);
    // What the board should show: every character that went out.
    board::BoardShadow model(connection);

    const QString device = ports->device(1);
    if (device.isEmpty()) {
        err << "varnix: no serial device for port 1 (plug in an adapter, start varnix-board, or give --port)"
            << Qt::endl;
        return 2;
    }
    if (!connection.open()) {
        // A network port's hint names the address already.
        if (link::isNetworkAddress(device) && !port.failureHint().isEmpty()) {
            err << "varnix: " << port.failureHint() << Qt::endl;
            return 2;
        }
        err << "varnix: cannot open " << device;
        if (!port.failureHint().isEmpty())
            err << ": " << port.failureHint();
        err << Qt::endl;
        return 2;
    }

    script::EventLoopClock clock;
    script::Runner runner(connection, clock);
    QObject::connect(&runner, &script::Runner::answered, [&](int line, const QString& frame, const QString& answer) {
        // Line 0 is the display read of --verify.
        out << (line > 0 ? QString::number(line) : QStringLiteral("verify")) << ": " << shown(frame) << " -> "
            << shown(answer) << Qt::endl;
    });
    QString lostReason;
    QObject::connect(&connection, &link::Connection::lost, [&](const QString& reason) { lostReason = reason; });

    const QString name = QFileInfo(command.script).fileName();
    auto outcomeCode = [&](const script::Runner::Result& result) {
        using Outcome = script::Runner::Outcome;
        switch (result.outcome) {
        case Outcome::Done:
            if (result.unanswered.isEmpty())
                return 0;
            err << "varnix: " << name << ": no \"" << script::Runner::kPrompt << "\" within "
                << script::kReadyTimeoutMs / 1000 << " s for the frames of lines " << linesText(result.unanswered)
                << Qt::endl;
            return 1;
        case Outcome::BoardError:
            err << "varnix: " << name << " line " << result.line << ": the board answered: " << shown(result.answer)
                << Qt::endl;
            return 1;
        case Outcome::ExpectTimedOut: {
            const script::Step* step = stepAt(script, result.line);
            err << "varnix: " << name << " line " << result.line << ": \"" << script::escaped(step ? step->text : QString())
                << "\" did not come within " << script::durationText(step ? step->milliseconds : 0)
                << "; the answer was: " << shown(result.answer) << Qt::endl;
            return 1;
        }
        case Outcome::Stopped:
            err << "varnix: " << name << " line " << result.line << ": stopped" << Qt::endl;
            return 1;
        case Outcome::Lost:
            err << "varnix: " << name << " line " << result.line << ": the port was lost"
                << (lostReason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lostReason)) << Qt::endl;
            return 2;
        case Outcome::Failed:
            err << "varnix: " << name << " line " << result.line << ": the port refused the frame" << Qt::endl;
            return 2;
        }
        return 2;
    };

    int code = outcomeCode(runner.run(script, command.delay));
    if (code == 0 && command.verify) {
        const board::Display expected = model.firmware().display();
        script::Script read;
        read.steps.append(script::Step{script::Step::Kind::Send, 0, QString::fromLatin1(board::kWholeDisplayRead)});
        runner.setAnswered(board::displayAnswerFinished);
        const auto result = runner.run(read, runner.delay());
        code = outcomeCode(result);
        if (code == 0) {
            const auto shownByBoard = board::displayFromAnswer(result.lastAnswer);
            if (!shownByBoard) {
                err << "varnix: verify: the board did not send its display memory: " << shown(result.lastAnswer)
                    << Qt::endl;
                code = 1;
            } else {
                const board::Difference difference = board::compare(expected, *shownByBoard);
                out << "verify: " << difference.describe() << Qt::endl;
                code = difference.count == 0 ? 0 : 1;
            }
        }
    }
    connection.close();
    return code;
}

int previewScriptCommand(const Command& command, QTextStream& out, QTextStream& err)
{
    const auto loaded = readScript(command, err);
    if (!loaded)
        return 2;
    const script::Script& script = *loaded;
    const board::Display display = board::drawn(script.frames()).display();
    const QString failure = writeDisplayPng(display, command.png, command.scale);
    if (!failure.isEmpty()) {
        err << "varnix: " << failure << Qt::endl;
        return 2;
    }
    out << command.png << ": " << script.frameCount() << " frames drawn, " << board::Display::width * command.scale
        << " x " << board::Display::height * command.scale << Qt::endl;
    return 0;
}

QString writeDisplayPng(const board::Display& display, const QString& path, int scale)
{
    // As "Save Picture..." writes a block: black on white, a pixel per dot.
    QString hex;
    hex.reserve(board::Display::byteCount * 2);
    for (int row = 0; row < board::Display::rows; ++row) {
        for (int column = 0; column < board::Display::width; ++column)
            hex += QStringLiteral("%1").arg(display.byteAt(column, row), 2, 16, QLatin1Char('0'));
    }
    const auto picture = render::blockPicture(hex, render::LcdBlock{});
    if (!picture)
        return QStringLiteral("the display could not be drawn");
    return render::savePicture(picture->scaled(picture->size() * scale), path, false);
}

QStringList arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 1; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

int runCommand(const Command& command, int argc, char* argv[])
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (command.kind) {
    case Command::Kind::Window:
        err << "varnix: the window is not started from the command line" << Qt::endl;
        return 2;
    case Command::Kind::Help:
        out << QString::fromStdString(usage::helpText(usage::varnix()));
        return 0;
    case Command::Kind::Version:
        out << "Varnix " << kVersion << Qt::endl;
        return 0;
    case Command::Kind::Refused:
        err << "varnix: " << command.refusal << Qt::endl;
        return 2;
    case Command::Kind::Make:
        return content::make(command.content, command.png, command.scale, argc, argv);
    case Command::Kind::Run:
    case Command::Kind::Preview:
    case Command::Kind::Decode:
    case Command::Kind::Monitor:
        break;
    }
    // No display is needed: the event loop without a window system.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    switch (command.kind) {
    case Command::Kind::Run:
        return runScriptCommand(command, out, err);
    case Command::Kind::Decode:
        return linemonitor::decode(command.monitor, command.png, command.scale, out, err);
    case Command::Kind::Monitor:
        return linemonitor::passThrough(command.monitor, command.device, out, err);
    default:
        return previewScriptCommand(command, out, err);
    }
}

} // namespace varnix

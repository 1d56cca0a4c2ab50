// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commandline.h"

#include "app/cli/fleetcommand.h"
#include "app/cli/usage.h"

#include "board/displaycheck.h"
#include "fleet/boardrun.h"
#include "link/core/portmap.h"
#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"
#include "script/script.h"
#include "render/displaypicture.h"
#include "render/picture.h"
#include "screens/screens.h"

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
// --jobs' ceiling, well beyond the boards one machine drives.
constexpr int kMostJobs = 4096;

std::optional<int> wholeNumber(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// The script the command names, or nothing when it cannot be read, said in
// one line.
std::optional<script::Script> readScript(const Command& command, QTextStream& err)
{
    auto read = script::readScriptFile(command.script);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        err << "varnix: " << scriptRefusal(command.script, *error) << Qt::endl;
        return std::nullopt;
    }
    return std::get<script::Script>(std::move(read));
}

// How to make a screen line's picture that is not there, from the command line.
constexpr char kHowToUpdateScreens[] = "run again with --update-screens to make it from what the board shows";

} // namespace

std::optional<ScreenJudges> readScreens(const Command& command, const script::Script& script, QTextStream& out,
                                        QTextStream& err)
{
    auto read = screens::References::read(script, command.updateScreens);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        err << "varnix: " << scriptRefusal(command.script, *error) << Qt::endl;
        return std::nullopt;
    }
    auto references = std::make_shared<const screens::References>(std::get<screens::References>(std::move(read)));
    if (references->isEmpty())
        return ScreenJudges{};
    for (const QString& note : references->notes())
        out << note << Qt::endl;
    return ScreenJudges([references](const QString& folder, const QString& fileName) {
        const QString prefix = fileName.isEmpty() ? QString() : fileName + u'-';
        return fleet::ScreenJudge(screens::Judge(references, folder, prefix, QString::fromLatin1(kHowToUpdateScreens)));
    });
}

QString scriptRefusal(const QString& path, const script::ReadError& error)
{
    return error.line > 0 ? path + QStringLiteral(": ") + error.describe() : error.describe();
}

Command parseCommandLine(const QStringList& arguments)
{
    Command command;
    auto refuse = [&](const QString& why) {
        command.kind = Command::Kind::Refused;
        command.refusal = why;
        return command;
    };
    bool sawPng = false, sawScale = false, sawPort = false, sawDelay = false, sawLine = false;
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
            || name == QLatin1String("--log") || name == QLatin1String("--ports") || name == QLatin1String("--jobs")
            || name == QLatin1String("--junit") || name == QLatin1String("--log-dir") || content::takesValue(name)
            || name == QLatin1String("--line") || exporting::isOption(name) || linemonitor::takesValue(name);
        // --export takes the script to export, or nothing after --text or
        // --picture, which make the script.
        if (name == QLatin1String("--export") && !value && i + 1 < arguments.size()
            && !arguments[i + 1].startsWith(u'-'))
            value = arguments[++i];
        if (name == QLatin1String("--export")) {
            if (command.exporting.asked)
                return refuse(QStringLiteral("give --export once"));
            command.exporting.asked = true;
            if (value) {
                if (command.kind != Command::Kind::Window)
                    return refuse(QStringLiteral("--export SCRIPT goes alone; after --text or --picture, --export "
                                                 "takes no script"));
                command.kind = Command::Kind::Export;
                command.script = *value;
            }
            continue;
        }
        // --edit takes the script to open, or nothing for a new screen.
        if (name == QLatin1String("--edit")) {
            if (!value && i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-'))
                value = arguments[++i];
            if (command.edit)
                return refuse(QStringLiteral("give --edit once"));
            command.edit = true;
            command.editFile = value.value_or(QString());
            continue;
        }
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
            command.ports << *value;
            sawPort = true;
        } else if (name == QLatin1String("--delay")) {
            const auto delay = wholeNumber(*value, 0, script::kLongestDelayMs);
            if (!delay)
                return refuse(QStringLiteral("--delay takes milliseconds from 0 to %1, not \"%2\"")
                                  .arg(script::kLongestDelayMs).arg(*value));
            command.delay = *delay;
            sawDelay = true;
        } else if (name == QLatin1String("--ports") || name == QLatin1String("--junit")
                   || name == QLatin1String("--log-dir")) {
            if (value->isEmpty())
                return refuse(QStringLiteral("%1 needs a file or folder name").arg(name));
            if (name == QLatin1String("--ports"))
                command.portsFiles << *value;
            else
                (name == QLatin1String("--junit") ? command.junit : command.logDir) = *value;
        } else if (name == QLatin1String("--jobs")) {
            const auto jobs = wholeNumber(*value, 1, kMostJobs);
            if (!jobs)
                return refuse(QStringLiteral("--jobs takes a whole number from 1 to %1, not \"%2\"")
                                  .arg(kMostJobs).arg(*value));
            command.jobs = *jobs;
        } else if (name == QLatin1String("--line")) {
            if (!link::LineSettings::parse(*value))
                return refuse(QStringLiteral("--line takes the line's settings as BAUD,PARITY,BITS,STOP such as "
                                             "19200,n,8,1, not \"%1\"").arg(*value));
            command.line = *value;
            sawLine = true;
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
        } else if (exporting::isOption(name)) {
            if (const QString why = exporting::readOption(name, *value, command.exporting); !why.isEmpty())
                return refuse(why);
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
        } else if (name == QLatin1String("--update-screens")) {
            command.updateScreens = true;
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
    const bool exportScript = command.kind == Command::Kind::Export;
    const bool decode = command.kind == Command::Kind::Decode;
    const bool monitoring = command.kind == Command::Kind::Monitor;
    if (const QString why = linemonitor::check(command.monitor, decode, monitoring, sawPort, sawPng); !why.isEmpty())
        return refuse(why);
    if (exportScript && (sawPort || command.verify))
        return refuse(QStringLiteral("--port and --verify go with --run SCRIPT"));
    if (!run && !exportScript && (sawDelay || command.verify || ((preview || decode) && sawPort)))
        return refuse(QStringLiteral("--port, --delay and --verify go with --run SCRIPT"));
    if (!run && command.updateScreens)
        return refuse(QStringLiteral("--update-screens goes with --run SCRIPT"));
    if (!run && (command.fleet() || command.ports.size() > 1))
        return refuse(QStringLiteral("--ports, --jobs, --junit, --log-dir and a second --port go with --run SCRIPT"));
    if (sawLine && !exportScript && !command.exporting.asked && !monitoring)
        return refuse(QStringLiteral("--line goes with --export or --monitor"));
    command.exporting.line = command.line;
    command.monitor.line = command.line;
    if (sawPort && !command.portsFiles.isEmpty())
        return refuse(QStringLiteral("give the boards as --port or in --ports FILE, not both"));
    if (command.edit && command.kind != Command::Kind::Window)
        return refuse(QStringLiteral("--edit goes with the window, not with --run, --preview or the other commands"));
    if ((run || preview || exportScript || decode || monitoring || command.kind == Command::Kind::Make)
        && !command.logFile.isEmpty())
        return refuse(QStringLiteral("--log goes with the window, not with --run or --preview"));
    const bool make = command.kind == Command::Kind::Make;
    if (!preview && !make && !decode && (sawPng || sawScale))
        return refuse(QStringLiteral("--png and --scale go with --preview, --decode, --text or --picture"));
    if (sawScale && !sawPng)
        return refuse(QStringLiteral("--scale goes with --png"));
    if (!make && !command.content.seen.isEmpty())
        return refuse(QStringLiteral("%1 goes with --text or --picture").arg(command.content.seen.constFirst()));
    if (make && !command.content.isText && command.content.block.fitToText)
        return refuse(QStringLiteral("--block fit goes with --text"));
    if (command.exporting.asked && !exportScript && !make)
        return refuse(QStringLiteral("--export needs the script to export, or goes with --text or --picture"));
    if (!command.exporting.asked && !command.exporting.seen.isEmpty())
        return refuse(QStringLiteral("%1 goes with --export").arg(command.exporting.seen.constFirst()));
    if (command.exporting.asked) {
        if (const QString lacking = exporting::lacking(command.exporting); !lacking.isEmpty())
            return refuse(lacking);
    }
    if (make && command.png.isEmpty() && command.content.script.isEmpty() && !command.exporting.asked)
        return refuse(QStringLiteral("--text and --picture need --png OUT.png, --script OUT.vnx or --export"));
    if (preview && command.png.isEmpty())
        return refuse(QStringLiteral("--preview needs --png OUT.png"));
    if ((run || preview || exportScript) && command.script.isEmpty())
        return refuse(QStringLiteral("the script's file name is empty"));
    return command;
}

int runScriptCommand(const Command& command, QTextStream& out, QTextStream& err)
{
    const auto loaded = readScript(command, err);
    if (!loaded)
        return 2;
    const auto judges = readScreens(command, *loaded, out, err);
    if (!judges)
        return 2;
    if (command.fleet())
        return runFleetCommand(command, *loaded, *judges, out, err);

    QString device = command.device;
    if (device.isEmpty()) {
        device = link::SystemPortMap().device(1);
        if (device.isEmpty()) {
            err << "varnix: no serial device for port 1 (plug in an adapter, start varnix-board, or give --port)"
                << Qt::endl;
            return 2;
        }
    }
    fleet::Plan plan{*loaded, command.delay, command.verify};
    if (*judges) {
        // A failed screen line's pictures go into the current folder.
        if (const QString why = screens::folderRefusal({}); !why.isEmpty()) {
            err << "varnix: a failed screen line's pictures could not be kept: " << why << Qt::endl;
            return 2;
        }
        plan.screens = [judges = *judges](const QString& fileName) { return judges({}, fileName); };
    }
    fleet::BoardRun run(fleet::Board{device, device}, plan);
    QObject::connect(&run, &fleet::BoardRun::answered, [&](int line, const QString& frame, const QString& answer) {
        out << fleet::answerLine(line, frame, answer) << Qt::endl;
    });
    QObject::connect(&run, &fleet::BoardRun::said,
                     [&](const QString& text) { out << fleet::saidLine(text) << Qt::endl; });
    const fleet::Ending ending = run.run();
    if (ending.difference)
        out << "verify: " << ending.difference->describe() << Qt::endl;

    using Kind = fleet::Ending::Kind;
    const QString name = QFileInfo(command.script).fileName();
    switch (ending.kind) {
    case Kind::Passed:
        return 0;
    case Kind::Differs:
        return 1;
    case Kind::Unreachable:
        err << "varnix: " << ending.reason << Qt::endl;
        return 2;

    case Kind::NoDisplay:
        if (!ending.verifying)
            break;
        err << "varnix: verify: " << ending.reason << Qt::endl;
        return 1;
    case Kind::ScreenDiffers:
    case Kind::ScreenMissing:
        err << "varnix: " << name << " line " << ending.line << ": " << ending.reason << Qt::endl;
        if (!ending.pictures.isEmpty())
            err << "varnix: the board's display is in " << ending.pictures.value(0)
                << (ending.pictures.size() > 1 ? QStringLiteral(", the difference in ") + ending.pictures.value(1)
                                               : QString())
                << Qt::endl;
        return 1;
    case Kind::BoardError:
    case Kind::NoAnswer:
    case Kind::ExpectMissed:
    case Kind::CutShort:
    case Kind::Lost:
    case Kind::Refused:
        break;
    }
    err << "varnix: " << name << " line " << ending.line << ": " << ending.reason << Qt::endl;
    return ending.kind == Kind::Lost || ending.kind == Kind::Refused ? 2 : 1;
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
    const QImage picture = render::displayPicture(display);
    if (picture.isNull())
        return QStringLiteral("the display could not be drawn");
    return render::savePicture(picture.scaled(picture.size() * scale), path, false);
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
        return content::make(command.content, command.png, command.scale, command.exporting, argc, argv);
    case Command::Kind::Export:
        return exporting::exportScript(command.script, command.exporting, command.delay, out, err);
    case Command::Kind::Run:
    case Command::Kind::Preview:
    case Command::Kind::Decode:
    case Command::Kind::Monitor:
        break;
    }
    // No display is needed: the event loop without a window system, and
    // Qt's own rather than GLib's, which no desktop shares here and which
    // costs more at each wake-up: a pass-through of one byte at a time
    // forwards each some 6 us sooner with it, at three quarters of the CPU.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
            qputenv("QT_NO_GLIB", "1");
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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

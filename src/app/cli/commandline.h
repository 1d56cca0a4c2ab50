// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/cli/contentcommand.h"
#include "app/cli/exportcommand.h"
#include "app/cli/monitorcommand.h"
#include "fleet/boardrun.h"

#include <QString>
#include <QStringList>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>

class QTextStream;

namespace varnix {

namespace board {
class Display;
}

// Whether Qt can reach a display. Without one, Qt aborts with several lines
// and a core dump; the programs say it in one line instead.
inline bool displayAvailable()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// What the command line asks for.
struct Command {
    // Make: --text or --picture. Export: --export SCRIPT.
    enum class Kind { Window, Help, Version, Run, Preview, Make, Export, Decode, Monitor, Refused };
    Kind kind = Kind::Window;
    QString script;
    QString device;   // --port: a device or network address; empty: port 1's device
    QStringList ports; // every --port, in order: --run sends to each
    QStringList portsFiles; // every --ports: files of boards, all taken
    int jobs = 0;      // --jobs: at most this many boards at once; 0: all
    QString junit;     // --junit: the results as JUnit XML
    QString logDir;    // --log-dir: each board's session log in this folder
    int delay = 20;   // --delay, as a run from the command line starts
    bool verify = false;
    bool updateScreens = false; // --update-screens
    QString png;      // --preview's, --text's or --picture's --png
    int scale = 1;
    // --line: the line --export's code sets and --monitor's ports open with.
    QString line = QStringLiteral("19200,n,8,1");
    QString logFile;  // --log: the window starts with the session log running
    bool edit = false; // --edit: the window starts with the screen editor open
    QString editFile;  // on this script, or a new screen when empty
    QString refusal;  // one line saying what is wrong
    ContentRequest content; // --text or --picture and their options
    ExportChoice exporting; // --export and its options
    MonitorRequest monitor; // --decode or --monitor and their options

    // A run on many boards at once, reported as a whole, rather than one
    // board's run printed frame by frame.
    bool fleet() const
    {
        return ports.size() > 1 || !portsFiles.isEmpty() || jobs > 0 || !junit.isEmpty() || !logDir.isEmpty();
    }
};

// The program's arguments, without its name.
QStringList arguments(int argc, char* argv[]);
Command parseCommandLine(const QStringList& arguments);

// Why a script file was refused, as the command line says it: "PATH: line
// 3: …", or the reason alone where it names the file it could not open.
QString scriptRefusal(const QString& path, const script::ReadError& error);

// Makes the judge of a run's screen lines on a board, whose failures' pictures
// go into the folder, named after the board's file name (none for a board
// run on its own). Empty when the script has no screen line.
using ScreenJudges = std::function<fleet::ScreenJudge(const QString& folder, const QString& fileName)>;
// Reads the pictures of the script's screen lines before anything is sent,
// printing what a person should know of them; nothing, said in one line,
// when one cannot be used.
std::optional<ScreenJudges> readScreens(const Command& command, const script::Script& script, QTextStream& out,
                                        QTextStream& err);

// Sends a script to the board and prints one line per frame with its
// answer: 0 when every frame was answered (and, with --verify, the board's
// display equals the model's; every screen line's picture is what the board
// shows), 1 at the first "Error:", an expect that timed out or a difference,
// 2 when the script or a screen line's picture cannot be read or the port
// not opened. A failed screen line's pictures go into the current folder.
// A fleet's run goes on to runFleetCommand. Needs a running
// Q(Core)Application.
int runScriptCommand(const Command& command, QTextStream& out, QTextStream& err);
// Writes what a script draws as a PNG, black on white; 0, or 2 when the
// script cannot be read or the picture not written.
int previewScriptCommand(const Command& command, QTextStream& out, QTextStream& err);

// Writes the display as a PNG, black dots on white, each dot scale x scale
// pixels; why it could not, or empty.
QString writeDisplayPng(const board::Display& display, const QString& path, int scale);

// The command line's own work (help, version, --run, --preview, --text,
// --picture, --export, a refused option) done without a display; its exit
// code.
int runCommand(const Command& command, int argc, char* argv[]);

} // namespace varnix

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/usage.h"

#include <algorithm>
#include <sstream>

namespace varnix::usage {

namespace {

constexpr Option kHelp{"--help", nullptr, "show this help and exit",
                       "Print the forms of the command line and what every option does, and exit."};

constexpr const char* kVarnixSynopses[] = {
    "[--log FILE] [--port PORT]",
    "--run SCRIPT [--port PORT] [--delay MS] [--verify]",
    "--preview SCRIPT --png OUT.png [--scale N]",
    "--help | --version",
};
constexpr Option kVarnixOptions[] = {
    {"--log", "FILE", "start the window with the session log running, added to the end of FILE",
     "Start the window with the session log running, written to the end of FILE (see FILES). The log can be "
     "stopped and started again with the window's Log button."},
    {"--run", "SCRIPT", "send a script (.vnx) to the board and print each frame with its answer",
     "Send the script to the board without a window, and print one line for each frame with the board's "
     "answer. The exit status says how the run ended (see EXIT STATUS). The script's format is described in "
     "scripts.md, with an example in examples/screen.vnx, in the program's documentation folder "
     "(/usr/share/doc/varnix)."},
    {"--port", "PORT",
     "a serial device (/dev/ttyUSB0) or a board on the network (rfc2217://HOST:PORT, tcp://HOST:PORT)",
     "The port that --run sends to, or that the window starts with open: a serial device such as /dev/ttyUSB0, "
     "or a board behind a serial server such as ser2net, as rfc2217://HOST:PORT (the line settings go to the "
     "server) or tcp://HOST:PORT (raw TCP; the server's own settings apply). HOST is a name, an IPv4 address or "
     "an IPv6 address in brackets. Without it, --run uses the device of port 1 as the window numbers the "
     "ports: a USB adapter, else a running virtual board. The line settings are 19200,n,8,1."},
    {"--delay", "MS", "with --run: the pacing delay the script starts with (default 20)",
     "The pause in milliseconds before each pacing character that --run starts with, until a delay line of the "
     "script sets another; 20 when not given."},
    {"--verify", nullptr, "with --run: then compare the board's display memory with the script's drawing",
     "After a run that went well, read the board's whole display memory and compare it with what the script "
     "draws on the firmware model: print the number of differing pixels and the first of them, and exit with 1 "
     "when any pixel differs. The model starts from a clear display, so a script to verify begins with ]k."},
    {"--preview", "SCRIPT", "draw what the script would draw, with the board's firmware model; no port",
     "Draw what the script would draw with the board's own firmware model, opening no port, and write it as "
     "the PNG that --png names."},
    {"--png", "OUT.png", "with --preview: the picture to write, black on white",
     "Where --preview writes the display: 128 x 64 pixels at scale 1, black dots on white."},
    {"--scale", "N", "with --preview: each dot as N x N pixels (default 1)",
     "Each dot of the display as N x N pixels of the picture, N from 1 to 32."},
    kHelp,
    {"--version", nullptr, "show the version and exit", "Print the program's name and version, and exit."},
};

constexpr const char* kBoardSynopses[] = {"[--headless] [--no-link]", "--help | --version"};
constexpr Option kBoardOptions[] = {
    {"--headless", nullptr, "run without the window that shows the display",
     "Run without a window. The board reads and answers just the same; only its display is not shown. With no "
     "display to show a window on, the board runs without one anyway, and says so."},
    {"--no-link", nullptr, "do not put the link that Varnix finds the board by in place",
     "Leave the symbolic link to the device (see FILES) alone, so that Varnix does not count this board among "
     "its ports. The device it prints can still be opened by other serial programs, and any number of such "
     "boards can run beside the one that holds the link."},
    kHelp,
    {"--version", nullptr, "show the version and exit", "Print the board's name and version, and exit."},
};

// Words of `text` in lines of at most `width` columns, each after `indent`
// (the first after `first`, which may be wider).
void wrap(std::ostringstream& out, const std::string& first, const std::string& indent, const char* text,
          std::size_t width = 79)
{
    std::istringstream words{std::string(text)};
    std::string line = first;
    bool empty = true;
    for (std::string word; words >> word;) {
        if (!empty && line.size() + 1 + word.size() > width) {
            out << line << '\n';
            line = indent;
            empty = true;
        }
        line += (empty ? "" : " ") + word;
        empty = false;
    }
    out << line << '\n';
}

std::string optionLabel(const Option& option)
{
    return option.argument ? std::string(option.name) + ' ' + option.argument : std::string(option.name);
}

} // namespace

const Program& varnix()
{
    static const Program program{
        "varnix", kVarnixSynopses,
        "Draws on the display of a Tessel graphic LCD controller board, reads and writes its memories and talks "
        "to it, over a serial port, in its window. --run and --preview send and draw scripts without a window and "
        "need no display.",
        kVarnixOptions};
    return program;
}

const Program& board()
{
    static const Program program{
        "varnix-board", kBoardSynopses,
        "A Tessel board with its demonstration firmware on a pseudo-terminal, for Varnix to open as a serial "
        "port. Prints the device's path and runs until it is ended.",
        kBoardOptions};
    return program;
}

std::string helpText(const Program& program)
{
    std::ostringstream out;
    std::string head = "Usage:";
    for (const char* synopsis : program.synopses) {
        out << head << ' ' << program.name << (*synopsis ? " " : "") << synopsis << '\n';
        head = "      ";
    }
    wrap(out, "", "", program.summary);
    out << "\nOptions:\n";
    std::size_t column = 0;
    for (const Option& option : program.options)
        column = std::max(column, optionLabel(option).size());
    for (const Option& option : program.options) {
        std::string label = "  " + optionLabel(option);
        label.resize(column + 4, ' ');
        wrap(out, label, std::string(column + 4, ' '), option.help);
    }
    return out.str();
}

} // namespace varnix::usage

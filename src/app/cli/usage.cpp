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
    "--edit [SCRIPT] [--log FILE] [--port PORT]",
    "--run SCRIPT [--port PORT]... [--delay MS] [--verify] [--jobs N]",
    "--run SCRIPT [--port PORT] --update-screens",
    "--run SCRIPT --ports FILE [--junit OUT.xml] [--log-dir DIR]",
    "--preview SCRIPT --png OUT.png [--scale N]",
    "--text TEXT [options] [--png OUT.png] [--script OUT.vnx]",
    "--picture FILE [options] [--png OUT.png] [--script OUT.vnx]",
    "--export SCRIPT --lang c|arduino|python [--name NAME] -o OUT",
    "--picture FILE [options] --export --lang c|arduino|python -o OUT",
    "--decode FILE [--json] [--png OUT.png [--at N] [--scale N]]",
    "--monitor HOST_PORT --port BOARD_PORT [options] [--save CAPTURE]",
    "--help | --version",
};
constexpr Option kVarnixOptions[] = {
    {"--log", "FILE", "start the window with the session log running, added to the end of FILE",
     "Start the window with the session log running, written to the end of FILE (see FILES). The log can be "
     "stopped and started again with the window's Log button."},
    {"--edit", "[SCRIPT]", "start the window with the screen editor open, on SCRIPT (.vnx) or a new screen",
     "Start the window with the screen editor open on SCRIPT, or on a new screen when none is given. The editor "
     "places the objects of a screen with the mouse on a canvas the board's firmware model draws, and the board "
     "can follow it live; the screen is a script. The desktop entry for .vnx files starts Varnix so. See "
     "screen-editor.md in the program's documentation folder."},
    {"--run", "SCRIPT", "send a script (.vnx) to the board and print each frame with its answer",
     "Send the script to the board without a window, and print one line for each frame with the board's "
     "answer. The exit status says how the run ended (see EXIT STATUS). The script's format is described in "
     "scripts.md, with an example in examples/screen.vnx, in the program's documentation folder "
     "(/usr/share/doc/varnix)."},
    {"--port", "PORT",
     "a serial device (/dev/ttyUSB0) or a board on the network (rfc2217://HOST:PORT, tcp://HOST:PORT)",
     "The port that --run sends to, the board's side of --monitor, or that the window starts with open: a serial "
     "device such as /dev/ttyUSB0, "
     "or a board behind a serial server such as ser2net, as rfc2217://HOST:PORT (the line settings go to the "
     "server) or tcp://HOST:PORT (raw TCP; the server's own settings apply). HOST is a name, an IPv4 address or "
     "an IPv6 address in brackets. Without it, --run uses the device of port 1 as the window numbers the "
     "ports: a USB adapter, else a running virtual board. The line settings are 19200,n,8,1. Given more than "
     "once, --run sends to every one of them at once, as with --ports."},
    {"--ports", "FILE", "with --run: the boards to run it on at once, one a line: name, address, line settings",
     "Run the script on every board of FILE at once, each on its own connection, with the same pacing, expect, "
     "ready and --verify as a single run. FILE holds one board a line: a name (letters, digits, ., - and _), its "
     "device or network address, and optionally its own line settings such as 9600,n,8,1 (not for a tcp:// "
     "address, whose server has its own); # begins a comment. A file that cannot be read, or a line that is not "
     "a board, is refused with its line before anything is sent, as is one board named twice however it is "
     "written (a device and a link to it, one host by two names). --ports given more than once takes the boards "
     "of every file. --port given more than once runs on those "
     "ports the same way, each named by its address. A terminal shows a line per board rewritten in place, "
     "anything else a line per event; then a table gives each board's result, the frames it answered, the "
     "time it took and why it failed. Ctrl+C ends every run once the frame it is sending is answered (a second "
     "Ctrl+C at once) and the table and reports are still written. See fleet.md in the program's documentation "
     "folder."},
    {"--jobs", "N", "with --run on many boards: at most N of them at once (default: all)",
     "Run at most N boards at once; the others wait for a turn. All at once when not given."},
    {"--junit", "OUT.xml", "with --run: write the results as JUnit XML, a test case a board",
     "Write the results as JUnit XML, as CI servers show test reports: a test case a board, with its failure "
     "and the board's answers as its output. Also with a single --port."},
    {"--log-dir", "DIR", "with --run: keep each board's session log in DIR, as NAME.log",
     "Keep each board's session log in DIR (made when missing), named after the board: NAME.log, with the "
     "characters of an address that are not letters, digits, ., - or _ written _."},
    {"--delay", "MS", "with --run or --export: the pacing delay the script starts with (default 20)",
     "The pause in milliseconds before each pacing character that --run (or the code of --export) starts with, "
     "until a delay line of the script sets another; 20 when not given."},
    {"--verify", nullptr, "with --run: then compare the board's display memory with the script's drawing",
     "After a run that went well, read the board's whole display memory and compare it with what the script "
     "draws on the firmware model: print the number of differing pixels and the first of them, and exit with 1 "
     "when any pixel differs. The model starts from a clear display, so a script to verify begins with ]k."},
    {"--update-screens", nullptr, "with --run: make the pictures of the script's screen lines from the board",
     "Write the picture of each screen line that is not there or differs from what the board shows, from the "
     "board's display, and say which were written; the run passes those lines. Without it no picture is ever "
     "changed. A picture's folder that cannot be written is refused before anything is sent. With one board "
     "only."},
    {"--preview", "SCRIPT", "draw what the script would draw, with the board's firmware model; no port",
     "Draw what the script would draw with the board's own firmware model, opening no port, and write it as "
     "the PNG that --png names."},
    {"--text", "TEXT", "make a block of display memory from a text",
     "Draw TEXT into the block (a line break in it, such as $'A\\nB' in bash, starts a line), every pixel on or off, lines never wrapped: what does not fit is cut at the "
     "block's edge and said so. Write it with --png, --script or both. Needs no display."},
    {"--picture", "FILE", "make a block from a picture; an animated GIF or a folder of numbered PNGs: an animation",
     "Convert the picture into the block. An animated GIF, or a folder whose PNG files are numbered frames (100 "
     "ms each), becomes an animation: its script writes each frame's changed rectangle and waits the frame's "
     "delay less the line's time. Pictures over 40 million pixels and animations over 1000 frames are refused."},
    {"--font", "NAME", "with --text: an installed font family or a bitmap font (default: the board's own 5 x 7 font)",
     "The font family of --text, which must be installed (fc-list lists them); a font that is not is refused by "
     "its name. Without it, the board's own 5 x 7 font, drawn as its firmware draws strings. A bitmap font is "
     "drawn dot for dot: a BDF or PCF file (gzipped too), or a name fontconfig knows, such as 6x13 (a file's name) "
     "or Terminus:pixelsize=16:bold (a pattern; --size, --bold and --italic choose among its faces where it does "
     "not say). A character it lacks shows its default glyph or a hollow box, and is named."},
    {"--font-scale", "N", "with --text and a bitmap font: each dot drawn N x N (1 to 8, default 1)",
     "Draw each dot of a bitmap font as N x N pixels: a whole-number scale, the only one a bitmap font takes."},
    {"--size", "PX", "with --text: the font's height in display pixels (default 8)",
     "The height of the font in pixels of the display, not points. The board's font is drawn at whole multiples "
     "of its 8-pixel line."},
    {"--bold", nullptr, "with --text: bold", "Draw the text bold."},
    {"--italic", nullptr, "with --text: italic", "Draw the text italic."},
    {"--align", "H,V", "with --text: left, centre or right, and top, middle or bottom",
     "Where the text stands in the block: left, centre or right, and top, middle or bottom, such as "
     "centre,middle (default left,top)."},
    {"--spacing", "PX", "with --text: pixels between lines beyond the font's own (default 0)",
     "Pixels added between lines, beyond the font's own line height; may be negative."},
    {"--rotate", "DEG", "turn clockwise by 0, 90, 180 or 270 degrees",
     "Turn the text or picture clockwise, for a display mounted on its side."},
    {"--flip", "WAY", "with --picture: flip across or down",
     "Flip the picture across (left for right) or down (upside down), after turning it."},
    {"--invert", nullptr, "light on dark", "Every pixel the other way round: light text or picture on dark."},
    {"--dither", "HOW", "with --picture: threshold (default), diffusion, atkinson or ordered",
     "How the picture becomes black and white: threshold at --level, Floyd-Steinberg diffusion, Atkinson "
     "diffusion or an ordered 4 x 4 Bayer pattern."},
    {"--level", "GREY", "with --picture and threshold: the grey from 0 to 255 below which a pixel is dark (128)",
     "The threshold's level: pixels darker than this grey (0 to 255) are on. 128 when not given."},
    {"--fit", "HOW", "with --picture: fit (default), fill or 1:1",
     "fit scales a larger picture down to fit whole; fill scales it to cover the block and crops it; 1:1 takes "
     "it pixel for pixel and crops it. Each is centred."},
    {"--block", "BLOCK",
     "with --text or --picture: X1,X2,Y1,Y2 (columns 0-127, rows 0-7) or whole (default); with --text, either "
     "followed by ,fit or fit alone: the smallest block the text needs",
     "The block of the display memory to fill: columns X1 to X2 (0 to 127) and rows of 8 pixels Y1 to Y2 (0 to "
     "7), both ends included, or whole for the whole display, which is also the block when none is given. With "
     "--text, fit after either (0,127,3,4,fit; whole,fit; or fit alone) takes the smallest block the text needs "
     "there, standing where --align puts it, as Fit to text does in the window."},
    {"--baud", "RATE", "with --picture: the baud rate an animation's waits allow for (default 19200)",
     "The line's baud rate that an animation's waits are reckoned for: each frame waits its own delay less the "
     "time its write takes on the line."},
    {"--script", "OUT.vnx", "with --text or --picture: write the script that writes the block",
     "Write a script that writes the block (with delay 0, the line's speed alone setting the pace), or, for an "
     "animation, plays it; the file is written whole or not at all."},
    {"--export", "[SCRIPT]", "write a script, or what --text or --picture make, as C, Arduino or Python code",
     "Write the code of a program that sends what --run of the script sends, the same bytes with the same pauses, "
     "each frame waiting for the board's prompt: C for a POSIX host (a function taking a file descriptor, and a "
     "main() with -DVARNIX_MAIN), an Arduino sketch (a function taking a Stream, its data in flash) or Python "
     "with pyserial (a function taking a serial.Serial, and a main). After --text or --picture it takes no "
     "SCRIPT and writes the code of the script they make. Needs --lang and -o; a script that cannot be read is "
     "refused by its line."},
    {"--lang", "LANG", "with --export: c, arduino or python", "The language of the code --export writes."},
    {"--name", "NAME", "with --export: the function is varnix_send_NAME (default: the file's name)",
     "The name the function is given, varnix_send_NAME: letters, digits and _. Without it the script's or the "
     "picture's file name is taken. Either is made into such a name when it is not one, as the Export dialog "
     "does, and said so: a letter with an accent as its letter alone, each run of other characters as one _."},
    {"--line", "SETTINGS", "with --export or --monitor: the line settings (default 19200,n,8,1)",
     "The line settings as BAUD,PARITY,DATA,STOP, such as 56000,n,8,1: with --export, those the code's own "
     "main() or setup() opens the port with, and its comment names (C takes the speeds of POSIX termios and no "
     "mark or space parity, Arduino no mark or space parity and no 1.5 stop bits; what the language cannot set "
     "is refused); with --monitor, those of both ports."},
    {"--output", "OUT", "with --export: the file to write the code to (- for the standard output); -o OUT is the same",
     "Where --export writes the code, whole or not at all; - writes it to the standard output. -o OUT is the "
     "same."},
    {"--decode", "FILE", "print what a host sent the board, frame by frame, with the board's verdict",
     "Read a capture, a session log of Varnix, the timed output of jpnevulator, a script "
     "or a file of raw bytes the host sent, and print one line for each event: its number, time, direction (> "
     "from the host, < from the board, * a note), the bytes as scripts write them, what they mean and the "
     "verdict of the board's own firmware model (taken, its error line, unfinished, ignored), and where the file "
     "holds the board's side, what the board answered. The counts go to the error output at the end. A damaged "
     "line is a note with its number; the reading goes on. The exit status says what was found (see EXIT "
     "STATUS)."},
    {"--monitor", "HOST_PORT", "pass bytes between the host's port and the board's (--port), printing each event",
     "Open the host's port and the board's port (--port), each a serial device or a network address as --port "
     "takes them, pass every byte from one to the other unchanged and at once, and print the events as they "
     "pass, decoded as --decode does, each frame with the board's answer. Ctrl+C ends it with a line of counts; a "
     "port lost on one side is said and the other side goes on, and frames sent after the board's was lost are "
     "not delivered. The exit status follows the rule of --decode."},
    {"--save", "CAPTURE", "with --monitor: keep the bytes both ways, with their times, in a capture file",
     "Write the capture as it passes: a line for each run of bytes with its local time to the millisecond and "
     "its direction, the session log's form with every byte kept. --decode and the monitor window read it."},
    {"--json", nullptr, "with --decode or --monitor: each event as a line of JSON",
     "Print each event as one line of JSON, with its parameters by name, the model's verdict and the board's "
     "answer, instead of a line of text. The bytes are JSON text, each byte the character of its number (U+0000 "
     "to U+00FF); monitor.md in the documentation folder lists the fields."},
    {"--at", "N", "with --decode and --png: the display as it stood after event N",
     "Write the display as it stood after the event numbered N, rather than at the end."},
    {"--png", "OUT.png", "with --preview, --decode, --text or --picture: the picture to write, black on white",
     "Where --preview and --decode write the display, or --text and --picture their block (an animation's first "
     "frame): a pixel per dot at scale 1, black dots on white."},
    {"--scale", "N", "with --png: each dot as N x N pixels (default 1)",
     "Each dot of the display as N x N pixels of the picture, N from 1 to 32."},
    kHelp,
    {"--version", nullptr, "show the version and exit", "Print the program's name and version, and exit."},
};

constexpr const char* kBoardSynopses[] = {"[--headless] [--no-link]", "--boards N [--ports-file FILE]",
                                          "--help | --version"};
constexpr Option kBoardOptions[] = {
    {"--headless", nullptr, "run without the window that shows the display",
     "Run without a window. The board reads and answers just the same; only its display is not shown. With no "
     "display to show a window on, the board runs without one anyway, and says so."},
    {"--no-link", nullptr, "do not put the link that Varnix finds the board by in place",
     "Leave the symbolic link to the device (see FILES) alone, so that Varnix does not count this board among "
     "its ports. The device it prints can still be opened by other serial programs, and any number of such "
     "boards can run beside the one that holds the link."},
    {"--boards", "N", "run N boards, each on a pseudo-terminal of its own",
     "Run N boards (1 to 4096) in this one process, without windows and without the link, and print their "
     "devices, one a line. Each board is a board of its own; together they stand in for a rack that Varnix runs "
     "a script on. Each needs two open files: the limit is raised as far as the system allows, and a number "
     "beyond it is refused."},
    {"--ports-file", "FILE", "write a ports file naming the boards",
     "Write FILE, once every board has started, with a line a board: its name (board-1 to board-N, the numbers "
     "written to one width) and its device, the ports file Varnix reads to run a script on many boards."},
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
        "need no display; --text and --picture make blocks of display memory and scripts from texts and pictures; "
        "--export makes a script into C, Arduino or Python code that sends it; --decode and --monitor show, "
        "decoded, what any host sends the board.",
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

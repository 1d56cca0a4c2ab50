#include "app/usage.h"

#include <algorithm>
#include <sstream>

namespace varnix::usage {

namespace {

constexpr Option kHelp{"--help", nullptr, "show this help and exit",
                       "Print the forms of the command line and what every option does, and exit."};

constexpr const char* kVarnixSynopses[] = {"[--help | --version]"};
constexpr Option kVarnixOptions[] = {
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
        "to it, over a serial port. Everything is done in its window.",
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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <string>

namespace varnix::usage {

// One command-line option. The one place its texts are written: --help
// prints `help`, the manual page prints `manual` (plain text; the page's
// generator marks up the option names in it).
struct Option {
    const char* name;     // "--headless"
    const char* argument; // "FILE", or nullptr for a switch
    const char* help;     // one line, lower case, no full stop
    const char* manual;   // sentences
};

struct Program {
    const char* name;
    // The forms of the command line, each after the program's name.
    std::span<const char* const> synopses;
    // What the program does, in a sentence or two.
    const char* summary;
    std::span<const Option> options;
};

const Program& varnix();
const Program& board();

// What --help prints: the forms, the summary and the options, lines wrapped
// to fit 80 columns.
std::string helpText(const Program& program);

} // namespace varnix::usage

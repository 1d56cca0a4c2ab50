// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a program's manual page from its template: the lines @SYNOPSIS@ and
// @OPTIONS@ become the forms and the options of the program's own table (the
// one --help prints), and @VERSION@ the project's version.
//   varnix_manpages PROGRAM TEMPLATE OUTPUT
#include "app/cli/usage.h"

#include "varnixversion.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using varnix::usage::Option;
using varnix::usage::Program;

bool isOptionName(const std::string& word)
{
    return word.size() > 1 && word[0] == '-' && (word[1] == '-' || std::isalpha(static_cast<unsigned char>(word[1])));
}

// Plain text for troff: backslashes kept, the dashes of option names as
// minus signs (so that they are typed as they are shown), and no line
// taken for a request.
std::string troffText(const std::string& text)
{
    std::string out;
    bool inOption = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 0 || text[i - 1] == ' ' || text[i - 1] == '(' || text[i - 1] == '[')
            inOption = isOptionName(text.substr(i, 2));
        if (c == ' ')
            inOption = false;
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && inOption)
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

// A form of the command line: option names bold, their arguments italic,
// brackets and bars plain.
std::string troffForm(const std::string& form)
{
    std::istringstream words(form);
    std::string out;
    for (std::string word; words >> word;) {
        std::size_t begin = word.find_first_not_of('[');
        std::size_t end = word.find_last_not_of(']');
        if (!out.empty())
            out += ' ';
        if (begin == std::string::npos) {
            out += word;
            continue;
        }
        const std::string core = word.substr(begin, end - begin + 1);
        const char* font = isOptionName(core) ? "\\fB" : core == "|" || core == "..." ? "" : "\\fI";
        out += word.substr(0, begin) + font + troffText(core) + (*font ? "\\fR" : "") + word.substr(end + 1);
    }
    return out;
}

std::string synopsis(const Program& program)
{
    std::string out;
    for (const char* form : program.synopses) {
        if (!out.empty())
            out += ".br\n";
        std::string name = program.name; // a command to be typed: its dashes are minus signs
        for (std::size_t at = 0; (at = name.find('-', at)) != std::string::npos; at += 2)
            name.replace(at, 1, "\\-");
        out += ".B " + name + '\n';
        if (*form)
            out += troffForm(form) + '\n';
    }
    return out;
}

std::string options(const Program& program)
{
    std::string out;
    for (const Option& option : program.options) {
        std::string label = option.name;
        if (option.argument)
            label += std::string(" ") + option.argument;
        // A sentence a line, so that troff knows where sentences end.
        std::string text = troffText(option.manual);
        for (std::size_t at = 0; (at = text.find(". ", at)) != std::string::npos; ++at)
            if (at + 2 < text.size() && std::isupper(static_cast<unsigned char>(text[at + 2])))
                text.replace(at + 1, 1, "\n");
        out += ".TP\n" + troffForm(label) + '\n' + text + '\n';
    }
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fputs("usage: varnix_manpages PROGRAM TEMPLATE OUTPUT\n", stderr);
        return 2;
    }
    const Program* program = nullptr;
    for (const Program* known : {&varnix::usage::varnix(), &varnix::usage::board()})
        if (std::strcmp(known->name, argv[1]) == 0)
            program = known;
    std::ifstream in(argv[2]);
    if (!program || !in) {
        std::fprintf(stderr, "varnix_manpages: no program %s or no template %s\n", argv[1], argv[2]);
        return 1;
    }
    std::ostringstream page;
    for (std::string line; std::getline(in, line);) {
        if (line == "@SYNOPSIS@") {
            page << synopsis(*program);
        } else if (line == "@OPTIONS@") {
            page << options(*program);
        } else {
            for (std::size_t at; (at = line.find("@VERSION@")) != std::string::npos;)
                line.replace(at, std::strlen("@VERSION@"), varnix::kVersion);
            page << line << '\n';
        }
    }
    std::ofstream out(argv[3]);
    out << page.str();
    if (!out.flush()) {
        std::fprintf(stderr, "varnix_manpages: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}

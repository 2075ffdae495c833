// The one description of mailvetter-cli's commands and options. The parser
// accepts exactly what is declared here, and "--help", the manual page
// mailvetter-cli(1) and the bash completion are all made from it by the build.
//
// To add an option: add one entry to its command's option list in
// help_text.cpp (name without dashes, `.value` naming the value or left out
// for a flag, `.help` one paragraph, `.complete` what the shell offers for
// the value: Files("mlt"), Words("a b"), WordList("a b"), Hosts()); then read
// it in the command's Run function with parsed.Has/Value/Number. Add it to
// the command's `.synopsis` only when the synopsis lists options one by one.
// To add a command: add a function like Check() in help_text.cpp, put it in
// AllCommands(), and declare its Run function in commands.h. The tests
// (tests/cli/help_text_test.cpp) and the build's manual page follow by
// themselves; a new setting must also be named under FILES in
// data/man/mailvetter-cli.1.in (the build fails otherwise).
#pragma once

#include <string>
#include <vector>

#include "cli_args.h"

namespace mv::cli {

// What the shell offers when completing an option's value or an operand.
struct Completion {
    enum class Kind {
        kNothing,   // a value of the user's own (an address, a number)
        kFiles,     // file names; `words` lists the extensions, blank-separated (none: any)
        kWords,     // one of `words`
        kWordList,  // some of `words`, separated by commas
        kHosts,     // host names
    };
    Kind kind = Kind::kNothing;
    const char* words = "";
};

constexpr Completion Files(const char* extensions = "") {
    return {Completion::Kind::kFiles, extensions};
}
constexpr Completion Words(const char* words) {
    return {Completion::Kind::kWords, words};
}
constexpr Completion WordList(const char* words) {
    return {Completion::Kind::kWordList, words};
}
constexpr Completion Hosts() {
    return {Completion::Kind::kHosts, ""};
}

struct Option {
    const char* name;             // without the leading dashes
    const char* value = nullptr;  // what the value is called ("ADDRESS"); nullptr: a flag
    const char* help = "";        // one paragraph; --help and the manual page wrap it
    Completion complete = {};     // of the value
};

// Options shown together under a heading ("Output").
struct OptionGroup {
    const char* heading;  // empty: "Options"
    std::vector<Option> options;
};

struct Command {
    const char* name;
    const char* synopsis;  // the usage line after "mailvetter-cli "
    const char* summary;   // the line in the list of commands
    // Text before the options and after them: paragraphs separated by a
    // blank line; single line breaks count as blanks (the text is wrapped).
    const char* description;
    std::vector<OptionGroup> options;
    const char* notes;
    Completion operands;  // of the positional arguments
    int (*run)(const ParsedArgs& args);
};

const std::vector<Command>& AllCommands();
// The command of that name, or nullptr.
const Command* FindCommand(const std::string& name);
// What the parser accepts for the command (--help is always accepted).
std::vector<OptionSpec> OptionSpecsOf(const Command& command);

}  // namespace mv::cli

// The commands of mailvetter-cli, described once: the parser accepts exactly
// the options declared here, and --help, the manual page and the shell
// completion are all made from these declarations (commands.cpp).
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
    const char* heading;  // empty: no heading
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

int RunMx(const ParsedArgs& args);
int RunSmtp(const ParsedArgs& args);
int RunCheck(const ParsedArgs& args);
int RunImport(const ParsedArgs& args);
int RunShow(const ParsedArgs& args);
int RunSettings(const ParsedArgs& args);
int RunExport(const ParsedArgs& args);

// "SECTION/KEY" of every setting that the settings command reads and writes.
std::vector<std::string> SettingNames();

// Prints "mailvetter-cli: MESSAGE" on standard error.
void PrintError(const std::string& message);

}  // namespace mv::cli

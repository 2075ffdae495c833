// mailvetter-cli: the command-line front end over the core library.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli_args.h"
#include "commands.h"
#include "help_format.h"
#include "help_text.h"

namespace mv::cli {

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(UsageText().c_str(), out);
}

}  // namespace

int Main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (first == "--version") {
        std::puts("mailvetter-cli " MV_VERSION);
        return kExitOk;
    }
    if (const Command* command = FindCommand(first)) {
        const std::vector<std::string> args(argv + 2, argv + argc);
        try {
            const ParsedArgs parsed(args, OptionSpecsOf(*command));
            if (parsed.HelpRequested()) {
                std::fputs(CommandHelp(*command).c_str(), stdout);
                return kExitOk;
            }
            return command->run(parsed);
        } catch (const UsageError& e) {
            PrintError(e.what());
            std::fputs(UsageLine(*command).c_str(), stderr);
            return kExitUsage;
        }
    }
    PrintError("unknown command '" + first + "'");
    PrintUsage(stderr);
    return kExitUsage;
}

}  // namespace mv::cli

// The last resort: the commands report the failures they expect themselves;
// whatever else escapes them still ends with its message and status 1.
int main(int argc, char** argv) {
    try {
        return mv::cli::Main(argc, argv);
    } catch (const std::bad_alloc&) {
        mv::cli::PrintError("out of memory");
    } catch (const std::exception& e) {
        mv::cli::PrintError(e.what());
    } catch (...) {
        mv::cli::PrintError("unknown error");
    }
    return mv::cli::kExitFailure;
}

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

namespace mv::cli {

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: mailvetter-cli COMMAND [OPTIONS] [ARGUMENTS]\n\n"
        "Finds out which e-mail addresses can receive mail, without sending any.\n\n"
        "Commands:\n",
        out);
    for (const Command& c : AllCommands())
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fputs(
        "\nRun 'mailvetter-cli COMMAND --help' for the options of a command.\n"
        "Exit status: 0 success, 1 failure, 2 usage error.\n",
        out);
}

}  // namespace

void PrintError(const std::string& message) {
    std::fprintf(stderr, "mailvetter-cli: %s\n", message.c_str());
}

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
    for (const Command& c : AllCommands()) {
        if (first != c.name) continue;
        const std::vector<std::string> args(argv + 2, argv + argc);
        try {
            return c.run(args);
        } catch (const UsageError& e) {
            PrintError(e.what());
            std::fprintf(stderr, "Usage: mailvetter-cli %s\n", c.synopsis);
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

// The commands of mailvetter-cli. Each takes the arguments after its name and
// returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace mv::cli {

struct Command {
    const char* name;
    const char* synopsis;  // the usage line after "mailvetter-cli "
    const char* summary;
    const char* help;  // the text of "mailvetter-cli NAME --help"
    int (*run)(const std::vector<std::string>& args);
};

const std::vector<Command>& AllCommands();
// The command of that name (it must exist).
const Command& FindCommand(const std::string& name);

int RunMx(const std::vector<std::string>& args);
int RunSmtp(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunShow(const std::vector<std::string>& args);
int RunSettings(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunDoctor(const std::vector<std::string>& args);

// The text of "mailvetter-cli doctor --help".
extern const char* const kDoctorHelp;

// Prints "mailvetter-cli: MESSAGE" on standard error.
void PrintError(const std::string& message);

}  // namespace mv::cli

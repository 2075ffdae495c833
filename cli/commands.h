// The commands of mailvetter-cli: each runs on its parsed arguments and
// returns the exit status. What they accept is declared in help_text.cpp.
#pragma once

#include <string>
#include <vector>

#include "cli_args.h"

namespace mv::cli {

int RunMx(const ParsedArgs& args);
int RunSmtp(const ParsedArgs& args);
int RunCheck(const ParsedArgs& args);
int RunImport(const ParsedArgs& args);
int RunShow(const ParsedArgs& args);
int RunSettings(const ParsedArgs& args);
int RunExport(const ParsedArgs& args);
int RunDoctor(const ParsedArgs& args);
int RunCluster(const ParsedArgs& args);
int RunWorker(const ParsedArgs& args);
// cluster status (called by RunCluster), and check --cluster (by RunCheck).
int RunClusterStatus(const ParsedArgs& args);
int RunCheckOnCluster(const ParsedArgs& args);

// "SECTION/KEY" of every setting that the settings command reads and writes.
std::vector<std::string> SettingNames();

// Prints "mailvetter-cli: MESSAGE" on standard error.
void PrintError(const std::string& message);

}  // namespace mv::cli

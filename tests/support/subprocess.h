// Runs a program as a user would, for end-to-end tests: arguments, standard
// input, captured standard output and error, exit status, signals.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace mv::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not end by itself in time (it was killed)
    int termSignal = 0;
    std::string out;
    std::string err;
};

class Subprocess {
  public:
    // Starts `argv[0]` with the arguments; `env` entries ("NAME=VALUE") are
    // added to the environment of the child.
    Subprocess(const std::vector<std::string>& argv, const std::string& stdinText = "",
               const std::vector<std::string>& env = {});
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    void Signal(int sig);
    // Reads output until `text` has appeared on standard error (or standard
    // output) or the time-out passes; true when it appeared.
    bool WaitForOutput(const std::string& text, int timeoutMs, bool onStderr = true);
    // Waits for the end (killing the process after the time-out).
    ProcessResult Wait(int timeoutMs = 60000);

  private:
    void Pump(int timeoutMs);
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    ProcessResult result_;
    bool done_ = false;
};

// Runs to completion.
ProcessResult RunProgram(const std::vector<std::string>& argv, const std::string& stdinText = "",
                         const std::vector<std::string>& env = {}, int timeoutMs = 60000);

// Waits for the child `pid` to end, killing it when it has not ended within
// `timeoutMs` (then `killed` is set); its wait status.
int WaitForExit(pid_t pid, int timeoutMs, bool* killed = nullptr);

// The mailvetter-cli built with the tests (MV_CLI in the environment overrides it).
std::string CliPath();

}  // namespace mv::test

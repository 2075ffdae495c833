// The desktop program's own command-line options. Everything it does not know
// (Qt's options, the project to open) is left for the application object and
// the main window, in order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mv {
struct CheckSettings;
class TSmtpRelayServer;
}  // namespace mv

namespace mv::ui {

// Overrides of the stored settings for this process only, with the meaning
// they have for "mailvetter-cli check": they point the window at a test world
// and are never written to the settings file.
struct CheckOverrides {
    std::optional<std::string> dns;    // "SERVER [SERVER]" instead of DNS/Primary, Secondary
    std::optional<uint16_t> dnsPort;   // port of the DNS servers; mail hosts are looked up there
    std::optional<uint16_t> smtpPort;  // port of every mail host

    // The stored settings of a run with these overrides applied.
    void ApplyTo(CheckSettings& settings) const;
    // The ports, set on the dispatcher once at start.
    void ApplyTo(TSmtpRelayServer& dispatcher) const;
};

struct ProgramOptions {
    enum class Action { kRun, kHelp, kVersion, kUsageError };
    Action action = Action::kRun;
    std::string error;  // for kUsageError
    CheckOverrides overrides;
    // The arguments without the program's own options, the program name first.
    std::vector<std::string> remaining;
};

// Reads the program's options; needs no display.
ProgramOptions ParseProgramOptions(int argc, const char* const* argv);

// The texts of --help and --version.
std::string HelpText();
std::string VersionText();

// True when the start-up argument names a project file: its extension is
// ".mlt" without regard to case.
bool IsProjectFileName(const std::string& argument);

}  // namespace mv::ui

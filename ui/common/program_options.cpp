#include "common/program_options.h"

#include <charconv>

#include "common/app_info.h"
#include "engine/smtp_relay_server.h"
#include "project/run/check_run.h"

namespace mv::ui {

namespace {

// Splits "--name=value"; a bare "--name" takes the next argument as its value.
bool TakeValue(const std::string& arg, const std::string& name, int& i, int argc,
               const char* const* argv, std::optional<std::string>& value, std::string& error) {
    const std::string option = "--" + name;
    if (arg.rfind(option + "=", 0) == 0) {
        value = arg.substr(option.size() + 1);
        return true;
    }
    if (arg != option) return false;
    if (i + 1 >= argc) {
        error = option + " needs a value";
        return true;
    }
    value = argv[++i];
    return true;
}

std::optional<uint16_t> PortNumber(const std::string& name, const std::string& text,
                                   std::string& error) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 1 || value > 65535) {
        error = "--" + name + " must be a port number from 1 to 65535, not '" + text + "'";
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

void CheckOverrides::ApplyTo(CheckSettings& settings) const {
    if (dns) {
        settings.dnsPrimary = *dns;
        settings.dnsSecondary.clear();
    }
}

void CheckOverrides::ApplyTo(TSmtpRelayServer& dispatcher) const {
    if (smtpPort) dispatcher.SetSmtpPort(std::to_string(*smtpPort));
    if (dnsPort) dispatcher.SetDnsPort(std::to_string(*dnsPort));
}

ProgramOptions ParseProgramOptions(int argc, const char* const* argv) {
    ProgramOptions options;
    if (argc > 0) options.remaining.emplace_back(argv[0]);
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded) {
            options.remaining.push_back(arg);
            continue;
        }
        std::optional<std::string> dns, smtpPort, dnsPort;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.action = ProgramOptions::Action::kHelp;
            return options;
        } else if (arg == "--version") {
            options.action = ProgramOptions::Action::kVersion;
            return options;
        } else if (TakeValue(arg, "dns", i, argc, argv, dns, options.error)) {
            if (dns) options.overrides.dns = *dns;
        } else if (TakeValue(arg, "smtp-port", i, argc, argv, smtpPort, options.error)) {
            if (smtpPort)
                options.overrides.smtpPort = PortNumber("smtp-port", *smtpPort, options.error);
        } else if (TakeValue(arg, "dns-port", i, argc, argv, dnsPort, options.error)) {
            if (dnsPort)
                options.overrides.dnsPort = PortNumber("dns-port", *dnsPort, options.error);
        } else {
            options.remaining.push_back(arg);
        }
        if (!options.error.empty()) {
            options.action = ProgramOptions::Action::kUsageError;
            return options;
        }
    }
    return options;
}

std::string HelpText() {
    return std::string("Usage: ") + kProgramName +
           " [OPTIONS] [PROJECT.mlt]\n\n"
           "Finds out which e-mail addresses in a list can receive mail, without sending any.\n"
           "Opens PROJECT.mlt; any other argument, or none, starts a new project.\n\n"
           "Options (for this run of the program only; the settings file is not changed):\n"
           "  --dns \"SERVER [SERVER]\"  the DNS servers to ask instead of the stored ones\n"
           "  --dns-port N             their port (the mail servers' names are looked up there "
           "too)\n"
           "  --smtp-port N            the port of every mail server instead of 25\n"
           "  --help                   show this text\n"
           "  --version                show the version\n\n"
           "Qt's own options (for example -platform, -display, -style) are accepted too.\n";
}

std::string VersionText() {
    return std::string(kProgramName) + " " + kVersion + "\n";
}

bool IsProjectFileName(const std::string& argument) {
    if (argument.size() < 4) return false;
    std::string ext = argument.substr(argument.size() - 4);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".mlt";
}

}  // namespace mv::ui

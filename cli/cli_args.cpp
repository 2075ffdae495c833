#include "cli_args.h"

#include <cerrno>
#include <cstdlib>

namespace mv::cli {

namespace {

const OptionSpec* Find(const std::vector<OptionSpec>& specs, const std::string& name) {
    for (const OptionSpec& s : specs)
        if (s.name == name) return &s;
    return nullptr;
}

}  // namespace

ParsedArgs::ParsedArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
    bool onlyPositional = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositional || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!onlyPositional && arg.size() > 1 && arg[0] == '-' && arg != "-")
                throw UsageError("unknown option '" + arg + "'");
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.erase(eq);
        }
        if (name == "help") {
            help_ = true;
            continue;
        }
        const OptionSpec* spec = Find(specs, name);
        if (spec == nullptr) throw UsageError("unknown option '--" + name + "'");
        if (!spec->takesValue) {
            if (inlineValue) throw UsageError("option '--" + name + "' takes no value");
            values_[name] = "";
        } else if (inlineValue) {
            values_[name] = *inlineValue;
        } else if (i + 1 < args.size()) {
            values_[name] = args[++i];
        } else {
            throw UsageError("option '--" + name + "' needs a value");
        }
    }
}

std::optional<std::string> ParsedArgs::Value(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::string ParsedArgs::ValueOr(const std::string& name, const std::string& fallback) const {
    return Value(name).value_or(fallback);
}

std::optional<long> ParsedArgs::Number(const std::string& name, long min, long max) const {
    const auto text = Value(name);
    if (!text) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno != 0 || value < min || value > max) {
        throw UsageError("option '--" + name + "' needs a whole number from " +
                         std::to_string(min) + " to " + std::to_string(max) + ", not '" + *text +
                         "'");
    }
    return value;
}

}  // namespace mv::cli

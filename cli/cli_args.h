// Parsing of a command's arguments: options ("--name VALUE", "--name=VALUE"
// or flags) and positional arguments, with usage errors as exceptions.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// check: a warning about the checking computer stopped the run.
inline constexpr int kExitWarning = 3;

// A mistake in the command line; the program prints it with the usage hint
// and exits with status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    std::string name;  // without the leading dashes
    bool takesValue = true;
};

class ParsedArgs {
  public:
    ParsedArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    std::optional<std::string> Value(const std::string& name) const;
    std::string ValueOr(const std::string& name, const std::string& fallback) const;
    // An option that must be a whole number within [min, max].
    std::optional<long> Number(const std::string& name, long min, long max) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    bool HelpRequested() const { return help_; }

  private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
    bool help_ = false;
};

}  // namespace mv::cli

// Where the About box's lines come from: the build's version, the operating
// system, the memory and the locale's thousands separator. The program takes
// them from the running system; tests give their own.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace mv::ui {

struct AboutSources {
    std::string fileVersion;  // FileVersionText
    std::string prettyName;   // PRETTY_NAME of os-release
    std::string release;      // the kernel's release (uname)
    std::string version;      // the kernel's version (uname)
    uint64_t physicalMemoryBytes = 0;
    QString groupSeparator;  // the locale's thousands separator
};

AboutSources SystemAboutSources();

// The version as the executable's version resource gives it: four numbers
// joined by "." ("1.0.0.41"), missing ones 0; empty when the build has none
// or it is not made of numbers.
std::string FileVersionText(std::string_view buildVersion);

// "PRETTY_NAME (Linux RELEASE, Build VERSION)".
QString OsLine(const AboutSources& sources);
// "Memory Available to Linux: " and the memory in kilobytes (rounded down)
// with the thousands separated (by "," where the locale has no separator),
// then " Kb".
QString MemoryLine(const AboutSources& sources);

}  // namespace mv::ui

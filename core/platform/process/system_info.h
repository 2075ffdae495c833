// What the About box tells about the machine: the operating system's name
// (PRETTY_NAME of os-release), the kernel's release and version (uname) and
// the total physical memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mv {

struct SystemInfo {
    std::string prettyName;  // "Debian GNU/Linux 12 (bookworm)"
    std::string release;     // "6.1.0-18-amd64"
    std::string version;     // "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)"
    uint64_t physicalMemoryBytes = 0;
};

// The system's own: /etc/os-release (else /usr/lib/os-release), uname and
// sysconf. What cannot be read stays empty (0); a missing PRETTY_NAME is
// "Linux", as os-release prescribes.
SystemInfo ReadSystemInfo();

// The value of PRETTY_NAME in the text of an os-release file: shell-style
// assignments, one per line, the value bare or in single or double quotes
// (backslash escapes inside double quotes and bare values), the last
// assignment winning. Empty when there is none. The result never holds a
// line end or a NUL byte.
std::string OsReleasePrettyName(std::string_view fileText);

}  // namespace mv

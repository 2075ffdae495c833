#include "platform/process/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

namespace mv {

namespace {

// An os-release file is a few hundred bytes; more is not read.
constexpr std::streamsize kMaxOsReleaseSize = std::streamsize{64} * 1024;

std::string_view TrimLeft(std::string_view s) {
    const size_t start = s.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : s.substr(start);
}

// A value as the shell reads it: quoted parts without their quotes, escapes
// undone; a bare part ends at the first blank.
std::string UnquotedValue(std::string_view v) {
    std::string out;
    size_t i = 0;
    while (i < v.size()) {
        const char c = v[i];
        if (c == '\'') {
            const size_t end = v.find('\'', i + 1);
            out.append(v.substr(i + 1, end == std::string_view::npos ? end : end - i - 1));
            i = end == std::string_view::npos ? v.size() : end + 1;
        } else if (c == '"') {
            for (++i; i < v.size() && v[i] != '"'; ++i) {
                if (v[i] == '\\' && i + 1 < v.size() &&
                    std::string_view("\"\\$`").find(v[i + 1]) != std::string_view::npos)
                    ++i;
                out += v[i];
            }
            ++i;
        } else if (c == '\\' && i + 1 < v.size()) {
            out += v[i + 1];
            i += 2;
        } else if (c == ' ' || c == '\t') {
            break;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string ReadHead(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(static_cast<size_t>(kMaxOsReleaseSize), '\0');
    in.read(text.data(), kMaxOsReleaseSize);
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

}  // namespace

std::string OsReleasePrettyName(std::string_view fileText) {
    constexpr std::string_view kKey = "PRETTY_NAME=";
    std::string name;
    size_t pos = 0;
    while (pos <= fileText.size()) {
        size_t end = fileText.find('\n', pos);
        if (end == std::string_view::npos) end = fileText.size();
        const std::string_view line = TrimLeft(fileText.substr(pos, end - pos));
        if (line.substr(0, kKey.size()) == kKey) {
            name = UnquotedValue(line.substr(kKey.size()));
            // A value quoted over several lines is cut at its first line end.
            name = name.substr(0, name.find_first_of(std::string_view("\r\0", 2)));
        }
        pos = end + 1;
    }
    return name;
}

SystemInfo ReadSystemInfo() {
    SystemInfo info;
    std::string osRelease = ReadHead("/etc/os-release");
    if (osRelease.empty()) osRelease = ReadHead("/usr/lib/os-release");
    info.prettyName = OsReleasePrettyName(osRelease);
    if (info.prettyName.empty()) info.prettyName = "Linux";
    utsname names{};
    if (uname(&names) == 0) {
        info.release = names.release;
        info.version = names.version;
    }
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        info.physicalMemoryBytes = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    return info;
}

}  // namespace mv

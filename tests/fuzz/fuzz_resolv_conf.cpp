// Feeds arbitrary text to the reader of the resolver configuration file: it
// must give only IPv4 addresses, one per "nameserver" line at most, joined by
// single blanks.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "input_file.h"
#include "platform/resolver/system_name_servers.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::InputFile file;
    const std::string servers = mv::SystemNameServers(file.Write(data, size));
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t lines = 0;
    for (size_t at = input.find("nameserver"); at != std::string_view::npos;
         at = input.find("nameserver", at + 1))
        ++lines;
    Check(servers.empty() || (servers.front() != ' ' && servers.back() != ' '));
    std::istringstream words(servers);
    size_t count = 0;
    for (std::string address; std::getline(words, address, mv::kPlatformSeparator); ++count) {
        in_addr parsed{};
        Check(inet_pton(AF_INET, address.c_str(), &parsed) == 1);
    }
    Check(count <= lines);
    return 0;
}

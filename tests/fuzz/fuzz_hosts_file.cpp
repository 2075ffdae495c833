// Feeds arbitrary text to the hosts-file reader, then asks it for every word
// of the text: a name it knows has at most one address of each family, at
// least one in all, each of its family, and each address has a name.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

#include "input_file.h"
#include "platform/resolver/hosts_file.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::InputFile file;
    mv::HostsFile hosts(file.Write(data, size));  // a new table reads the file at once
    std::istringstream words(std::string(reinterpret_cast<const char*>(data), size));
    int asked = 0;
    for (std::string word; words >> word && asked < 64; ++asked) {
        const mv::HostAddresses* addresses = hosts.Addresses(word);
        if (addresses == nullptr) continue;
        Check(addresses->ipv4.size() <= 1 && addresses->ipv6.size() <= 1 && !addresses->Empty());
        for (const auto& [family, list] :
             {std::pair{AF_INET, addresses->ipv4}, std::pair{AF_INET6, addresses->ipv6}}) {
            in6_addr parsed{};
            for (const std::string& address : list) {
                Check(inet_pton(family, address.c_str(), &parsed) == 1);
                Check(hosts.NameOf(address) != nullptr);
            }
        }
    }
    return 0;
}

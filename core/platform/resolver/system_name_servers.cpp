#include "platform/resolver/system_name_servers.h"

#include <arpa/inet.h>

#include <fstream>
#include <sstream>

namespace mv {

std::string SystemNameServers(const std::string& path) {
    std::ifstream in(path);
    std::string result;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string address;
        if (!(words >> keyword >> address) || keyword != "nameserver") continue;
        in_addr parsed{};
        // The DNS client speaks IPv4 only; IPv6 servers cannot be asked.
        if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) continue;
        if (!result.empty()) result += kPlatformSeparator;
        result += address;
    }
    return result;
}

}  // namespace mv

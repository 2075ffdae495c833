#include "platform/resolver/host_addresses.h"

#include <arpa/inet.h>

namespace mv {

std::string HostAddresses::Preferred(bool preferIPv6) const {
    const auto& first = preferIPv6 ? ipv6 : ipv4;
    const auto& second = preferIPv6 ? ipv4 : ipv6;
    if (!first.empty()) return first.front();
    return second.empty() ? std::string() : second.front();
}

std::vector<std::string> HostAddresses::Ordered(bool preferIPv6) const {
    std::vector<std::string> all = preferIPv6 ? ipv6 : ipv4;
    const auto& second = preferIPv6 ? ipv4 : ipv6;
    all.insert(all.end(), second.begin(), second.end());
    return all;
}

bool HostAddresses::AddNumeric(const std::string& text) {
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        char out[INET_ADDRSTRLEN];
        ipv4.emplace_back(inet_ntop(AF_INET, &v4, out, sizeof out));
        return true;
    }
    std::string v6 = CanonicalIPv6(text);
    if (v6.empty()) return false;
    ipv6.push_back(std::move(v6));
    return true;
}

std::string CanonicalIPv6(const std::string& text) {
    in6_addr parsed{};
    if (inet_pton(AF_INET6, text.c_str(), &parsed) != 1) return {};
    char out[INET6_ADDRSTRLEN];
    return inet_ntop(AF_INET6, &parsed, out, sizeof out);
}

}  // namespace mv

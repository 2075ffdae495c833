#include "project/preflight/outgoing_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace mv {

namespace {

bool Parse(const std::string& text, uint32_t& hostOrder) {
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1) return false;
    hostOrder = ntohl(addr.s_addr);
    return true;
}

bool InNetwork(uint32_t address, uint32_t network, int prefix) {
    const uint32_t mask = prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix);
    return (address & mask) == network;
}

}  // namespace

std::string LocalAddressTowards(const std::string& dottedQuad) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(25);
    if (inet_pton(AF_INET, dottedQuad.c_str(), &peer.sin_addr) != 1) return {};
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    std::string local;
    sockaddr_in self{};
    socklen_t length = sizeof self;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&self), &length) == 0) {
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &self.sin_addr, text, sizeof text) != nullptr) local = text;
    }
    close(fd);
    return local;
}

bool IsDottedQuad(const std::string& text) {
    uint32_t ignored = 0;
    return Parse(text, ignored);
}

bool IsPrivateAddress(const std::string& dottedQuad) {
    uint32_t a = 0;
    if (!Parse(dottedQuad, a)) return false;
    struct Network {
        uint32_t base;
        int prefix;
    };
    static constexpr Network kUnrouted[] = {
        {0x00000000, 8},   // "this network"
        {0x0A000000, 8},   // 10/8
        {0x64400000, 10},  // 100.64/10, behind a provider's router
        {0x7F000000, 8},   // loopback
        {0xA9FE0000, 16},  // link-local
        {0xAC100000, 12},  // 172.16/12
        {0xC0A80000, 16},  // 192.168/16
    };
    for (const Network& n : kUnrouted)
        if (InNetwork(a, n.base, n.prefix)) return true;
    return false;
}

std::string ReversedOctets(const std::string& dottedQuad) {
    uint32_t a = 0;
    if (!Parse(dottedQuad, a)) return {};
    return std::to_string(a & 0xFF) + "." + std::to_string(a >> 8 & 0xFF) + "." +
           std::to_string(a >> 16 & 0xFF) + "." + std::to_string(a >> 24);
}

}  // namespace mv

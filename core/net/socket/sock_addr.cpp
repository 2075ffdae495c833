#include "net/socket/sock_addr.h"

#include <arpa/inet.h>

#include <cstring>

namespace mv {

SockAddr::SockAddr() {
    u_.v4.sin_family = AF_INET;
}

std::optional<SockAddr> SockAddr::FromNumeric(const std::string& text) {
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return FromIPv4(v4);
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) return FromIPv6(v6);
    return std::nullopt;
}

SockAddr SockAddr::FromIPv4(in_addr address, uint16_t port) {
    SockAddr a;
    a.u_.v4.sin_addr = address;
    a.SetPort(port);
    return a;
}

SockAddr SockAddr::FromIPv6(const in6_addr& address, uint16_t port) {
    SockAddr a;
    a.u_.v6 = sockaddr_in6{};
    a.u_.v6.sin6_family = AF_INET6;
    a.u_.v6.sin6_addr = address;
    a.SetPort(port);
    return a;
}

SockAddr SockAddr::FromSystem(const sockaddr_storage& address) {
    SockAddr a;
    if (address.ss_family == AF_INET6) {
        std::memcpy(&a.u_.v6, &address, sizeof a.u_.v6);
    } else if (address.ss_family == AF_INET) {
        std::memcpy(&a.u_.v4, &address, sizeof a.u_.v4);
    }
    return a;
}

socklen_t SockAddr::Size() const {
    return IsIPv6() ? sizeof u_.v6 : sizeof u_.v4;
}

uint16_t SockAddr::Port() const {
    return ntohs(IsIPv6() ? u_.v6.sin6_port : u_.v4.sin_port);
}

void SockAddr::SetPort(uint16_t port) {
    (IsIPv6() ? u_.v6.sin6_port : u_.v4.sin_port) = htons(port);
}

void SockAddr::SetHost(const SockAddr& other) {
    const uint16_t port = Port();
    *this = other;
    SetPort(port);
}

std::string SockAddr::HostText() const {
    char text[INET6_ADDRSTRLEN] = "";
    if (IsIPv6()) {
        inet_ntop(AF_INET6, &u_.v6.sin6_addr, text, sizeof text);
    } else {
        inet_ntop(AF_INET, &u_.v4.sin_addr, text, sizeof text);
    }
    return text;
}

bool SockAddr::SameEndpoint(const SockAddr& other) const {
    if (Family() != other.Family() || Port() != other.Port()) return false;
    return IsIPv6() ? std::memcmp(&u_.v6.sin6_addr, &other.u_.v6.sin6_addr, 16) == 0
                    : u_.v4.sin_addr.s_addr == other.u_.v4.sin_addr.s_addr;
}

}  // namespace mv

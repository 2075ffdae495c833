// A socket address of either family, IPv4 or IPv6: what connect, bind,
// sendto and accept take. A new one is IPv4, any address, port 0.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>

namespace mv {

class SockAddr {
  public:
    SockAddr();
    // A dotted quad (four numbers, as inet_pton reads them) or an IPv6
    // address; port 0.
    static std::optional<SockAddr> FromNumeric(const std::string& text);
    static SockAddr FromIPv4(in_addr address, uint16_t port = 0);
    static SockAddr FromIPv6(const in6_addr& address, uint16_t port = 0);
    // What a system call filled in (the family says which form it is).
    static SockAddr FromSystem(const sockaddr_storage& address);

    int Family() const { return u_.any.sa_family; }
    bool IsIPv6() const { return Family() == AF_INET6; }
    const sockaddr* Get() const { return &u_.any; }
    socklen_t Size() const;
    const sockaddr_in& V4() const { return u_.v4; }
    const sockaddr_in6& V6() const { return u_.v6; }

    uint16_t Port() const;  // host order
    void SetPort(uint16_t port);
    // Takes the family and address of `other`, keeping this port.
    void SetHost(const SockAddr& other);
    // The address as text: a dotted quad or canonical IPv6 text.
    std::string HostText() const;
    // The same family, address and port.
    bool SameEndpoint(const SockAddr& other) const;

  private:
    union {
        sockaddr any;
        sockaddr_in v4;
        sockaddr_in6 v6;
    } u_{};
};

}  // namespace mv

// The addresses a host name has, by family, so that a caller can prefer IPv4
// (the program's rule) or IPv6 and fall back to the other family.
#pragma once

#include <string>
#include <vector>

namespace mv {

// Which addresses of a host name a connection may take.
enum class HostFamilies {
    kIPv4Only,        // the default: a name without an IPv4 address is not found (11004)
    kIPv6WhenNoIPv4,  // IPv4; IPv6 for a name that has no IPv4 address
    kIPv6First,       // IPv6; IPv4 for a name that has no IPv6 address
};

struct HostAddresses {
    std::vector<std::string> ipv4;  // dotted quads, in answer order
    std::vector<std::string> ipv6;  // RFC 5952 text ("2001:db8::1"), in answer order

    bool Empty() const { return ipv4.empty() && ipv6.empty(); }
    // The first address of the preferred family, else the first of the other
    // one; empty when there is none.
    std::string Preferred(bool preferIPv6) const;
    // Every address, those of the preferred family first.
    std::vector<std::string> Ordered(bool preferIPv6) const;
    // Files the numeric address `text` under its family; false when it is
    // neither a dotted quad nor an IPv6 address.
    bool AddNumeric(const std::string& text);

    bool operator==(const HostAddresses&) const = default;
};

// The canonical text of a numeric IPv6 address, or empty when `text` is none.
std::string CanonicalIPv6(const std::string& text);

}  // namespace mv

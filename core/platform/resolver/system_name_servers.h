// The name servers the system is configured with, for the dispatcher's DNS
// server discovery.
#pragma once

#include <string>

namespace mv {

// The IPv4 addresses of the `nameserver` lines of the resolver configuration
// file, in file order, joined by the platform separator (a blank). Empty when
// the file is missing or names no IPv4 server.
std::string SystemNameServers(const std::string& path = "/etc/resolv.conf");

// Separates the entries of a list of servers (and other lists kept as text).
inline constexpr char kPlatformSeparator = ' ';

}  // namespace mv

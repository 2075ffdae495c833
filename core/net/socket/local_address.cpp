#include "net/socket/local_address.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <sstream>
#include <vector>

#include "net/socket/sock_addr.h"

namespace mv {

namespace {

LocalAddressFault CheckOne(const SockAddr& local) {
    // The kernel lets a socket bind to these, but no connection leaves from them.
    if (local.IsIPv6() ? IN6_IS_ADDR_MULTICAST(&local.V6().sin6_addr)
                       : IN_MULTICAST(ntohl(local.V4().sin_addr.s_addr)) ||
                             local.V4().sin_addr.s_addr == INADDR_BROADCAST)
        return LocalAddressFault::kNotLocal;
    const int fd = socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return LocalAddressFault::kNone;  // cannot tell: the connections will
    const bool bound = bind(fd, local.Get(), local.Size()) == 0;
    const int error = errno;
    close(fd);
    // A link-local IPv6 address without its interface is refused as invalid.
    const bool notHere = error == EADDRNOTAVAIL || (local.IsIPv6() && error == EINVAL);
    return bound || !notHere ? LocalAddressFault::kNone : LocalAddressFault::kNotLocal;
}

}  // namespace

LocalAddressFault CheckLocalAddress(const std::string& text) {
    std::istringstream words(text);
    std::optional<SockAddr> v4;
    std::optional<SockAddr> v6;
    for (std::string word; words >> word;) {
        // inet_pton takes only the four dotted numbers, not "10.1" or a hex form.
        const std::optional<SockAddr> address = SockAddr::FromNumeric(word);
        if (!address) return LocalAddressFault::kNotAnAddress;
        std::optional<SockAddr>& family = address->IsIPv6() ? v6 : v4;
        if (family) return LocalAddressFault::kNotAnAddress;
        family = address;
    }
    for (const auto& address : {v4, v6}) {
        if (address && CheckOne(*address) == LocalAddressFault::kNotLocal)
            return LocalAddressFault::kNotLocal;
    }
    return LocalAddressFault::kNone;
}

}  // namespace mv

#include "net/socket/local_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/text/text_trim.h"

namespace mv {

LocalAddressFault CheckLocalAddress(const std::string& text) {
    const std::string address = TrimBlanks(text);
    if (address.empty()) return LocalAddressFault::kNone;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    // inet_pton takes only the four dotted numbers, not "10.1" or a hex form.
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
        return LocalAddressFault::kNotAnAddress;
    // The kernel lets a socket bind to these, but no connection leaves from them.
    const uint32_t host = ntohl(local.sin_addr.s_addr);
    if (IN_MULTICAST(host) || host == INADDR_BROADCAST) return LocalAddressFault::kNotLocal;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return LocalAddressFault::kNone;  // cannot tell: the connections will
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    const int error = errno;
    close(fd);
    return bound || error != EADDRNOTAVAIL ? LocalAddressFault::kNone
                                           : LocalAddressFault::kNotLocal;
}

}  // namespace mv

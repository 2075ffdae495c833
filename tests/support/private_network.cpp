#include "private_network.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mv::test {

bool EnterPrivateNetwork(std::string* why) {
    if (unshare(CLONE_NEWNET) != 0) {
        if (why) *why = std::string("no private network namespace: ") + std::strerror(errno);
        return false;
    }
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = s >= 0 && ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
    ok = ok && ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    if (s >= 0) close(s);
    if (!ok && why)
        *why = std::string("cannot bring up the loopback device: ") + std::strerror(errno);
    return ok;
}

}  // namespace mv::test

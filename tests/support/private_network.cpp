#include "private_network.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
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

std::string InPrivateNetworkChild(const std::function<std::string()>& body, bool* skipped) {
    constexpr int kSkip = 77;
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        close(fds[0]);
        std::string why;
        int code = kSkip;
        if (EnterPrivateNetwork(&why)) {
            why = body();
            code = why.empty() ? 0 : 1;
        }
        [[maybe_unused]] const ssize_t n = write(fds[1], why.data(), why.size());
        _exit(code);
    }
    close(fds[1]);
    std::string message;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        message.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    *skipped = WIFEXITED(status) && WEXITSTATUS(status) == kSkip;
    if (!WIFEXITED(status)) return "the child ended by a signal\n" + message;
    if (WEXITSTATUS(status) != 0 && message.empty()) return "the child failed";
    return message;
}

std::string NftPath() {
    for (const char* path : {"/usr/sbin/nft", "/sbin/nft"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

}  // namespace mv::test

#include "kernel_probes.h"

#include <arpa/inet.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace mv::test {
namespace {

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_family == AF_INET && b.sin_family == AF_INET && a.sin_port == b.sin_port &&
           a.sin_addr.s_addr == b.sin_addr.s_addr;
}

bool Endpoints(int fd, sockaddr_in& local, sockaddr_in& remote) {
    socklen_t length = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return false;
    length = sizeof remote;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &length) == 0;
}

}  // namespace

uint64_t BytesTaken(int fd) {
    // Bytes may arrive between the two questions; the count of waiting bytes
    // is asked before and after, and only an answer that did not move is used.
    for (;;) {
        tcp_info info{};
        socklen_t length = sizeof info;
        int before = 0;
        int after = 0;
        if (ioctl(fd, FIONREAD, &before) != 0 ||
            getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
            ioctl(fd, FIONREAD, &after) != 0)
            return 0;
        if (before == after) return info.tcpi_bytes_received - static_cast<uint64_t>(after);
    }
}

int LocalPeerOf(int fd) {
    sockaddr_in local{};
    sockaddr_in remote{};
    if (!Endpoints(fd, local, remote)) return -1;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        const int other = std::atoi(entry.path().filename().c_str());
        sockaddr_in otherLocal{};
        sockaddr_in otherRemote{};
        if (other != fd && Endpoints(other, otherLocal, otherRemote) &&
            SameEndpoint(otherLocal, remote) && SameEndpoint(otherRemote, local))
            return other;
    }
    return -1;
}

bool WaitTakenByLocalPeer(int fd, std::chrono::milliseconds limit) {
    const int peer = LocalPeerOf(fd);
    if (peer < 0) return false;
    // Nothing unacknowledged on our side, nothing unread on theirs.
    return PollUntil(
        [&] {
            int unsent = 0;
            int unread = 0;
            return ioctl(fd, TIOCOUTQ, &unsent) == 0 && unsent == 0 &&
                   ioctl(peer, FIONREAD, &unread) == 0 && unread == 0;
        },
        limit);
}

int EstablishedConnectionsTo(const std::string& address, uint16_t port) {
    in_addr a{};
    if (inet_pton(AF_INET, address.c_str(), &a) != 1) return 0;
    // The kernel prints the address as the 32-bit word it stores, port in hex.
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "%08X:%04X", a.s_addr, port);
    constexpr const char* kEstablished = "01";
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    int count = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (remote == wanted && state == kEstablished) ++count;
    }
    return count;
}

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool ThreadSleeps(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // "tid (name) S ...": the state follows the name, which may hold blanks.
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

bool WaitReadable(int fd, std::chrono::milliseconds limit) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(limit.count())) > 0;
}

bool Ipv6LoopbackUsable() {
    const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_addr = in6addr_loopback;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    close(fd);
    return bound;
}

}  // namespace mv::test

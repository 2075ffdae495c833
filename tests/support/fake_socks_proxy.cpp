#include "fake_socks_proxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "kernel_probes.h"

namespace mv::test {

namespace {

constexpr int kWaitMs = 5000;

void SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

int ConnectTarget(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = host.find(':') != std::string::npos ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &result) != 0 ||
        result == nullptr) {
        return -1;
    }
    sockaddr_storage addr{};
    std::memcpy(&addr, result->ai_addr, result->ai_addrlen);
    const socklen_t size = result->ai_addrlen;
    freeaddrinfo(result);
    const int fd = socket(hints.ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), size) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

// The bound end of the target connection: 4 address bytes and 2 port bytes.
// Level 5's address type, address and port of the proxy's end towards the target.
std::string BoundEnd(int target) {
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    getsockname(target, reinterpret_cast<sockaddr*>(&local), &len);
    if (local.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(local);
        std::string out(1, '\x04');
        out.append(reinterpret_cast<const char*>(&v6.sin6_addr), 16);
        return out.append(reinterpret_cast<const char*>(&v6.sin6_port), 2);
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(local);
    std::string out(1, '\x01');
    out.append(reinterpret_cast<const char*>(&v4.sin_addr), 4);
    return out.append(reinterpret_cast<const char*>(&v4.sin_port), 2);
}

// The target's first bytes, if any come within a short while.
std::string FirstBytes(int target) {
    pollfd p{target, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) {
        return {};
    }
    char buf[4096];
    const ssize_t n = recv(target, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace

FakeSocksProxy::FakeSocksProxy(Options options, int connections) : options_(std::move(options)) {
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 16) != 0) {
        throw std::runtime_error("fake proxy cannot listen");
    }
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    received_.resize(static_cast<size_t>(connections));
    targets_.resize(static_cast<size_t>(connections));
    thread_ = std::thread([this, connections] {
        for (int i = 0; i < connections && !stop_; ++i) {
            pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
            if (poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN)) {
                return;
            }
            const int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) {
                return;
            }
            Serve(fd, i);
            close(fd);
        }
    });
}

FakeSocksProxy::~FakeSocksProxy() {
    stop_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(stopFd_, &one, sizeof one);
    Join();
    if (listenFd_ >= 0) {
        close(listenFd_);
    }
    close(stopFd_);
}

void FakeSocksProxy::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string FakeSocksProxy::Received(int index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.at(static_cast<size_t>(index));
}

std::string FakeSocksProxy::Target(int index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_.at(static_cast<size_t>(index));
}

void FakeSocksProxy::Record(int index, const std::string& bytes, const std::string* target) {
    std::lock_guard<std::mutex> lock(mutex_);
    received_[static_cast<size_t>(index)] += bytes;
    if (target != nullptr) {
        targets_[static_cast<size_t>(index)] = *target;
    }
}

bool FakeSocksProxy::ReadExact(int fd, int index, void* buffer, size_t n) {
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < n) {
        pollfd w[2] = {{fd, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (poll(w, 2, kWaitMs) <= 0 || (w[1].revents & POLLIN)) {
            return false;
        }
        const ssize_t got = recv(fd, p + done, n - done, 0);
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    Record(index, std::string(p, n), nullptr);
    return true;
}

bool FakeSocksProxy::ReadZeroTerminated(int fd, int index, std::string& text) {
    text.clear();
    for (;;) {
        char c = 0;
        if (!ReadExact(fd, index, &c, 1)) {
            return false;
        }
        if (c == '\0') {
            return true;
        }
        if (text.size() > 1024) {
            return false;
        }
        text.push_back(c);
    }
}

bool FakeSocksProxy::SendScript(int fd, const std::vector<std::string>& pieces) {
    for (size_t i = 0; i < pieces.size(); ++i) {
        // Each piece comes in a read of its own: the next one goes only once
        // the client, a socket of this process, has read the one before.
        if (i > 0) {
            WaitTakenByLocalPeer(fd);
        }
        SendAll(fd, pieces[i]);
    }
    return options_.continueAfterScript;
}

void FakeSocksProxy::Serve(int fd, int index) {
    int target = -1;
    if (Handshake(fd, index, target) && target >= 0) {
        Relay(fd, target);
    }
    if (target >= 0) {
        close(target);
    }
}

bool FakeSocksProxy::Handshake(int fd, int index, int& target) {
    unsigned char version = 0;
    if (!ReadExact(fd, index, &version, 1)) {
        return false;
    }
    if (version == 4) {
        return Level4(fd, index, target);
    }
    if (version == 5) {
        return Level5(fd, index, target);
    }
    return false;
}

bool FakeSocksProxy::Level4(int fd, int index, int& target) {
    unsigned char head[7];  // command, port, address
    std::string user, host;
    if (!ReadExact(fd, index, head, sizeof head) || !ReadZeroTerminated(fd, index, user)) {
        return false;
    }
    const uint16_t port = static_cast<uint16_t>((head[1] << 8) | head[2]);
    const bool named = head[3] == 0 && head[4] == 0 && head[5] == 0 && head[6] != 0;
    if (named) {
        if (!ReadZeroTerminated(fd, index, host)) {
            return false;
        }
    } else {
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, head + 3, text, sizeof text);
        host = text;
    }
    const std::string where = host + ":" + std::to_string(port);
    Record(index, {}, &where);
    const std::string portAddr(reinterpret_cast<const char*>(head + 1), 6);
    if (!options_.user.empty() && user != options_.user) {
        SendAll(fd, Bytes({0, 93}) + portAddr);
        return false;
    }
    if (options_.connectStatus >= 0) {
        SendAll(fd, Bytes({0, options_.connectStatus}) + portAddr);
        return false;
    }
    target = ConnectTarget(host, port);
    if (options_.connectReply) {
        return SendScript(fd, *options_.connectReply);
    }
    if (target < 0) {
        SendAll(fd, Bytes({0, 91}) + portAddr);
        return false;
    }
    const std::string extra = options_.joinFirstTargetBytes ? FirstBytes(target) : std::string();
    SendAll(fd, Bytes({0, 90}) + portAddr + extra);
    return true;
}

bool FakeSocksProxy::Level5(int fd, int index, int& target) {
    unsigned char count = 0;
    std::string methods;
    if (!ReadExact(fd, index, &count, 1)) {
        return false;
    }
    methods.resize(count);
    if (count > 0 && !ReadExact(fd, index, methods.data(), count)) {
        return false;
    }
    const bool wantAuth = !options_.user.empty();
    if (options_.methodReply) {
        if (!SendScript(fd, *options_.methodReply)) {
            return false;
        }
    } else if (wantAuth && methods.find('\x02') == std::string::npos) {
        SendAll(fd, Bytes({5, 0xFF}));
        return false;
    } else {
        SendAll(fd, Bytes({5, wantAuth ? 2 : 0}));
    }
    if (wantAuth) {
        unsigned char ver = 0, len = 0;
        std::string user, password;
        if (!ReadExact(fd, index, &ver, 1) || !ReadExact(fd, index, &len, 1)) {
            return false;
        }
        user.resize(len);
        if (len > 0 && !ReadExact(fd, index, user.data(), len)) {
            return false;
        }
        if (!ReadExact(fd, index, &len, 1)) {
            return false;
        }
        password.resize(len);
        if (len > 0 && !ReadExact(fd, index, password.data(), len)) {
            return false;
        }
        if (options_.authReply) {
            if (!SendScript(fd, *options_.authReply)) {
                return false;
            }
        } else {
            const bool ok = ver == 1 && user == options_.user && password == options_.password;
            SendAll(fd, Bytes({1, ok ? 0 : 1}));
            if (!ok) {
                return false;
            }
        }
    }
    unsigned char head[4];
    if (!ReadExact(fd, index, head, sizeof head)) {
        return false;
    }
    std::string host;
    if (head[3] == 1 || head[3] == 4) {  // an IPv4 or an IPv6 address
        const bool v6 = head[3] == 4;
        unsigned char a[16];
        if (!ReadExact(fd, index, a, v6 ? 16 : 4)) {
            return false;
        }
        char text[INET6_ADDRSTRLEN];
        inet_ntop(v6 ? AF_INET6 : AF_INET, a, text, sizeof text);
        host = text;
    } else if (head[3] == 3) {
        unsigned char len = 0;
        if (!ReadExact(fd, index, &len, 1)) {
            return false;
        }
        host.resize(len);
        if (len > 0 && !ReadExact(fd, index, host.data(), len)) {
            return false;
        }
    } else {
        return false;
    }
    unsigned char p[2];
    if (!ReadExact(fd, index, p, 2)) {
        return false;
    }
    const uint16_t port = static_cast<uint16_t>((p[0] << 8) | p[1]);
    const std::string where = host + ":" + std::to_string(port);
    Record(index, {}, &where);
    if (options_.connectStatus >= 0) {
        SendAll(fd, Bytes({5, options_.connectStatus, 0, 1, 0, 0, 0, 0, 0, 0}));
        return false;
    }
    target = ConnectTarget(host, port);
    if (options_.connectReply) {
        return SendScript(fd, *options_.connectReply);
    }
    if (target < 0) {
        SendAll(fd, Bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0}));
        return false;
    }
    const std::string extra = options_.joinFirstTargetBytes ? FirstBytes(target) : std::string();
    SendAll(fd, Bytes({5, 0, 0}) + BoundEnd(target) + extra);
    return true;
}

void FakeSocksProxy::Relay(int client, int target) {
    char buf[16384];
    for (;;) {
        pollfd p[3] = {{client, POLLIN, 0}, {target, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (poll(p, 3, 10000) <= 0 || (p[2].revents & POLLIN)) {
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if ((p[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t n = recv(p[i].fd, buf, sizeof buf, 0);
            if (n <= 0) {
                return;
            }
            SendAll(p[1 - i].fd, std::string(buf, static_cast<size_t>(n)));
        }
    }
}

}  // namespace mv::test

#include "scripted_tcp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "kernel_probes.h"

namespace mv::test {

TcpConnection::~TcpConnection() {
    Close();
}

void TcpConnection::Send(const std::string& bytes) {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

bool TcpConnection::SendPiece(const std::string& bytes, int timeoutMs) {
    Send(bytes);
    return WaitTakenByLocalPeer(fd_, std::chrono::milliseconds(timeoutMs));
}

bool TcpConnection::WaitReadable(int timeoutMs) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (poll(p, 2, timeoutMs) <= 0) return false;
    return (p[1].revents & POLLIN) == 0;  // the server is shutting down
}

std::string TcpConnection::ReadLine(bool* ok, int timeoutMs) {
    for (;;) {
        const auto end = pending_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            if (ok) *ok = true;
            return line;
        }
        if (fd_ < 0 || !WaitReadable(timeoutMs)) break;
        char buf[4096];
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) break;
        pending_.append(buf, static_cast<size_t>(n));
    }
    if (ok) *ok = false;
    return {};
}

std::string TcpConnection::ReadSome(int timeoutMs, size_t max) {
    std::string out = std::move(pending_);
    pending_.clear();
    if (out.empty() && fd_ >= 0 && WaitReadable(timeoutMs)) {
        std::string buf(max, '\0');
        const ssize_t n = recv(fd_, buf.data(), max, 0);
        if (n > 0) out.assign(buf.data(), static_cast<size_t>(n));
    }
    return out;
}

bool TcpConnection::WaitForClose(int timeoutMs) {
    while (fd_ >= 0 && WaitReadable(timeoutMs)) {
        char buf[4096];
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) return true;
        pending_.append(buf, static_cast<size_t>(n));
    }
    return false;
}

void TcpConnection::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void TcpConnection::Reset() {
    if (fd_ < 0) return;
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

ScriptedTcpServer::ScriptedTcpServer(Script script, int connections) {
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 16) != 0)
        throw std::runtime_error("fake server cannot listen");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this, script = std::move(script), connections] {
        for (int i = 0; i < connections && !stop_; ++i) {
            pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
            if (poll(p, 2, -1) <= 0 || stop_) return;
            const int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            ++accepted_;
            TcpConnection conn(fd, stopFd_);
            script(conn, i);
        }
    });
}

void ScriptedTcpServer::Join() {
    if (thread_.joinable()) thread_.join();
}

ScriptedTcpServer::~ScriptedTcpServer() {
    stop_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(stopFd_, &one, sizeof one);
    Join();
    if (listenFd_ >= 0) close(listenFd_);
    close(stopFd_);
}

uint16_t UnusedTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("bind failed");
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);  // nothing listens there now
    return ntohs(addr.sin_port);
}

}  // namespace mv::test

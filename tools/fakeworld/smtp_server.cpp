#include "smtp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace mv::fakeworld {

namespace {

constexpr int kBacklog = 4096;
constexpr int kAcceptBatch = 128;
constexpr uint64_t kListenerPauseMs = 50;
constexpr uint64_t kDrainLimitMs = 2000;

bool Delayed(const HostRule& host) {
    return host.delayMs > 0 || host.trickleMs > 0 || host.dripMs > 0;
}

// A non-blocking listening socket at address:port (host byte order), or at
// [::1]:port for `ipv6`; -1 with errno set.
int ListenAt(uint32_t address, uint16_t port, bool ipv6 = false) {
    const int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage storage{};
    socklen_t size = sizeof(sockaddr_in);
    if (ipv6) {
        auto& sa = reinterpret_cast<sockaddr_in6&>(storage);
        sa.sin6_family = AF_INET6;
        sa.sin6_addr = in6addr_loopback;
        sa.sin6_port = htons(port);
        size = sizeof sa;
    } else {
        auto& sa = reinterpret_cast<sockaddr_in&>(storage);
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(address);
        sa.sin_port = htons(port);
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), size) != 0 || listen(fd, kBacklog) != 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

uint16_t BoundPort(int fd) {
    sockaddr_storage sa{};
    socklen_t length = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
    return ntohs(sa.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(sa).sin6_port
                                          : reinterpret_cast<sockaddr_in&>(sa).sin_port);
}

}  // namespace

SmtpServer::SmtpServer(EventLoop& loop, const World& world, Stats& stats)
    : loop_(loop),
      world_(world),
      stats_(stats),
      greylisted_(world.hosts.size()),
      openPerHost_(world.hosts.size()),
      lastAcceptMs_(world.hosts.size()) {}

SmtpServer::~SmtpServer() {
    for (auto& c : connections_) {
        if (c && c->fd >= 0) {
            Close(*c);
        }
    }
    CloseListeners();
}

void SmtpServer::CloseListeners() {
    for (const Listener& listener : listeners_) {
        loop_.Remove(listener.fd);
        close(listener.fd);
        listenerByFd_[static_cast<size_t>(listener.fd)] = -1;
    }
    listeners_.clear();
}

uint16_t SmtpServer::Listen(uint16_t port) {
    CloseListeners();
    ipv6Listening_ = false;
    for (size_t i = 0; i < world_.hosts.size(); ++i) {
        const HostRule& host = world_.hosts[i];
        if (!host.Listens()) {
            continue;
        }
        const int fd = ListenAt(host.address, port, host.ipv6);
        // A computer without IPv6 serves the other hosts all the same.
        if (fd < 0 && host.ipv6 && (errno == EADDRNOTAVAIL || errno == EAFNOSUPPORT)) {
            continue;
        }
        ipv6Listening_ = ipv6Listening_ || (fd >= 0 && host.ipv6);
        if (fd < 0) {
            const int error = errno;
            CloseListeners();
            if (error == EADDRINUSE && port != 0) {
                return 0;
            }
            throw std::system_error(error, std::generic_category(), "listen for SMTP");
        }
        if (port == 0) {
            port = BoundPort(fd);
        }
        const auto index = static_cast<size_t>(fd);
        if (index >= listenerByFd_.size()) {
            listenerByFd_.resize(index + 64, -1);
        }
        listenerByFd_[index] = static_cast<int>(listeners_.size());
        listeners_.push_back({fd, i});
        loop_.Add(fd, EPOLLIN, this);
    }
    return port;
}

void SmtpServer::OnEvent(int fd, uint32_t events) {
    const auto index = static_cast<size_t>(fd);
    if (index < listenerByFd_.size() && listenerByFd_[index] >= 0) {
        Accept(listeners_[static_cast<size_t>(listenerByFd_[index])]);
        return;
    }
    Connection& c = *connections_[index];
    if ((events & (EPOLLHUP | EPOLLERR)) != 0) {
        Close(c);  // reset or gone both ways: nobody is left to answer
    } else if (c.draining) {
        Drain(c);
    } else if ((events & EPOLLOUT) != 0) {
        Pump(c);
    } else {
        Read(c);
    }
}

void SmtpServer::OnTimer(int fd) {
    const auto index = static_cast<size_t>(fd);
    if (index < listenerByFd_.size() && listenerByFd_[index] >= 0) {
        PauseListeners(false);
        return;
    }
    Connection& c = *connections_[index];
    if (c.draining) {
        if (EventLoop::NowMs() >= c.sendAt) {
            Close(c);
        }
        return;
    }
    if (c.fd >= 0 && c.outPosition < c.out.size() && EventLoop::NowMs() >= c.sendAt) {
        Pump(c);
    }
}

void SmtpServer::Accept(const Listener& listener) {
    for (int i = 0; i < kAcceptBatch; ++i) {
        sockaddr_storage client{};
        socklen_t clientLength = sizeof client;
        const int fd = accept4(listener.fd, reinterpret_cast<sockaddr*>(&client), &clientLength,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: stop accepting for a moment instead of
                // spinning on a listener that stays readable.
                PauseListeners(true);
                loop_.AddTimer(listener.fd, EventLoop::NowMs() + kListenerPauseMs);
            }
            return;  // EAGAIN, or a connection that was reset before it was accepted
        }
        ++stats_.connections;
        const auto index = static_cast<size_t>(fd);
        if (index >= connections_.size()) {
            connections_.resize(index + 1024);
        }
        if (!connections_[index]) {
            connections_[index] = std::make_unique<Connection>();
        }
        Connection& c = *connections_[index];
        const HostRule& host = world_.hosts[listener.host];
        c.fd = fd;
        c.host = &host;
        c.hostIndex = listener.host;
        const bool admitted = Admit(listener.host, client);
        c.inLength = 0;
        c.out.clear();
        c.outPosition = 0;
        c.closing = c.lingering = c.draining = c.peerClosed = false;
        c.sendAt = EventLoop::NowMs() + host.delayMs;
        c.session.Start(&host, &greylisted_[listener.host], &stats_);
        if (host.trickleMs > 0) {
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
        if (admitted) {
            c.session.Greet(c.out);
        } else {
            c.out = "421 4.7.0 " + std::string(GreetingName(host)) +
                    " Error: too many connections from this host\r\n";
            c.closing = true;
        }
        c.interest = EPOLLIN;
        loop_.Add(fd, EPOLLIN, this);
        Pump(c);
    }
}

bool SmtpServer::Admit(size_t host, const sockaddr_storage& client) {
    const uint64_t now = EventLoop::NowMs();
    if (lastAcceptMs_[host] != 0) {
        const auto gap = static_cast<int64_t>(now - lastAcceptMs_[host]);
        if (stats_.minGapMs < 0 || gap < stats_.minGapMs) {
            stats_.minGapMs = gap;
        }
    }
    lastAcceptMs_[host] = now;
    char text[INET6_ADDRSTRLEN] = "";
    if (client.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(client).sin6_addr, text,
                  sizeof text);
    } else {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(client).sin_addr, text,
                  sizeof text);
    }
    const std::string address = text;
    const std::string listed = "," + stats_.clients + ",";
    if (listed.find("," + address + ",") == std::string::npos &&
        std::count(stats_.clients.begin(), stats_.clients.end(), ',') < 15) {
        stats_.clients += (stats_.clients.empty() ? "" : ",") + address;
    }
    const uint32_t limit = world_.hosts[host].maxConnections;
    const bool admitted = limit == 0 || openPerHost_[host] < limit;
    ++openPerHost_[host];
    stats_.peakOpen = std::max<uint64_t>(stats_.peakOpen, openPerHost_[host]);
    if (!admitted) {
        ++stats_.tooMany;
    }
    return admitted;
}

void SmtpServer::PauseListeners(bool pause) {
    if (pause == listenersPaused_) {
        return;
    }
    listenersPaused_ = pause;
    for (const Listener& listener : listeners_) {
        loop_.Modify(listener.fd, pause ? 0u : static_cast<uint32_t>(EPOLLIN));
    }
}

void SmtpServer::Read(Connection& c) {
    if (c.inLength < sizeof c.in) {
        const ssize_t n = recv(c.fd, c.in + c.inLength, sizeof c.in - c.inLength, 0);
        if (n > 0) {
            c.inLength += static_cast<size_t>(n);
        } else if (n == 0) {
            c.peerClosed = true;  // answer what came before the end, then close
        } else if (errno != EAGAIN && errno != EINTR) {
            return Close(c);
        }
    }
    Pump(c);
}

// Handles buffered command lines and sends the replies until it has to wait:
// for more input, for a delayed host's timer, or for the socket to drain.
void SmtpServer::Pump(Connection& c) {
    for (;;) {
        if (c.outPosition < c.out.size()) {
            if (Delayed(*c.host) && EventLoop::NowMs() < c.sendAt) {
                SetInterest(c, 0);
                loop_.AddTimer(c.fd, c.sendAt);
                return;
            }
            if (!SendSome(c)) {
                return;
            }
            continue;
        }
        c.out.clear();
        c.outPosition = 0;
        if (c.closing) {
            return Finish(c);
        }
        if (c.host->dripMs > 0) {
            // The greeting never ends: another continuation line after the
            // interval, and nothing the client sends is answered.
            if (c.peerClosed) {
                return Close(c);
            }
            c.inLength = 0;
            c.session.Greet(c.out);
            c.sendAt = EventLoop::NowMs() + c.host->dripMs;
            continue;
        }
        if (!HandleLines(c)) {
            if (c.peerClosed) {
                return Close(c);
            }
            SetInterest(c, EPOLLIN);
            return;
        }
    }
}

// Sends what is pending (one byte for a trickling host). False when the
// connection has to wait or was closed.
bool SmtpServer::SendSome(Connection& c) {
    const size_t pending = c.out.size() - c.outPosition;
    const size_t length = c.host->trickleMs > 0 ? 1 : pending;
    const ssize_t n = send(c.fd, c.out.data() + c.outPosition, length, MSG_NOSIGNAL);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            SetInterest(c, EPOLLOUT);
        } else {
            Close(c);
        }
        return false;
    }
    c.outPosition += static_cast<size_t>(n);
    if (c.host->trickleMs > 0) {
        c.sendAt = EventLoop::NowMs() + c.host->trickleMs;
    }
    return true;
}

// Answers the complete lines in the input buffer: all of them, or only the
// first for a delayed host so that every reply gets its own delay. True when
// there is something to send or the connection is to close.
bool SmtpServer::HandleLines(Connection& c) {
    size_t start = 0;
    bool produced = false;
    while (!produced || !Delayed(*c.host)) {
        const char* begin = c.in + start;
        const auto* lf = static_cast<const char*>(memchr(begin, '\n', c.inLength - start));
        if (lf == nullptr) {
            if (c.inLength - start > SmtpSession::kMaxLine + 1) {
                c.session.HandleOverlong(c.out);
                c.closing = c.lingering = true;
                start = c.inLength;
                produced = true;
            }
            break;
        }
        size_t length = static_cast<size_t>(lf - begin);
        const size_t next = start + length + 1;
        if (length > 0 && begin[length - 1] == '\r') {
            --length;
        }
        start = next;
        if (length > SmtpSession::kMaxLine) {
            c.session.HandleOverlong(c.out);
            c.closing = c.lingering = true;
            produced = true;
            break;
        }
        c.closing = c.session.HandleLine(std::string_view(begin, length), c.out);
        produced = produced || c.closing || !c.out.empty();
        if (c.closing) {
            break;
        }
    }
    if (c.closing && start < c.inLength) {
        c.lingering = true;  // commands after the last reply
    }
    if (start > 0) {
        c.inLength -= std::min(start, c.inLength);
        memmove(c.in, c.in + start, c.inLength);
    }
    if (produced && Delayed(*c.host)) {
        c.sendAt = EventLoop::NowMs() + c.host->delayMs;
    }
    return produced;
}

// Ends a connection after its last reply. Closing a socket with unread input
// makes the kernel send a reset, which can destroy that reply before the
// client reads it; so when input was left over, only our sending side is
// shut and the rest is read and dropped until the client closes.
void SmtpServer::Finish(Connection& c) {
    if (!c.lingering || c.peerClosed) {
        return Close(c);
    }
    shutdown(c.fd, SHUT_WR);
    c.draining = true;
    c.inLength = 0;
    c.sendAt = EventLoop::NowMs() + kDrainLimitMs;
    loop_.AddTimer(c.fd, c.sendAt);
    SetInterest(c, EPOLLIN);
}

void SmtpServer::Drain(Connection& c) {
    const ssize_t n = recv(c.fd, c.in, sizeof c.in, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        Close(c);
    }
}

void SmtpServer::SetInterest(Connection& c, uint32_t events) {
    if (c.interest == events) {
        return;
    }
    c.interest = events;
    loop_.Modify(c.fd, events);
}

void SmtpServer::Close(Connection& c) {
    if (c.fd < 0) {
        return;
    }
    --openPerHost_[c.hostIndex];
    loop_.Forget(c.fd);
    close(c.fd);
    c.fd = -1;
    if (listenersPaused_) {
        PauseListeners(false);
    }
}

}  // namespace mv::fakeworld

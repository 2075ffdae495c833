// The fake SMTP hosts: one listening socket per host that listens, all on
// the same port, and every accepted connection served from the one loop.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "event_loop.h"
#include "smtp_session.h"
#include "stats.h"
#include "world.h"

namespace mv::fakeworld {

class SmtpServer : public EventHandler {
  public:
    SmtpServer(EventLoop& loop, const World& world, Stats& stats);
    ~SmtpServer() override;
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    // Binds and listens at every listening host's address on `port` (0: the
    // first bind picks one, the others follow it). Returns the port, or 0
    // when a later bind found the port taken (nothing stays bound then, so the
    // caller can try again). Other failures throw std::system_error.
    uint16_t Listen(uint16_t port);
    // The ipv6 host listens on ::1 (false where this computer has no IPv6).
    bool Ipv6Listening() const { return ipv6Listening_; }

    void OnEvent(int fd, uint32_t events) override;
    void OnTimer(int fd) override;

  private:
    // One client connection. Objects are kept per descriptor number and
    // reused, so a new connection allocates nothing once the pool is warm.
    struct Connection {
        int fd = -1;
        const HostRule* host = nullptr;
        size_t hostIndex = 0;
        SmtpSession session;
        char in[1024];
        size_t inLength = 0;
        std::string out;  // replies not yet sent from outPosition on
        size_t outPosition = 0;
        uint64_t sendAt = 0;     // delayed hosts: when the next byte may go
        uint32_t interest = 0;   // epoll events currently asked for
        bool closing = false;    // close once `out` is sent
        bool lingering = false;  // input is left unread: close gracefully, see Finish
        bool draining = false;   // our side is shut; reading until the peer closes
        bool peerClosed = false;
    };
    struct Listener {
        int fd;
        size_t host;
    };

    void CloseListeners();
    void Accept(const Listener& listener);
    // Counts the new connection to `host` (and its client) in the statistics;
    // false when it is one more than the host's max-connections.
    bool Admit(size_t host, const sockaddr_storage& client);
    void PauseListeners(bool pause);
    void Read(Connection& c);
    void Pump(Connection& c);
    bool SendSome(Connection& c);
    bool HandleLines(Connection& c);
    void Finish(Connection& c);
    void Drain(Connection& c);
    void SetInterest(Connection& c, uint32_t events);
    void Close(Connection& c);

    EventLoop& loop_;
    const World& world_;
    Stats& stats_;
    std::vector<Listener> listeners_;
    std::vector<int> listenerByFd_;                         // index into listeners_, or -1
    std::vector<std::unique_ptr<Connection>> connections_;  // by descriptor
    std::vector<GreylistMemory> greylisted_;                // per host
    std::vector<uint32_t> openPerHost_;                     // connections open, per host
    std::vector<uint64_t> lastAcceptMs_;                    // per host; 0: none yet
    bool listenersPaused_ = false;
    bool ipv6Listening_ = false;
};

}  // namespace mv::fakeworld

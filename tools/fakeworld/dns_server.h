// The fake DNS server: one UDP socket, datagrams read and answered in
// batches from the one loop.
#pragma once

#include <cstdint>
#include <string>

#include "event_loop.h"
#include "stats.h"
#include "world.h"

namespace mv::fakeworld {

class DnsServer : public EventHandler {
  public:
    DnsServer(EventLoop& loop, const World& world, Stats& stats);
    ~DnsServer() override;
    DnsServer(const DnsServer&) = delete;
    DnsServer& operator=(const DnsServer&) = delete;

    // Binds to address:port (0: an ephemeral port) and returns the port;
    // throws std::system_error on failure.
    uint16_t Bind(uint32_t address, uint16_t port);

    void OnEvent(int fd, uint32_t events) override;

  private:
    EventLoop& loop_;
    const World& world_;
    Stats& stats_;
    int fd_ = -1;
};

}  // namespace mv::fakeworld

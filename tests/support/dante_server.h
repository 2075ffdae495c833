// A real SOCKS server for tests: Dante (Debian's dante-server, /usr/sbin/danted)
// on 127.0.0.1, started in its own process group with a configuration of the
// test's making. Only for use inside a private network namespace (see
// private_network.h): it relays to whatever its rules allow.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "test_support.h"

namespace mv::test {

class DanteServer {
  public:
    static constexpr const char* kProgram = "/usr/sbin/danted";
    static bool Installed();

    // `relays`: whether its rules pass connect requests; otherwise it blocks
    // every one (and answers "connection not allowed by ruleset").
    DanteServer(uint16_t port, bool relays);
    ~DanteServer();  // stops danted and its helpers
    DanteServer(const DanteServer&) = delete;
    DanteServer& operator=(const DanteServer&) = delete;

    // Waits until it accepts connections; false after five seconds.
    bool WaitListening() const;
    // Its log, for the message of a failed test.
    std::string Log() const;

  private:
    TempDir dir_;
    uint16_t port_;
    pid_t pid_ = -1;
};

}  // namespace mv::test

// The fake mail server of the tests: a ScriptedTcpServer that plays an SMTP
// dialogue from a table of replies and records what it received. Hostile
// byte-level behaviour (split lines, silence, resets) stays a plain script of
// ScriptedTcpServer; every well-behaved dialogue uses this one server.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "scripted_tcp_server.h"

namespace mv::test {

class FakeSmtpServer {
  public:
    // A command line is answered by the last rule whose prefix starts it, else
    // "250 ok" ("221 bye" for QUIT, after which the connection closes). A reply
    // is one or more lines without the final CR LF; kSilent sends nothing. A
    // DATA answered with 3xx is followed by the message up to ".", which gets
    // the reply of the rule "." ("250 queued" without one).
    using Rules = std::vector<std::pair<std::string, std::string>>;
    static constexpr const char* kSilent = "SILENT";

    explicit FakeSmtpServer(Rules rules = {}, std::string greeting = "220 fake.test ready",
                            int connections = 1);
    FakeSmtpServer(const FakeSmtpServer&) = delete;
    FakeSmtpServer& operator=(const FakeSmtpServer&) = delete;

    uint16_t port() const { return server_.port(); }
    std::string portText() const { return server_.portText(); }
    // Waits until every served dialogue has ended.
    void Join() { server_.Join(); }
    // The command lines received so far (message lines excluded), in order.
    std::vector<std::string> commands() const;
    // The last message received between DATA's reply and ".", with CR LF line ends.
    std::string message() const;
    bool quitSeen() const;

  private:
    void Serve(TcpConnection& c);
    std::string ReplyTo(const std::string& line) const;
    void ReceiveMessage(TcpConnection& c);

    Rules rules_;
    std::string greeting_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::string message_;
    ScriptedTcpServer server_;  // last: its thread uses the members above
};

}  // namespace mv::test

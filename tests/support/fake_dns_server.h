// A scripted DNS server for tests: plain blocking UDP on 127.0.0.1 with an
// ephemeral port, on a thread of its own, independent of the program's DNS
// client. For every query it calls the script, which returns the datagrams to
// send back (none for silence, several for e.g. a stale answer first).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dnswire/dnswire.h"

namespace mv::test {

class FakeDnsServer {
  public:
    using Datagram = dnswire::Bytes;
    // Runs on the server's thread.
    using Script = std::function<std::vector<Datagram>(const dnswire::Query&)>;

    struct Received {
        Datagram bytes;
        std::optional<dnswire::Query> query;  // empty when it was no readable query
    };

    explicit FakeDnsServer(Script script = Silent());
    ~FakeDnsServer();
    FakeDnsServer(const FakeDnsServer&) = delete;
    FakeDnsServer& operator=(const FakeDnsServer&) = delete;

    uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    void SetScript(Script script);
    // A forger on the path: for every query, before the server's own replies,
    // the datagrams `script` returns are sent to the client from `address`
    // and `port` (0: a port of its own) instead of the server's address.
    // Returns the port the forger sends from.
    uint16_t AddForger(const std::string& address, uint16_t port, Script script);
    // Every datagram received so far, in order; unreadable ones get no answer.
    std::vector<Received> received() const;
    size_t receivedCount() const;

    // Scripts for the common cases.
    static Script Silent();
    // Answers as the fake mail world's DNS does (tools/fakeworld), for a zone
    // of MX domains: a listed domain (compared without regard to case or a
    // final dot) gets its exchangers in list order, preferences 10, 20...; an
    // empty list gives an empty answer; other names get NXDOMAIN.
    static Script MxTable(const std::map<std::string, std::vector<std::string>>& domains);

  private:
    void Serve();

    int fd_ = -1;
    int wake_ = -1;  // eventfd that stops the thread
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    Script script_;
    std::vector<std::pair<int, Script>> forgers_;  // socket, script
    std::vector<Received> received_;
    std::thread thread_;
};

// Replies to `query`, with its ID and question.
FakeDnsServer::Datagram MxAnswer(const dnswire::Query& query,
                                 const std::vector<std::string>& exchanges);
FakeDnsServer::Datagram EmptyAnswer(const dnswire::Query& query);
FakeDnsServer::Datagram NxDomain(const dnswire::Query& query);

}  // namespace mv::test

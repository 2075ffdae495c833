// The SMTP dialogue of one connection to a fake host, without any socket:
// it takes command lines and appends the scripted replies to a buffer, so the
// same code serves the network and the fuzzer.
#pragma once

#include <string>
#include <string_view>

#include "stats.h"
#include "world.h"

namespace mv::fakeworld {

class SmtpSession {
  public:
    // Longest command line accepted, without its line end.
    static constexpr size_t kMaxLine = 1000;

    // Begins a new connection to `host`. `greylisted` remembers, across
    // connections, when each address first came.
    void Start(const HostRule* host, GreylistMemory* greylisted, Stats* stats);
    // Appends the greeting (nothing for a silent host; for a dripping host
    // one continuation line, which the server repeats).
    void Greet(std::string& out) const;
    // Handles one command line without its line end; appends the reply.
    // Returns true when the connection closes once the reply is sent.
    bool HandleLine(std::string_view line, std::string& out);
    // A line longer than kMaxLine: a 500 reply, then the connection closes.
    void HandleOverlong(std::string& out);

  private:
    void Reply(std::string& out, unsigned code) const;
    void Rcpt(std::string_view line, std::string& out);
    unsigned RcptCode(std::string_view address);
    bool Greylisted();  // the address in scratch_ is still refused for now

    const HostRule* host_ = nullptr;
    GreylistMemory* greylisted_ = nullptr;
    Stats* stats_ = nullptr;
    bool helloDone_ = false;
    bool mailGiven_ = false;
    bool muted_ = false;     // a host silent after RCPT TO has answered it
    bool rcptSeen_ = false;  // a RCPT TO of this connection has been answered
    std::string scratch_;    // lower-cased address, reused to avoid allocations
};

// The host name as this server names itself in replies ("*.bench" -> "bench").
std::string_view GreetingName(const HostRule& host);

}  // namespace mv::fakeworld

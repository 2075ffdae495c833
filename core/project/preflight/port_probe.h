// One probe of outgoing port 25: the first mail host of a domain is looked up
// through the DNS servers in use and connected to on the SMTP port, within
// the connect limit, from the source address when one is set. A connection
// made, refused and timed out are told apart: a network that blocks port 25
// mostly drops the attempts (time-out), a firewall that rejects them refuses.
// A connection made must bring the first line of an SMTP greeting within the
// greeting limit (and the connect limit, counted from the start of the
// connect): a provider that intercepts port 25 accepts the connection itself
// and says nothing. Then the connection is dropped; nothing is sent.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "net/line/async_socket.h"
#include "platform/loop/message_loop.h"
#include "project/preflight/preflight_dns.h"

namespace mv {

struct PreflightSettings;

enum class ProbeOutcome {
    kPending,
    kConnected,   // and greeted
    kNoGreeting,  // connected, but no greeting line came
    kRefused,
    kTimedOut,
    kFailed,
    kNoHost,
};

class PortProbe {
  public:
    PortProbe(MessageLoop& loop, const PreflightSettings& settings, std::string domain);
    ~PortProbe();
    PortProbe(const PortProbe&) = delete;
    PortProbe& operator=(const PortProbe&) = delete;

    void Start();

    const std::string& Domain() const { return domain_; }
    ProbeOutcome Outcome() const { return outcome_; }
    // "connected (220 mx.example.test ESMTP)", "timed out", "refused", ...
    std::string OutcomeText() const;

    // The address of the mail host, once known.
    std::function<void(const std::string& address)> OnHostAddress;
    std::function<void()> OnDone;

  private:
    void HostsFound(PreflightDns::Outcome outcome, const _TDnsQuery& answer);
    void AddressFound(PreflightDns::Outcome outcome, const _TDnsQuery& answer);
    void Connect(const std::string& address);
    void Connected(uint16_t error);
    void AwaitGreeting();
    void GreetingLine();
    void HangUp(ProbeOutcome outcome);
    void End(ProbeOutcome outcome);

    MessageLoop& loop_;
    std::string domain_;
    std::string host_;
    std::string smtpPort_;
    std::string sourceAddress_;  // empty: the system's choice
    uint32_t connectLimitMs_;
    uint32_t greetingLimitMs_;
    uint32_t connectStart_ = 0;  // tick count
    MessageLoop::TimerId timer_ = 0;
    std::string greeting_;  // its first line, printable
    PreflightDns dns_;
    std::unique_ptr<_TAsyncSocket> socket_;
    ProbeOutcome outcome_ = ProbeOutcome::kPending;
    int error_ = 0;
    std::string why_;  // what kept it from connecting (kNoHost)
};

}  // namespace mv

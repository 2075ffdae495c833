// One question of the pre-flight check to the DNS servers in use, through the
// program's own DNS client: the first server is asked, and when it does not
// answer in time (or its answer cannot be received) the next one, at most two.
// The outcome always comes later from the message loop, never inside Ask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/dns/dns_query.h"
#include "platform/loop/message_loop.h"

namespace mv {

struct PreflightSettings;

class PreflightDns {
  public:
    enum class Outcome {
        kAnswered,  // the query holds the answer (any RCODE)
        kNoAnswer,  // no server answered in time
        kBadName,   // the name cannot be asked (a label too long ...)
    };
    using Done = std::function<void(Outcome, const _TDnsQuery& answer)>;

    static constexpr size_t kMaxServers = 2;

    PreflightDns(MessageLoop& loop, const PreflightSettings& settings);
    ~PreflightDns();
    PreflightDns(const PreflightDns&) = delete;
    PreflightDns& operator=(const PreflightDns&) = delete;

    // Asks for the records of `type` of `name`; a question still open is
    // dropped.
    void Ask(const std::string& name, uint16_t type, Done done);

  private:
    void TryServer(size_t index);
    void OnRequestDone(uint16_t error);
    void Finish(Outcome outcome);
    void StopTimer();

    MessageLoop& loop_;
    std::vector<std::string> servers_;
    std::string port_;
    uint32_t tryMs_;
    _TDnsQuery query_;
    std::string name_;
    uint16_t type_ = 0;
    size_t server_ = 0;
    MessageLoop::TimerId timer_ = 0;
    Done done_;
    WeakToken token_;
};

// The A records of an answer as dotted quads, in answer order.
std::vector<std::string> AnswerAddresses(const _TDnsQuery& answer);
// The names of its PTR records, in answer order.
std::vector<std::string> AnswerNames(const _TDnsQuery& answer);

}  // namespace mv

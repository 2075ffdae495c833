// "DNS servers": every DNS server in use is asked one question at once; each
// must answer within the limit. An answer counts, also "no such domain",
// unless it says the server will not or cannot answer (REFUSED, SERVFAIL):
// every check would then fail as if it had stayed silent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/dns/dns_query.h"
#include "platform/loop/message_loop.h"
#include "project/preflight/preflight_step.h"

namespace mv {

struct PreflightSettings;

class DnsServersStep : public PreflightStep {
  public:
    DnsServersStep(MessageLoop& loop, const PreflightSettings& settings);
    ~DnsServersStep() override;

    // Asks every server about the mail hosts of `name` ("" for the root).
    void Start(const std::string& name);

  private:
    void Answered(size_t index, int rcode);
    void Conclude();
    void ConcludeFailing(const std::vector<std::string>& failing,
                         const std::vector<std::string>& silent,
                         const std::vector<std::string>& good, const std::string& limit);

    MessageLoop& loop_;
    std::vector<std::string> servers_;
    uint32_t limitMs_;
    std::vector<std::unique_ptr<_TDnsQuery>> queries_;
    std::vector<bool> answered_;
    std::vector<int> failure_;  // per server: the RCODE of a failing answer, else 0
    MessageLoop::TimerId timer_ = 0;
};

}  // namespace mv

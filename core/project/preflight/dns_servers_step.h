// "DNS servers": every DNS server in use is asked one question at once; each
// must answer within the limit. Any answer counts, also "no such domain":
// what matters is that the server answers at all.
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
    void Answered(size_t index);
    void Conclude();

    MessageLoop& loop_;
    std::vector<std::string> servers_;
    uint32_t limitMs_;
    std::vector<std::unique_ptr<_TDnsQuery>> queries_;
    std::vector<bool> answered_;
    MessageLoop::TimerId timer_ = 0;
};

}  // namespace mv

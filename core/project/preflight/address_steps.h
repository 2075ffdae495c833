// How receivers judge the address a checker connects from: "Reverse name
// (PTR)" (it should exist and be the HELO name) and "Block list ZONE" (one per
// zone: a listed address is refused by the receivers that use the list). Both
// start once the address is known.
#pragma once

#include <string>

#include "platform/loop/message_loop.h"
#include "project/preflight/preflight_dns.h"
#include "project/preflight/preflight_step.h"

namespace mv {

struct PreflightSettings;

class ReverseNameStep : public PreflightStep {
  public:
    ReverseNameStep(MessageLoop& loop, const PreflightSettings& settings);
    void Start(const std::string& address);

  private:
    void Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer);

    std::string helo_;
    std::string address_;
    PreflightDns dns_;
};

class BlockListStep : public PreflightStep {
  public:
    BlockListStep(MessageLoop& loop, const PreflightSettings& settings, std::string zone);
    void Start(const std::string& address);

  private:
    void Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer);

    std::string zone_;
    PreflightDns dns_;
};

}  // namespace mv

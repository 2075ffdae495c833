// How receivers judge the sender: "From address" (its domain must exist, have
// mail hosts and not refuse all mail with a null MX: receivers refuse senders
// they could not answer) and "HELO name" (a full domain name that resolves,
// and not a mail provider's, which receivers take for a forgery).
#pragma once

#include <string>

#include "platform/loop/message_loop.h"
#include "project/preflight/preflight_dns.h"
#include "project/preflight/preflight_step.h"

namespace mv {

struct PreflightSettings;

class FromDomainStep : public PreflightStep {
  public:
    FromDomainStep(MessageLoop& loop, const PreflightSettings& settings);
    void Start();

  private:
    void Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer);

    std::string from_;
    std::string domain_;
    PreflightDns dns_;
};

class HeloNameStep : public PreflightStep {
  public:
    HeloNameStep(MessageLoop& loop, const PreflightSettings& settings);
    void Start();

  private:
    void Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer);

    std::string helo_;
    std::string publicAddress_;
    PreflightDns dns_;
};

// The advice for an answer that says nothing about the name: no server
// answered, or the servers failed (RCODE 2 or 5). Empty when the answer can
// be read.
std::string UnreadableAnswer(PreflightDns::Outcome outcome, const _TDnsQuery& answer,
                             const std::string& name);

}  // namespace mv

#include "project/preflight/address_steps.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "project/preflight/block_list_answer.h"
#include "project/preflight/outgoing_address.h"
#include "project/preflight/preflight_settings.h"
#include "project/preflight/sender_steps.h"

namespace mv {

namespace {

constexpr int kNameError = 3;

// Host names compare without regard to case or a final dot.
std::string Canonical(std::string name) {
    if (!name.empty() && name.back() == '.') name.pop_back();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

}  // namespace

ReverseNameStep::ReverseNameStep(MessageLoop& loop, const PreflightSettings& settings)
    : PreflightStep("Reverse name (PTR)"), helo_(settings.helo), dns_(loop, settings) {}

void ReverseNameStep::Start(const std::string& address) {
    address_ = address;
    dns_.Ask(ReversedOctets(address) + ".in-addr.arpa", kDnsTypePtr,
             [this](PreflightDns::Outcome o, const _TDnsQuery& a) { Conclude(o, a); });
}

void ReverseNameStep::Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer) {
    if (const std::string why =
            UnreadableAnswer(outcome, answer, "the reverse name of " + address_);
        !why.empty())
        return Finish(PreflightStatus::kWarning, why);
    const std::vector<std::string> names = AnswerNames(answer);
    if (names.empty())
        return Finish(PreflightStatus::kFailed,
                      address_ +
                          " has no reverse name: many receivers refuse such computers; "
                          "ask the provider of the address to set it to the HELO name");
    for (const std::string& n : names)
        if (Canonical(n) == Canonical(helo_))
            return Finish(PreflightStatus::kOk, address_ + " is " + n + ", the HELO name");
    Finish(PreflightStatus::kWarning, address_ + " is " + names.front() + ", but HELO gives " +
                                          helo_ + ": use " + names.front() +
                                          " as the HELO name, or have the reverse name changed");
}

BlockListStep::BlockListStep(MessageLoop& loop, const PreflightSettings& settings, std::string zone)
    : PreflightStep("Block list " + zone), zone_(std::move(zone)), dns_(loop, settings) {}

void BlockListStep::Start(const std::string& address) {
    dns_.Ask(ReversedOctets(address) + "." + zone_, kDnsTypeA,
             [this](PreflightDns::Outcome o, const _TDnsQuery& a) { Conclude(o, a); });
}

void BlockListStep::Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer) {
    if (outcome == PreflightDns::Outcome::kBadName)
        return Finish(PreflightStatus::kWarning, "'" + zone_ + "' is not a valid zone name");
    if (const std::string why = UnreadableAnswer(outcome, answer, "the zone " + zone_);
        !why.empty())
        return Finish(PreflightStatus::kWarning, why + ": the result is not known");
    if (answer.ResponseCode() == kNameError) return Finish(PreflightStatus::kOk, "not listed");
    const BlockListReading reading = ReadBlockListAnswer(AnswerAddresses(answer));
    Finish(reading.status, reading.advice);
}

}  // namespace mv

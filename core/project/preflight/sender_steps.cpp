#include "project/preflight/sender_steps.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/mail_hosts.h"
#include "project/preflight/mail_provider_names.h"
#include "project/preflight/preflight_settings.h"
#include "project/run/address_text.h"

namespace mv {

namespace {

constexpr int kNameError = 3;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

}  // namespace

std::string UnreadableAnswer(PreflightDns::Outcome outcome, const _TDnsQuery& answer,
                             const std::string& name) {
    switch (outcome) {
        case PreflightDns::Outcome::kNoAnswer:
            return "the DNS servers did not answer about " + name;
        case PreflightDns::Outcome::kBadName:
            return "'" + name + "' is not a valid domain name";
        case PreflightDns::Outcome::kAnswered:
            break;
    }
    if (answer.ResponseCode() == 2 || answer.ResponseCode() == 5)
        return "the DNS servers failed to answer about " + name + " (RCODE " +
               std::to_string(answer.ResponseCode()) + ")";
    return {};
}

FromDomainStep::FromDomainStep(MessageLoop& loop, const PreflightSettings& settings)
    : PreflightStep("From address"), from_(settings.from), dns_(loop, settings) {}

void FromDomainStep::Start() {
    if (from_.find('@') == std::string::npos)
        return Finish(PreflightStatus::kFailed,
                      "no sender address: set the From address (Connection settings)");
    domain_ = DomainOf(from_);
    dns_.Ask(domain_, kDnsTypeMx,
             [this](PreflightDns::Outcome o, const _TDnsQuery& a) { Conclude(o, a); });
}

void FromDomainStep::Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer) {
    if (outcome == PreflightDns::Outcome::kBadName)
        return Finish(PreflightStatus::kFailed, "'" + domain_ + "' is not a valid domain name");
    if (const std::string why = UnreadableAnswer(outcome, answer, domain_); !why.empty())
        return Finish(PreflightStatus::kWarning, why);
    if (answer.ResponseCode() == kNameError)
        return Finish(PreflightStatus::kFailed,
                      domain_ +
                          " does not exist: receivers refuse senders of a domain that "
                          "does not exist; use an address of your own domain");
    std::vector<std::string> hosts;
    std::string line;
    switch (ReadMailHosts(answer, domain_, hosts, line)) {
        case MailHostSource::kNullMx:
            return Finish(PreflightStatus::kFailed,
                          domain_ +
                              " has a null MX (it takes no mail): receivers refuse it as "
                              "a sender; use an address that can receive mail");
        case MailHostSource::kMxRecords:
            if (!hosts.empty())
                return Finish(PreflightStatus::kOk, domain_ + " has mail hosts: " + Joined(hosts));
            break;
        default:  // no MX records
            break;
    }
    Finish(PreflightStatus::kWarning,
           domain_ +
               " has no MX records: receivers may refuse a sender whose domain takes no "
               "mail");
}

HeloNameStep::HeloNameStep(MessageLoop& loop, const PreflightSettings& settings)
    : PreflightStep("HELO name"),
      helo_(settings.helo),
      publicAddress_(settings.publicAddress),
      dns_(loop, settings) {}

void HeloNameStep::Start() {
    const std::string lower = Lower(helo_);
    if (lower.empty() || lower.find('.') == std::string::npos || lower == "localhost" ||
        lower.rfind("localhost.", 0) == 0)
        return Finish(PreflightStatus::kFailed,
                      "'" + helo_ +
                          "' is not a full domain name: receivers refuse such HELO names; set "
                          "the HELO host (DNS settings) to a name of your own domain");
    if (IsMailProviderName(helo_))
        return Finish(PreflightStatus::kWarning,
                      "HELO " + helo_ +
                          " belongs to a mail provider; receivers treat it as forged. Give this "
                          "computer's own name (the reverse name of its public address) with "
                          "--helo or Tools | Options.");
    dns_.Ask(helo_, kDnsTypeA,
             [this](PreflightDns::Outcome o, const _TDnsQuery& a) { Conclude(o, a); });
}

void HeloNameStep::Conclude(PreflightDns::Outcome outcome, const _TDnsQuery& answer) {
    if (outcome == PreflightDns::Outcome::kBadName)
        return Finish(PreflightStatus::kFailed, "'" + helo_ + "' is not a valid domain name");
    if (const std::string why = UnreadableAnswer(outcome, answer, helo_); !why.empty())
        return Finish(PreflightStatus::kWarning, why);
    const std::vector<std::string> addresses = AnswerAddresses(answer);
    if (addresses.empty())
        return Finish(PreflightStatus::kFailed,
                      helo_ +
                          " does not resolve: many receivers refuse a HELO name without an "
                          "address; use a name that resolves, best this computer's "
                          "reverse name");
    if (!publicAddress_.empty() &&
        std::find(addresses.begin(), addresses.end(), publicAddress_) == addresses.end())
        return Finish(PreflightStatus::kWarning, helo_ + " resolves to " + Joined(addresses) +
                                                     ", not to " + publicAddress_ +
                                                     ": some receivers want them to match");
    Finish(PreflightStatus::kOk, helo_ + " resolves to " + Joined(addresses));
}

}  // namespace mv

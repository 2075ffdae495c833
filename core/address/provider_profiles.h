// The mail providers recognised from the names of a domain's mail hosts, and
// what is known of how each answers RCPT TO. The table is a data file
// (providers.txt), one section per provider:
//
//   [Microsoft 365]                        the name shown to the user
//   rule = skip-probe-for-consumer-domains
//   mx = protection.outlook.com            host names, or the names they end in
//   consumer = outlook.com hotmail.com     the provider's own consumer domains
//
// Rules:
//   probe                            decide with the accept-all probe as usual
//   skip-probe-for-consumer-domains  the provider's consumer domains refuse
//                                    unknown recipients at RCPT TO: no probe
//                                    for them; other domains are probed
//   accepts-all                      the provider accepts every recipient at
//                                    RCPT TO and bounces later: an accepted
//                                    address is risky, without a probe
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

enum class ProviderRule { kProbe, kSkipProbeForConsumerDomains, kAcceptsAll };

struct ProviderProfile {
    std::string name;  // "Google", "Microsoft 365", "Yahoo", ...
    ProviderRule rule = ProviderRule::kProbe;
    std::vector<std::string> mailHosts;        // lower case, no trailing dot
    std::vector<std::string> consumerDomains;  // lower case

    // Whether `host` is one of mailHosts or ends in "." and one of them.
    bool ServesFrom(std::string_view host) const;
    // `domain` in lower-case ASCII.
    bool IsConsumerDomain(std::string_view domain) const;
};

// What the engine does with an address whose domain a provider serves.
enum class ProbeAdvice {
    kProbe,            // as without a provider: ask the accept-all probe
    kSkipProbe,        // the answer to RCPT TO is final: no probe
    kAcceptedIsRisky,  // an accepted address is risky, reason provider-accepts-all
};

// None (a null profile) gives kProbe.
ProbeAdvice AdviceFor(const ProviderProfile* profile, std::string_view domain);

class ProviderTable {
  public:
    ProviderTable() = default;
    // Reads the data file's text; throws a DomainListError naming `file` and
    // the line of a mistake.
    static ProviderTable Parse(std::string_view text, const std::string& file);

    // The profile of the first of `mailHosts` (in the order they were
    // tried) that a provider serves from; null when none. Hosts may be in
    // any case and end in a dot.
    const ProviderProfile* Recognise(std::span<const std::string> mailHosts) const;
    const ProviderProfile* ProfileOfHost(std::string_view host) const;
    const std::vector<ProviderProfile>& Profiles() const { return profiles_; }

  private:
    std::vector<ProviderProfile> profiles_;
};

}  // namespace mv

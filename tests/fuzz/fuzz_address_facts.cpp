// What an address tells, for arbitrary bytes as an imported list may hold
// them: the syntax rules, the ASCII form of the domain (libidn2), the flags
// and the suggestion, and the registered domain of the same bytes as a mail
// host. A broken address must name a rule of its own kind; one that passes
// must have a domain to ask for.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "address/address_knowledge.h"
#include "address/registered_domain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view address(reinterpret_cast<const char*>(data), size);
    const mv::AddressKnowledge& lists = mv::AddressKnowledge::Installed();
    const mv::AddressFacts facts = lists.Describe(address);
    if (facts.broken) {
        if (mv::SyntaxRuleText(*facts.broken).empty() || !facts.suggestion.empty()) std::abort();
        const bool domainRule = mv::IsDomainRule(*facts.broken);
        if (domainRule != facts.asciiDomain.empty()) std::abort();
        if (mv::SyntaxRuleCode(*facts.broken) != (domainRule ? -1 : -4)) std::abort();
    } else if (facts.asciiDomain.empty() || facts.asciiDomain.size() > 253) {
        std::abort();
    }
    const std::string group = mv::RegisteredDomain(address);
    const std::string hosts[] = {std::string(address)};
    (void)lists.ProviderOf(hosts);
    return group.size() <= size ? 0 : (std::abort(), 0);
}

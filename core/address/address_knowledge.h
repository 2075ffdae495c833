// What an address tells by itself, computed once per address without any
// network: its syntax, the ASCII form of its domain, the role, disposable
// and free-mail flags, and a suggestion for a mistyped domain; and the mail
// provider of a list of mail hosts. It asks no one: the lists are plain
// files in the data folder (data_folder.h), read once.
//
// For the engine: Describe each address before its MX query. An address with
// `broken` set ends at once (address_syntax.h); every other one is asked for
// with `asciiDomain`. Once its mail hosts are known, ProviderOf and AdviceFor
// (provider_profiles.h) say whether to probe for accept-all.
// For the views (window, CLI, exports): Describe gives the flags and the
// suggestion of a row; a reopened project derives them again from the
// address; the provider comes from the mail hosts of the row's finding.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "address/address_flags.h"
#include "address/address_syntax.h"
#include "address/domain_suggestion.h"
#include "address/name_set.h"
#include "address/provider_profiles.h"

namespace mv {

struct AddressFacts {
    std::optional<SyntaxRule> broken;  // none: the address may be checked
    // The domain to ask for (DomainSyntax::ascii); empty when a domain rule
    // is broken.
    std::string asciiDomain;
    // Only an address whose local part is ASCII can be checked without SMTPUTF8.
    bool localPartNonAscii = false;
    AddressFlags flags;
    // The address with the suggested domain ("anna@gmail.com"); empty when
    // there is none. Never given for a broken address.
    std::string suggestion;
};

class AddressKnowledge {
  public:
    // The files in the data folder.
    static constexpr const char* kRoleNamesFile = "role-names.txt";
    static constexpr const char* kDisposableFile = "disposable-domains.txt";
    static constexpr const char* kFreeFile = "free-domains.txt";
    static constexpr const char* kSuggestFile = "suggest-domains.txt";
    static constexpr const char* kProvidersFile = "providers.txt";

    // Reads every list in `folder`; DomainListError when one cannot be read.
    explicit AddressKnowledge(const std::filesystem::path& folder);

    // The lists of the program's data folder, read by the first call (from
    // any thread) and kept to the end of the program. DomainListError when
    // one cannot be read; the next call tries again. Only the commands that
    // show what addresses tell call it, so the others never read the lists.
    static const AddressKnowledge& Installed();

    // Everything above for one address (as ExtractAddress cut it out of a
    // caption). `domainHasMailExchangers`: the domain's MX records were found
    // in this run, so it is no typo and gets no suggestion.
    AddressFacts Describe(std::string_view address, bool domainHasMailExchangers = false) const;

    // The flags of a local part and a domain (lower-case ASCII).
    AddressFlags FlagsOf(std::string_view local, std::string_view domain) const;
    // The suggested domain for `domain` (lower-case ASCII), none for a domain
    // in the free-mail or disposable lists unless it is a plain typo of a
    // listed one (DomainSuggestion::plainTypo).
    std::optional<std::string_view> SuggestDomain(std::string_view domain) const;

    const ProviderTable& Providers() const { return providers_; }
    // The provider of the first of `mailHosts` one serves from; null when none.
    const ProviderProfile* ProviderOf(std::span<const std::string> mailHosts) const {
        return providers_.Recognise(mailHosts);
    }

  private:
    NameSet roleNames_;
    NameSet disposable_;
    NameSet free_;
    DomainSuggester suggester_;
    ProviderTable providers_;
};

// Whether the mail hosts that were tried for `domain` came from its MX
// records: a domain without them is tried under its own name only.
bool HostsCameFromMxRecords(std::span<const std::string> hostsTried, std::string_view domain);

}  // namespace mv

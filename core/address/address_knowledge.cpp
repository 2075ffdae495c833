#include "address/address_knowledge.h"

#include <strings.h>

#include <memory>
#include <mutex>

#include "address/data_folder.h"
#include "address/idna.h"

namespace mv {

namespace {

constexpr size_t kNameBuffer = 256;  // longer than any domain or local part that passes

// `text` in lower case in `buffer`; empty when it does not fit.
std::string_view LowerInto(std::string_view text, char (&buffer)[kNameBuffer]) {
    if (text.size() > kNameBuffer) return {};
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        buffer[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return {buffer, text.size()};
}

std::string DomainAsAsked(std::string_view name) {
    std::optional<std::string> ascii = DomainToAscii(name);
    return ascii ? *ascii : std::string();
}

std::vector<std::string> SuggestDomains(const std::filesystem::path& file) {
    std::vector<std::string> domains;
    const std::string text = ReadListFile(file);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        for (char& c : line)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        domains.push_back(std::move(line));
    }
    return domains;
}

}  // namespace

AddressKnowledge::AddressKnowledge(const std::filesystem::path& folder) {
    roleNames_.Assign(ReadListFile(folder / kRoleNamesFile));
    disposable_.Assign(ReadListFile(folder / kDisposableFile), DomainAsAsked);
    free_.Assign(ReadListFile(folder / kFreeFile), DomainAsAsked);
    suggester_ = DomainSuggester(SuggestDomains(folder / kSuggestFile));
    const std::filesystem::path providers = folder / kProvidersFile;
    providers_ = ProviderTable::Parse(ReadListFile(providers), providers.string());
}

const AddressKnowledge& AddressKnowledge::Installed() {
    static std::mutex mutex;
    static std::unique_ptr<const AddressKnowledge> installed;
    const std::lock_guard lock(mutex);
    if (!installed) installed = std::make_unique<const AddressKnowledge>(DataFolder());
    return *installed;
}

AddressFlags AddressKnowledge::FlagsOf(std::string_view local, std::string_view domain) const {
    AddressFlags flags;
    // "sales+eu" is the mailbox "sales" with a tag.
    local = local.substr(0, local.find('+'));
    char buffer[kNameBuffer];
    if (roleNames_.Contains(LowerInto(local, buffer))) flags.Add(AddressFlag::kRole);
    if (disposable_.Contains(domain)) flags.Add(AddressFlag::kDisposable);
    if (free_.Contains(domain)) flags.Add(AddressFlag::kFree);
    return flags;
}

std::optional<std::string_view> AddressKnowledge::SuggestDomain(std::string_view domain) const {
    const std::optional<DomainSuggestion> suggestion = suggester_.Suggest(domain);
    if (!suggestion) return std::nullopt;
    if (!suggestion->plainTypo && (free_.Contains(domain) || disposable_.Contains(domain)))
        return std::nullopt;
    return suggestion->domain;
}

AddressFacts AddressKnowledge::Describe(std::string_view address,
                                        bool domainHasMailExchangers) const {
    AddressSyntax syntax = CheckAddressSyntax(address);
    AddressFacts facts;
    facts.broken = syntax.broken;
    facts.asciiDomain = std::move(syntax.asciiDomain);
    facts.localPartNonAscii = !IsAscii(syntax.parts.local);
    char buffer[kNameBuffer];
    const std::string_view domain = LowerInto(facts.asciiDomain, buffer);
    facts.flags = FlagsOf(syntax.parts.local, domain);
    if (!facts.broken && !domainHasMailExchangers) {
        if (const std::optional<std::string_view> better = SuggestDomain(domain)) {
            facts.suggestion.reserve(syntax.parts.local.size() + 1 + better->size());
            facts.suggestion.append(syntax.parts.local).append("@").append(*better);
        }
    }
    return facts;
}

bool HostsCameFromMxRecords(std::span<const std::string> hostsTried, std::string_view domain) {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    for (std::string_view host : hostsTried) {
        if (!host.empty() && host.back() == '.') host.remove_suffix(1);
        if (host.size() != domain.size() ||
            strncasecmp(host.data(), domain.data(), domain.size()) != 0)
            return true;
    }
    return false;
}

}  // namespace mv

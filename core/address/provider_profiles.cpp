#include "address/provider_profiles.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

#include "address/data_folder.h"
#include "platform/text/text_trim.h"

namespace mv {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::istringstream in{std::string(text)};
    std::string word;
    while (in >> word) {
        if (word.back() == '.') word.pop_back();
        if (!word.empty()) words.push_back(Lower(word));
    }
    return words;
}

std::optional<ProviderRule> ParseRule(std::string_view text) {
    if (text == "probe") return ProviderRule::kProbe;
    if (text == "skip-probe-for-consumer-domains")
        return ProviderRule::kSkipProbeForConsumerDomains;
    if (text == "accepts-all") return ProviderRule::kAcceptsAll;
    return std::nullopt;
}

// One "key = value" line of the current section.
void ReadSetting(ProviderProfile& profile, std::string_view key, std::string_view value,
                 const std::string& where) {
    if (key == "rule") {
        const std::optional<ProviderRule> rule = ParseRule(value);
        if (!rule) throw DomainListError(where, "unknown rule \"" + std::string(value) + "\"");
        profile.rule = *rule;
    } else if (key == "mx") {
        for (std::string& host : Words(value))
            profile.mailHosts.push_back(std::move(host));
    } else if (key == "consumer") {
        for (std::string& domain : Words(value))
            profile.consumerDomains.push_back(std::move(domain));
    } else {
        throw DomainListError(where, "unknown key \"" + std::string(key) + "\"");
    }
}

}  // namespace

bool ProviderProfile::ServesFrom(std::string_view host) const {
    return std::any_of(mailHosts.begin(), mailHosts.end(), [&](const std::string& name) {
        return host.size() >= name.size() && host.substr(host.size() - name.size()) == name &&
               (host.size() == name.size() || host[host.size() - name.size() - 1] == '.');
    });
}

bool ProviderProfile::IsConsumerDomain(std::string_view domain) const {
    return std::find(consumerDomains.begin(), consumerDomains.end(), domain) !=
           consumerDomains.end();
}

ProbeAdvice AdviceFor(const ProviderProfile* profile, std::string_view domain) {
    if (profile == nullptr) return ProbeAdvice::kProbe;
    switch (profile->rule) {
        case ProviderRule::kProbe:
            return ProbeAdvice::kProbe;
        case ProviderRule::kSkipProbeForConsumerDomains:
            return profile->IsConsumerDomain(domain) ? ProbeAdvice::kSkipProbe
                                                     : ProbeAdvice::kProbe;
        case ProviderRule::kAcceptsAll:
            return ProbeAdvice::kAcceptedIsRisky;
    }
    return ProbeAdvice::kProbe;
}

ProviderTable ProviderTable::Parse(std::string_view text, const std::string& file) {
    ProviderTable table;
    std::istringstream in{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = file + ", line " + std::to_string(number);
        const std::string_view trimmed = TrimBlanksAndControls(line);
        if (trimmed.empty() || trimmed.front() == '#') continue;
        if (trimmed.front() == '[' && trimmed.back() == ']' && trimmed.size() > 2) {
            table.profiles_.emplace_back().name = trimmed.substr(1, trimmed.size() - 2);
            continue;
        }
        const size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos || table.profiles_.empty())
            throw DomainListError(where, "expected [Provider] or key = value");
        ReadSetting(table.profiles_.back(), TrimBlanksAndControls(trimmed.substr(0, equals)),
                    TrimBlanksAndControls(trimmed.substr(equals + 1)), where);
    }
    return table;
}

const ProviderProfile* ProviderTable::ProfileOfHost(std::string_view host) const {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    const std::string lower = Lower(host);
    for (const ProviderProfile& profile : profiles_)
        if (profile.ServesFrom(lower)) return &profile;
    return nullptr;
}

const ProviderProfile* ProviderTable::Recognise(std::span<const std::string> mailHosts) const {
    for (const std::string& host : mailHosts)
        if (const ProviderProfile* profile = ProfileOfHost(host)) return profile;
    return nullptr;
}

}  // namespace mv

#include "address/address_syntax.h"

#include <arpa/inet.h>

#include <array>
#include <cctype>

#include "address/idna.h"

namespace mv {

namespace {

constexpr size_t kMaxDomain = 253;
constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxLocalPart = 64;

bool IsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

// "[192.0.2.1]" or "[IPv6:2001:db8::1]" (RFC 5321 address literals).
bool IsAddressLiteral(std::string_view domain) {
    if (domain.size() < 3 || domain.front() != '[' || domain.back() != ']') return false;
    std::string inner(domain.substr(1, domain.size() - 2));
    int family = AF_INET;
    if (inner.size() > 5 &&
        (inner.compare(0, 5, "IPv6:") == 0 || inner.compare(0, 5, "ipv6:") == 0)) {
        family = AF_INET6;
        inner.erase(0, 5);
    }
    unsigned char address[16];
    return inner.find('\0') == std::string::npos && inet_pton(family, inner.c_str(), address) == 1;
}

// The rules on the labels, in the order of SyntaxRule; `characters` also
// checks that every octet is a letter, a digit or a hyphen (a name before its
// IDNA conversion cannot be held to that).
std::optional<SyntaxRule> CheckLabels(std::string_view name, bool characters) {
    if (name.size() > kMaxDomain) return SyntaxRule::kDomainTooLong;
    bool emptyLabel = false;
    bool badCharacter = false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('.', start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view label = name.substr(start, end - start);
        if (label.size() > kMaxLabel) return SyntaxRule::kLabelTooLong;
        if (!label.empty() && (label.front() == '-' || label.back() == '-'))
            return SyntaxRule::kLabelHyphen;
        emptyLabel = emptyLabel || (label.empty() && start > 0);
        for (char c : label)
            badCharacter = badCharacter || (characters && !IsNameCharacter(c));
        start = end + 1;
    }
    if (emptyLabel) return SyntaxRule::kDomainDoubleDot;
    if (name.front() == '.') return SyntaxRule::kDomainLeadingDot;
    if (name.find('.') == std::string_view::npos) return SyntaxRule::kDomainNoDot;
    if (badCharacter) return SyntaxRule::kDomainCharacter;
    return std::nullopt;
}

}  // namespace

std::string_view SyntaxRuleText(SyntaxRule rule) {
    static constexpr std::array<std::string_view, 13> kTexts = {
        "empty domain",
        "domain over 253 octets",
        "label over 63 octets",
        "label starts or ends with a hyphen",
        "two dots in a row",
        "dot at the start of the domain",
        "no dot in the domain",
        "character not allowed in a domain",
        "domain that has no ASCII form (IDNA)",
        "empty local part",
        "local part over 64 octets",
        "dot at the start or end of the local part",
        "two dots in a row outside quotes",
    };
    return kTexts[static_cast<size_t>(rule)];
}

bool IsDomainRule(SyntaxRule rule) {
    return rule < SyntaxRule::kEmptyLocalPart;
}

int SyntaxRuleCode(SyntaxRule rule) {
    return IsDomainRule(rule) ? -1 : -4;
}

AddressParts SplitAddress(std::string_view address) {
    const size_t at = address.rfind('@');
    if (at == std::string_view::npos) return {address, {}};
    return {address.substr(0, at), address.substr(at + 1)};
}

DomainSyntax CheckDomainSyntax(std::string_view domain) {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    if (domain.empty()) return {SyntaxRule::kEmptyDomain, {}};
    if (domain.front() == '[') {
        if (IsAddressLiteral(domain)) return {std::nullopt, std::string(domain)};
        return {SyntaxRule::kDomainCharacter, {}};
    }
    if (IsAscii(domain)) {
        if (auto broken = CheckLabels(domain, true)) return {broken, {}};
        return {std::nullopt, std::string(domain)};
    }
    std::optional<std::string> ascii = DomainToAscii(domain);
    if (!ascii) {
        // Name the rule of the written form where it breaks one.
        const auto broken = CheckLabels(domain, false);
        return {broken.value_or(SyntaxRule::kDomainNotIdna), {}};
    }
    if (auto broken = CheckLabels(*ascii, true)) return {broken, {}};
    return {std::nullopt, std::move(*ascii)};
}

std::optional<SyntaxRule> CheckLocalPartSyntax(std::string_view local) {
    if (local.empty()) return SyntaxRule::kEmptyLocalPart;
    if (local.size() > kMaxLocalPart) return SyntaxRule::kLocalPartTooLong;
    // Dots are only looked at outside quotes; a backslash inside quotes
    // escapes the character after it.
    bool quoted = false;
    for (size_t i = 0; i < local.size(); ++i) {
        const char c = local[i];
        if (quoted && c == '\\') {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '.' && !quoted) {
            if (i == 0 || i + 1 == local.size()) return SyntaxRule::kLocalPartDotAtEdge;
            if (local[i + 1] == '.') return SyntaxRule::kLocalPartDoubleDot;
        }
    }
    return std::nullopt;
}

AddressSyntax CheckAddressSyntax(std::string_view address) {
    AddressSyntax result;
    result.parts = SplitAddress(address);
    DomainSyntax domain = CheckDomainSyntax(result.parts.domain);
    result.broken = domain.broken ? domain.broken : CheckLocalPartSyntax(result.parts.local);
    result.asciiDomain = std::move(domain.ascii);
    return result;
}

}  // namespace mv

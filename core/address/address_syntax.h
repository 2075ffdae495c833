// The syntax of an address, decided before anything is sent: the rules a
// domain (RFC 1035 names, IDNA for non-ASCII ones) and a local part
// (RFC 5321) must keep. An address that breaks one is bad without a DNS
// query or a connection.
//
// The engine ends such an address at once with SyntaxRuleCode (-1 "Failed:
// Invalid Domain Name" for a domain rule, -4 "Could not perform the RCPT
// command" for a local-part rule), verdict undeliverable, reason bad-syntax,
// and the transcript line kBadSyntaxLine + SyntaxRuleText. Every other
// address is checked as it always was, with DomainSyntax::ascii as its domain.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mv {

// In the order they are applied: domain rules first, so that an empty
// address breaks a domain rule.
enum class SyntaxRule {
    kEmptyDomain,
    kDomainTooLong,
    kLabelTooLong,
    kLabelHyphen,
    kDomainDoubleDot,
    kDomainLeadingDot,
    kDomainNoDot,
    kDomainCharacter,
    kDomainNotIdna,
    kEmptyLocalPart,
    kLocalPartTooLong,
    kLocalPartDotAtEdge,
    kLocalPartDoubleDot,
};

// The rule in words, for the transcript: "empty domain", "two dots in a row", ...
std::string_view SyntaxRuleText(SyntaxRule rule);
bool IsDomainRule(SyntaxRule rule);
// -1 for a domain rule, -4 for a local-part rule.
int SyntaxRuleCode(SyntaxRule rule);
// The transcript line is this followed by SyntaxRuleText.
inline constexpr std::string_view kBadSyntaxLine = "Bad address syntax: ";

// An address cut at its last "@" (a quoted local part may hold one). Without
// an "@" the whole text is the local part and the domain is empty.
struct AddressParts {
    std::string_view local;
    std::string_view domain;
};
AddressParts SplitAddress(std::string_view address);

struct DomainSyntax {
    std::optional<SyntaxRule> broken;
    // The domain as it is asked for and written in RCPT TO: as written when
    // it is ASCII (a single trailing dot removed), else its ASCII form in
    // lower case. Empty when a rule is broken.
    std::string ascii;
};
DomainSyntax CheckDomainSyntax(std::string_view domain);
std::optional<SyntaxRule> CheckLocalPartSyntax(std::string_view local);

// Both checks, the domain's first.
struct AddressSyntax {
    std::optional<SyntaxRule> broken;
    AddressParts parts;
    std::string asciiDomain;  // DomainSyntax::ascii
};
AddressSyntax CheckAddressSyntax(std::string_view address);

}  // namespace mv

#include "engine/result_verdict.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/reason_rules.h"
#include "engine/result_codes.h"

namespace mv {
namespace {

// --- Names and the verdict of each reason -------------------------------------------

struct ReasonRow {
    Reason reason;
    std::string_view name;
    Verdict verdict;
};

// One row per reason, in the order of the enumeration. A refusal of the
// checker (policy-block, refused-sender) or a temporary one (deferred) says
// nothing about the mailbox, so it is never undeliverable.
constexpr ReasonRow kReasonRows[] = {
    {Reason::kAccepted, "accepted", Verdict::kDeliverable},
    {Reason::kAcceptAll, "accept-all", Verdict::kRisky},
    {Reason::kMailboxUnknown, "mailbox-unknown", Verdict::kUndeliverable},
    // The mailbox exists, but mail to it bounces until it is emptied: often a
    // sign of an abandoned mailbox.
    {Reason::kMailboxFull, "mailbox-full", Verdict::kRisky},
    {Reason::kMailboxDisabled, "mailbox-disabled", Verdict::kUndeliverable},
    {Reason::kPolicyBlock, "policy-block", Verdict::kUnknown},
    {Reason::kDeferred, "deferred", Verdict::kUnknown},
    {Reason::kNoMailDomain, "no-mail-domain", Verdict::kUndeliverable},
    {Reason::kNoMailHost, "no-mail-host", Verdict::kUndeliverable},
    {Reason::kUnreachable, "unreachable", Verdict::kUnknown},
    {Reason::kTimeout, "timeout", Verdict::kUnknown},
    {Reason::kRefusedSender, "refused-sender", Verdict::kUnknown},
    {Reason::kProtocol, "protocol", Verdict::kUnknown},
    {Reason::kAborted, "aborted", Verdict::kUnknown},
    {Reason::kNoIpv4Host, "no-ipv4-host", Verdict::kUnknown},
    {Reason::kBadSyntax, "bad-syntax", Verdict::kUndeliverable},
    {Reason::kNeedsSmtputf8, "needs-smtputf8", Verdict::kUnknown},
    {Reason::kProviderAcceptsAll, "provider-accepts-all", Verdict::kRisky},
};
static_assert(std::size(kReasonRows) == kReasonCount);

constexpr bool RowsFollowTheEnumeration() {
    for (size_t i = 0; i < std::size(kReasonRows); ++i)
        if (static_cast<size_t>(kReasonRows[i].reason) != i) return false;
    return true;
}
static_assert(RowsFollowTheEnumeration());

constexpr std::string_view kTooManyConnectionsTexts =
    "too many connections|too many concurrent|connection limit|maximum number of connections|"
    "too many simultaneous";

constexpr std::string_view kVerdictNames[] = {"deliverable", "undeliverable", "risky", "unknown"};

// The verdict when only the code is known: each code is read as its most
// likely reply (a bare 550 is most often an unknown mailbox). Any other code
// is unknown, 521 and 553 too: as often a block of this computer as an
// answer about the mailbox.
struct CodeVerdict {
    CodeRange codes;
    Verdict verdict;
};
constexpr CodeVerdict kVerdictOfCode[] = {
    {{ResultValid, ResultValid}, Verdict::kDeliverable},
    {{ResultInvalidDomain, ResultInvalidDomain}, Verdict::kUndeliverable},
    {{11001, 11001}, Verdict::kUndeliverable},  // host not found
    {{11004, 11004}, Verdict::kUndeliverable},  // host without an address
    {{550, 551}, Verdict::kUndeliverable},
    {{556, 556}, Verdict::kUndeliverable},  // the domain accepts no mail
    {{552, 552}, Verdict::kRisky},          // mailbox full
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// --- Reading the deciding reply ---------------------------------------------------

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of an enhanced status code ("5.1.1", "4.7.28") at `pos`, or 0.
size_t EnhancedCodeLength(std::string_view s, size_t pos) {
    if (pos >= s.size() || (s[pos] != '2' && s[pos] != '4' && s[pos] != '5')) return 0;
    size_t i = pos + 1;
    for (int part = 0; part < 2; ++part) {
        if (i >= s.size() || s[i] != '.') return 0;
        const size_t first = ++i;
        while (i < s.size() && IsDigit(s[i]) && i - first < 3)
            ++i;
        if (i == first) return 0;
    }
    if (i < s.size() && IsDigit(s[i])) return 0;  // more than three digits
    return i - pos;
}

// One reply line, "550-5.1.1 The email account ...": its enhanced status code
// (if it begins the text) and the text after the codes.
struct ReplyLine {
    std::string_view enhanced;
    std::string_view text;
};

ReplyLine SplitReplyLine(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    while (i < line.size() && IsDigit(line[i]))
        ++i;
    if (i < line.size() && (line[i] == '-' || line[i] == ' ')) ++i;
    while (i < line.size() && line[i] == ' ')
        ++i;
    const size_t start = i < line.size() && line[i] == '#' ? i + 1 : i;
    const size_t length = EnhancedCodeLength(line, start);
    if (length == 0) return {{}, line.substr(i)};
    return {line.substr(start, length), line.substr(start + length)};
}

// Some servers end the text with the enhanced status code instead: "(#5.1.1)".
std::string_view TrailingEnhancedCode(std::string_view text) {
    for (size_t hash = text.find('#'); hash != std::string_view::npos;
         hash = text.find('#', hash + 1)) {
        const size_t length = EnhancedCodeLength(text, hash + 1);
        if (length != 0) return text.substr(hash + 1, length);
    }
    return {};
}

// One bit per letter a..z that occurs in `text`. A phrase can only occur in
// a text that has every one of its letters, which rules most phrases out
// without searching for them.
uint32_t LettersOf(std::string_view text) {
    uint32_t letters = 0;
    for (char c : text)
        if (c >= 'a' && c <= 'z') letters |= 1u << (c - 'a');
    return letters;
}

struct ParsedReply {
    std::string_view enhanced;  // the reply's first enhanced status code (a view into it)
    std::string text;           // the lines' texts in lower case, joined by blanks
    uint32_t letters = 0;       // LettersOf(text)
};

// Appends a line's text in lower case with single blanks between words, so a
// phrase matches whether it is broken over two lines or not. What stands
// between "<" and ">" (an address, which may contain any word) is left out.
void AppendSearchText(std::string_view text, std::string& out) {
    bool inBrackets = false;
    for (char c : text) {
        if (c == '<') inBrackets = true;
        const bool blank = inBrackets || c == ' ' || c == '\t' || c == '\r';
        if (!blank)
            out.push_back(LowerAscii(c));
        else if (!out.empty() && out.back() != ' ')
            out.push_back(' ');
        if (c == '>') inBrackets = false;
    }
    if (!out.empty() && out.back() != ' ') out.push_back(' ');
}

ParsedReply ParseReply(std::string_view reply) {
    ParsedReply parsed;
    parsed.text.reserve(reply.size() + 1);
    for (std::string_view rest = reply; !rest.empty();) {
        const size_t end = rest.find('\n');
        const ReplyLine line = SplitReplyLine(rest.substr(0, end));
        if (parsed.enhanced.empty()) parsed.enhanced = line.enhanced;
        AppendSearchText(line.text, parsed.text);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    if (parsed.enhanced.empty()) parsed.enhanced = TrailingEnhancedCode(reply);
    parsed.letters = LettersOf(parsed.text);
    return parsed;
}

// --- Applying the rules -------------------------------------------------------------

template <class Predicate>
bool AnyAlternative(std::string_view alternatives, Predicate matches) {
    for (;;) {
        const size_t bar = alternatives.find('|');
        if (matches(alternatives.substr(0, bar))) return true;
        if (bar == std::string_view::npos) return false;
        alternatives.remove_prefix(bar + 1);
    }
}

bool EnhancedCodeMatches(std::string_view pattern, std::string_view code) {
    if (pattern.empty() || code.empty()) return false;
    if (pattern.front() == 'X') {  // any class: compare from the first dot
        pattern.remove_prefix(1);
        code.remove_prefix(1);
    }
    if (pattern.back() == '.') return code.substr(0, pattern.size()) == pattern;
    return code == pattern;
}

bool RuleCovers(const ReasonRule& rule, int code, StageSet stage) {
    return code >= rule.codes.low && code <= rule.codes.high && (rule.stages & stage) != 0;
}

bool RuleLooksAtReply(const ReasonRule& rule) {
    return !rule.enhanced.empty() || !rule.texts.empty();
}

// A rule's text alternatives, split once, each with its letters.
struct Phrase {
    std::string_view text;
    uint32_t letters;
};

// A rule's alternatives split once, so that deciding a reply does not take
// the rule's texts apart again for every result.
struct SplitRule {
    std::vector<std::string_view> enhanced;
    std::vector<Phrase> phrases;
};

// The split rules, in the order of ReasonRules(); built on first use.
const std::vector<SplitRule>& SplitRules() {
    static const std::vector<SplitRule> split = [] {
        std::vector<SplitRule> all;
        for (const ReasonRule& rule : ReasonRules()) {
            SplitRule& own = all.emplace_back();
            if (!rule.enhanced.empty()) {
                AnyAlternative(rule.enhanced, [&](std::string_view pattern) {
                    own.enhanced.push_back(pattern);
                    return false;
                });
            }
            if (!rule.texts.empty()) {
                AnyAlternative(rule.texts, [&](std::string_view text) {
                    own.phrases.push_back({text, LettersOf(text)});
                    return false;
                });
            }
        }
        return all;
    }();
    return split;
}

bool ReplyMatches(const ReasonRule& rule, const SplitRule& split, const ParsedReply& reply) {
    if (!rule.enhanced.empty() &&
        std::none_of(split.enhanced.begin(), split.enhanced.end(), [&](std::string_view pattern) {
            return EnhancedCodeMatches(pattern, reply.enhanced);
        }))
        return false;
    if (rule.texts.empty()) return true;
    for (const Phrase& phrase : split.phrases) {
        if ((phrase.letters & ~reply.letters) != 0) continue;
        if (reply.text.find(phrase.text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::string_view VerdictName(Verdict verdict) {
    return kVerdictNames[static_cast<size_t>(verdict)];
}

std::string_view ReasonName(Reason reason) {
    return kReasonRows[static_cast<size_t>(reason)].name;
}

std::optional<Verdict> ParseVerdict(std::string_view text) {
    for (size_t i = 0; i < std::size(kVerdictNames); ++i)
        if (EqualIgnoringCase(text, kVerdictNames[i])) return static_cast<Verdict>(i);
    return std::nullopt;
}

std::optional<Reason> ParseReason(std::string_view text) {
    for (const ReasonRow& row : kReasonRows)
        if (EqualIgnoringCase(text, row.name)) return row.reason;
    return std::nullopt;
}

Reason DecideReason(const ResultEvidence& evidence) {
    const int code = evidence.code;
    // What the session knows beyond the reply: the accept-all probe and where
    // the mail hosts came from.
    if (code == ResultValid && evidence.domainAcceptsAll) return Reason::kAcceptAll;
    if ((code == 11001 || code == 11004) && evidence.hosts == MailHostSource::kMxRecords)
        return Reason::kNoMailHost;
    if (code == ResultInvalidDomain && evidence.hosts == MailHostSource::kDnsFailed)
        return Reason::kUnreachable;

    // The reply is read only once a rule looks into it: an accepted address,
    // the most common result, is decided by its code alone.
    std::optional<ParsedReply> reply;
    const StageSet stage = StageBit(evidence.stage);
    const std::span<const ReasonRule> rules = ReasonRules();
    const std::vector<SplitRule>& split = SplitRules();
    for (size_t i = 0; i < rules.size(); ++i) {
        const ReasonRule& rule = rules[i];
        if (!RuleCovers(rule, code, stage)) continue;
        if (!RuleLooksAtReply(rule)) return rule.reason;
        if (!reply) reply = ParseReply(evidence.reply);
        if (ReplyMatches(rule, split[i], *reply)) return rule.reason;
    }
    return Reason::kProtocol;  // not reached: the last rule takes every code
}

Verdict VerdictOfReason(Reason reason) {
    return kReasonRows[static_cast<size_t>(reason)].verdict;
}

Verdict VerdictOfCode(int code) {
    for (const CodeVerdict& row : kVerdictOfCode)
        if (code >= row.codes.low && code <= row.codes.high) return row.verdict;
    return Verdict::kUnknown;
}

std::string_view EnhancedStatusOf(std::string_view reply) {
    for (std::string_view rest = reply; !rest.empty();) {
        const size_t end = rest.find('\n');
        const ReplyLine line = SplitReplyLine(rest.substr(0, end));
        if (!line.enhanced.empty()) return line.enhanced;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return TrailingEnhancedCode(reply);
}

bool SaysTooManyConnections(std::string_view reply) {
    const std::string text = ParseReply(reply).text;
    return AnyAlternative(kTooManyConnectionsTexts, [&](std::string_view phrase) {
        return text.find(phrase) != std::string::npos;
    });
}

namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// `word` in `text` with no letter on either side.
bool HasWord(std::string_view text, std::string_view word) {
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !IsLetter(text[at - 1])) && (end == text.size() || !IsLetter(text[end])))
            return true;
    }
    return false;
}

}  // namespace

bool SaysReputationRefusal(std::string_view reply) {
    const ParsedReply parsed = ParseReply(reply);
    if (parsed.enhanced == "4.7.28" || parsed.text.find("tss04") != std::string::npos) return true;
    return parsed.enhanced == "4.7.0" && HasWord(parsed.text, "rate");
}

bool RefusesThisComputer(int code, SmtpStage stage, std::string_view reply) {
    if (code < 400 || code > 599) return false;
    ResultEvidence evidence;
    evidence.code = code;
    evidence.stage = stage;
    evidence.reply = reply;
    if (DecideReason(evidence) != Reason::kPolicyBlock) return false;
    if (stage == SmtpStage::kGreeting) return true;
    const std::string text = ParseReply(reply).text;
    return AnyAlternative(BlockListTexts(), [&](std::string_view phrase) {
        return text.find(phrase) != std::string::npos;
    });
}

ResultMeaning DescribeResult(const ResultEvidence& evidence) {
    const Reason reason = DecideReason(evidence);
    return {VerdictOfReason(reason), reason};
}

}  // namespace mv

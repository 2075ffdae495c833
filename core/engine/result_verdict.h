// What a result means for the user: a verdict (can the address receive mail?)
// and the one reason behind it.
//
// A result code alone says too little: a 550 may be "no such mailbox" or "your
// computer is on a block list". The reason is decided from the code, the SMTP
// command whose reply decided it, and that reply's text with its enhanced
// status code, by the ordered rules in reason_rules.cpp. The verdict follows
// from the reason. When no reply is known (a project opened from disk keeps
// only the code), VerdictOfCode gives the verdict from the code alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace mv {

enum class Verdict { kDeliverable, kUndeliverable, kRisky, kUnknown };

enum class Reason {
    kAccepted,         // the mailbox accepts mail
    kAcceptAll,        // accepted, but so is any made-up address of the domain
    kMailboxUnknown,   // no such mailbox
    kMailboxFull,      // the mailbox exists but is over its quota
    kMailboxDisabled,  // the account exists but is disabled or closed
    kPolicyBlock,      // the receiver refuses the checking computer, not the mailbox
    kDeferred,         // a temporary refusal: greylisting, rate limits, "try again later"
    kNoMailDomain,     // the domain does not exist or accepts no mail
    kNoMailHost,       // the domain's mail hosts do not resolve
    kUnreachable,      // no connection to any mail host
    kTimeout,          // a host or the name server stayed silent
    kRefusedSender,    // HELO or MAIL FROM refused: the checker's own identity
    kProtocol,         // the conversation broke off or made no sense
    kAborted,          // the user stopped the check
    // The mail host has no IPv4 address, only an IPv6 one this computer cannot reach.
    kNoIpv4Host,
    kBadSyntax,      // the address breaks the rules of address syntax
    kNeedsSmtputf8,  // the local part needs SMTPUTF8, which the host does not offer
    // accepted by a provider that accepts every recipient and bounces later
    kProviderAcceptsAll,
};
// How many reasons there are (the size of tables indexed by Reason).
inline constexpr size_t kReasonCount = static_cast<size_t>(Reason::kProviderAcceptsAll) + 1;

// The texts users and files see: "deliverable", "accept-all", ...
std::string_view VerdictName(Verdict verdict);
std::string_view ReasonName(Reason reason);
// The inverse of the names, ignoring ASCII case; nothing for an unknown text.
std::optional<Verdict> ParseVerdict(std::string_view text);
std::optional<Reason> ParseReason(std::string_view text);

// The command whose reply decided the result.
enum class SmtpStage {
    kNone,      // no reply decided it, or it is not known which command
    kGreeting,  // the server's first reply after the connection
    kHelo,
    kMailFrom,
    kRcptTo,
    kLeaving,  // RSET or QUIT
};

// Where the session's list of mail hosts came from.
enum class MailHostSource {
    kUnknown,
    kMxRecords,   // the domain's MX records
    kDomainName,  // the domain has no MX records; its own name was tried
    kNullMx,      // the domain publishes a null MX: it accepts no mail
    kDnsFailed,   // the MX query itself failed (no answer to read)
};

// Everything known about one result.
struct ResultEvidence {
    int code = 0;  // the result code
    SmtpStage stage = SmtpStage::kNone;
    // The deciding reply as received: one or more lines, separated by line
    // ends, each with its reply code. Empty when no reply decided the result.
    std::string_view reply;
    MailHostSource hosts = MailHostSource::kUnknown;
    // The same server accepted a made-up address of the domain as well.
    bool domainAcceptsAll = false;
};

struct ResultMeaning {
    Verdict verdict;
    Reason reason;
};

Reason DecideReason(const ResultEvidence& evidence);
Verdict VerdictOfReason(Reason reason);
// The verdict when only the code is known.
Verdict VerdictOfCode(int code);
// DecideReason and VerdictOfReason together.
ResultMeaning DescribeResult(const ResultEvidence& evidence);
// The enhanced status code of a reply ("5.1.1"): the first one that begins a
// line's text, else one written as "#5.1.1" in the text; empty when none.
std::string_view EnhancedStatusOf(std::string_view reply);
// Whether a reply says that the server has too many connections (of this
// client, or at all) in one of its common wordings.
bool SaysTooManyConnections(std::string_view reply);

}  // namespace mv

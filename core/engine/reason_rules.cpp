// The rules that decide why a check ended as it did, in the order they are
// tried: the first rule that applies gives the reason.
//
// How to extend: find the reply line in question, decide its reason, and add
// a rule above the first rule that would otherwise catch it; add the line to
// the reason's cases in the tests. Texts are written in lower case; inside
// the reply, text between "<" and ">" (the addresses) is not searched, and the
// lines of a multi-line reply are joined without their reply codes, so a
// phrase broken over two lines still matches.
//
// The order matters and follows one principle: when in doubt, prefer the
// reason that does not call a mailbox undeliverable. So the refusals of the
// checker itself (its sender, its address on a block list, greylisting) come
// before anything that speaks of the mailbox, and the bare reply codes come
// last.
#include "engine/reason_rules.h"

#include <climits>
#include <iterator>

namespace mv {
namespace {

using R = Reason;

constexpr StageSet kAny = ~0u;
constexpr StageSet kGreeting = StageBit(SmtpStage::kGreeting);
constexpr StageSet kSender = StageBit(SmtpStage::kHelo) | StageBit(SmtpStage::kMailFrom);
// The reply to RCPT TO, and a reply whose command is not known: RCPT TO
// decides most results, and a code read back without its reply is one.
constexpr StageSet kRecipient = StageBit(SmtpStage::kRcptTo) | StageBit(SmtpStage::kNone);
// Only a reply known to answer RCPT TO: a bare 553 read back without its reply
// is as often a block as an answer about the mailbox.
constexpr StageSet kRcptOnly = StageBit(SmtpStage::kRcptTo);
constexpr StageSet kLeaving = StageBit(SmtpStage::kLeaving);
// After the greeting, while commands are being answered.
constexpr StageSet kTalking = kSender | StageBit(SmtpStage::kRcptTo) | kLeaving;

constexpr CodeRange Code(int code) {
    return {code, code};
}
constexpr CodeRange kAllCodes{INT_MIN, INT_MAX};
constexpr CodeRange kReplies{1, 999};
constexpr CodeRange k4xx{400, 499};
constexpr CodeRange k5xx{500, 599};
constexpr CodeRange kRefusals{400, 599};
constexpr CodeRange kSocketErrors{10000, INT_MAX};

// The enhanced status codes of a refused sender: bad sender address syntax,
// bad sender domain, SPF failure or error, failed authentication checks, a
// sender domain with a null MX.
constexpr std::string_view kSenderCodes = "X.1.7|X.1.8|X.7.23|X.7.24|X.7.26|X.7.27";

// The checker's own sender address or host name is what the server refuses
// (a sender verification callout, SPF, the HELO name).
constexpr std::string_view kSenderTexts =
    "sender verify failed|sender verification failed|sender address rejected|"
    "sender rejected|sender domain|helo command rejected|invalid helo|bad helo|helo name|spf|"
    "dmarc";

constexpr std::string_view kGreylistTexts =
    "greylist|graylist|grey-list|gray-list|grey list|gray list";

// Block lists, reputation and other judgements of the checking computer.
constexpr std::string_view kBlockListTexts =
    "blocked using|block list|blocklist|blacklist|black list|denylist|dnsbl| rbl|spamhaus|"
    "spamcop|sorbs|barracuda|is listed|are listed|listed at|listed on|listed by|reputation|"
    "banned|blocked|block for|client host rejected|reverse dns|ptr record|cannot find your|"
    "not authorized to send";

constexpr std::string_view kRelayTexts =
    "relay access denied|relaying denied|relay denied|unable to relay|relay not permitted|"
    "relaying not allowed|not permitted to relay|we do not relay|relaying prohibited";

constexpr std::string_view kMailboxFullTexts =
    "over quota|overquota|quota exceeded|exceeded quota|exceeds quota|exceeded its quota|"
    "exceeded the quota|mailbox full|mailbox is full|mailbox size|inbox is full|"
    "exceeded storage|out of storage|storage space|mailfolder is full";

constexpr std::string_view kMessageSizeTexts =
    "message size|message too big|message too large|message is too large|size exceeds|"
    "exceeds the maximum|exceeds maximum";

constexpr std::string_view kDisabledTexts =
    "disabled|inactive|deactivated|suspended|account closed|account has been closed|"
    "account is closed|no longer active|account is locked|account locked|mailbox is locked|"
    "frozen";

constexpr std::string_view kUnknownMailboxTexts =
    "user unknown|unknown user|no such user|no such recipient|no such mailbox|no such address|"
    "no such account|no mailbox|not exist|doesn't exist|no longer exist|mailbox unavailable|"
    "mailbox not found|mailbox is unavailable|recipient not found|user not found|"
    "address not found|recipientnotfound|invalid recipient|invalid mailbox|unknown recipient|"
    "recipient unknown|recipient invalid|unrouteable address|unroutable address|"
    "not our customer|doesn't have a|not a valid|unknown or illegal alias|user not local|"
    "address unknown|bad recipient";

// Phrases so plainly about the mailbox that they decide even under an enhanced
// status code of the system, network, protocol or policy classes, as some
// large providers send them ("550 5.5.0 ... mailbox unavailable", "550 5.7.1
// No such user!").
constexpr std::string_view kStrongUnknownMailboxTexts =
    "mailbox unavailable|no such user|user unknown|does not exist|recipient not found";

// A host or domain that takes no mail at all (521 is sent for other reasons too).
constexpr std::string_view kNoMailTexts = "does not accept mail|accepts no mail|null mx|nullmx";

// Refusals that name a rule of the receiver rather than the mailbox.
constexpr std::string_view kPolicyTexts =
    "denied|policy|not allowed|not permitted|prohibit|refused|rejected due to|spam|"
    "unsolicited|not authorized|authentication required|security";

// clang-format off
constexpr ReasonRule kRules[] = {
    // codes          stages      enhanced status   texts               reason
    // --- The checker's own outcomes, name lookups and sockets ---------------------------
    {Code(0),         kAny,       "",               "",                 R::kAccepted},
    {Code(-1),        kAny,       "",               "",                 R::kNoMailDomain},
    {Code(-2),        kAny,       "",               "",                 R::kTimeout},
    {Code(-3),        kAny,       "",               "",                 R::kUnreachable},
    {{-6, -4},        kAny,       "",               "",                 R::kProtocol},
    {Code(-8),        kAny,       "",               "",                 R::kAborted},
    // Host not found, and found without an address.
    {Code(11001),     kAny,       "",               "",                 R::kNoMailDomain},
    {Code(11004),     kAny,       "",               "",                 R::kNoMailDomain},
    {Code(10060),     kAny,       "",               "",                 R::kTimeout},
    // The server closed or reset the connection in the middle of the conversation.
    {Code(10004),     kTalking,   "",               "",                 R::kProtocol},
    {{10053, 10054},  kTalking,   "",               "",                 R::kProtocol},
    {kSocketErrors,   kAny,       "",               "",                 R::kUnreachable},

    // --- Replies: the refusals of the checker itself come first -------------------------
    // RSET and QUIT come after the answer about the mailbox.
    {kReplies,        kLeaving,   "",               "",                 R::kProtocol},
    {kRefusals,       kAny,       kSenderCodes,     "",                 R::kRefusedSender},
    {kRefusals,       kAny,       "",               kSenderTexts,       R::kRefusedSender},
    {k4xx,            kAny,       "",               kGreylistTexts,     R::kDeferred},
    {kRefusals,       kAny,       "",               kBlockListTexts,    R::kPolicyBlock},
    {kRefusals,       kAny,       "",               kRelayTexts,        R::kPolicyBlock},
    // "Does not accept mail": a host or domain that takes no mail at all. Any
    // other 521 turns this computer away.
    {Code(521),       kAny,       "",               kNoMailTexts,       R::kNoMailDomain},
    {Code(521),       kAny,       "",               "",                 R::kPolicyBlock},
    {Code(556),       kAny,       "",               "",                 R::kNoMailDomain},
    // Refused before anything was asked: the server refuses the checking computer.
    {k5xx,            kGreeting,  "",               "",                 R::kPolicyBlock},
    {k5xx,            kSender,    "",               "",                 R::kRefusedSender},

    // --- Replies about the mailbox -----------------------------------------------------
    // Over quota, for now (452) or for good (552); before "every 4xx is deferred".
    {kRefusals,       kRecipient, "X.2.2",          "",                 R::kMailboxFull},
    {k5xx,            kRecipient, "X.3.4|X.2.3",    "",                 R::kProtocol},
    {kRefusals,       kRecipient, "",               kMailboxFullTexts,  R::kMailboxFull},
    {k5xx,            kRecipient, "",               kMessageSizeTexts,  R::kProtocol},
    // Every other temporary refusal: rate limits, "try again later", busy servers.
    {k4xx,            kAny,       "",               "",                 R::kDeferred},
    // Edge blocking of a hosted directory: "Recipient address rejected: Access denied"
    // means that the directory has no such recipient.
    {k5xx,            kRecipient, "5.4.1",          "recipient address rejected",
                                                                        R::kMailboxUnknown},
    // The classes of the receiving system (X.3), network (X.4), protocol (X.5)
    // and policy (X.7) say nothing about the mailbox, not even with words of
    // an account state ("Client host disabled due to too many invalid
    // recipients" is about this computer), unless a strong phrase does.
    {k5xx,            kRecipient, "X.3.|X.4.|X.5.|X.7.",
                                                    kStrongUnknownMailboxTexts,
                                                                        R::kMailboxUnknown},
    {k5xx,            kAny,       "X.3.|X.7.",      "",                 R::kPolicyBlock},
    {k5xx,            kAny,       "X.4.|X.5.",      "",                 R::kProtocol},
    {k5xx,            kRecipient, "X.2.1",          "",                 R::kMailboxDisabled},
    {k5xx,            kRecipient, "",               kDisabledTexts,     R::kMailboxDisabled},
    {k5xx,            kRecipient, "X.1.2",          "",                 R::kNoMailDomain},
    {k5xx,            kRecipient, "X.1.0|X.1.1|X.1.10|X.1.3|X.1.6",
                                                    "",                 R::kMailboxUnknown},
    {k5xx,            kRecipient, "",               kUnknownMailboxTexts,
                                                                        R::kMailboxUnknown},

    // --- Policy, then the bare reply codes ---------------------------------------------
    {k5xx,            kAny,       "",               kPolicyTexts,       R::kPolicyBlock},
    {{500, 504},      kAny,       "",               "",                 R::kProtocol},
    {Code(530),       kAny,       "",               "",                 R::kPolicyBlock},
    {{550, 551},      kRecipient, "",               "",                 R::kMailboxUnknown},
    {Code(553),       kRcptOnly,  "",               "",                 R::kMailboxUnknown},
    {Code(552),       kRecipient, "",               "",                 R::kMailboxFull},
    {Code(554),       kRecipient, "",               "",                 R::kPolicyBlock},
    {kAllCodes,       kAny,       "",               "",                 R::kProtocol},
};
// clang-format on

}  // namespace

std::span<const ReasonRule> ReasonRules() {
    return {std::begin(kRules), std::end(kRules)};
}

}  // namespace mv

#include "engine/host_evidence.h"

#include <optional>

#include "engine/result_codes.h"

namespace mv {

namespace {

// How much one host's outcome says about the address; the higher decides.
enum class Weight {
    kLookupFailed,  // the name did not resolve
    kIpv6Only,      // the name has an IPv6 address only
    kFailed,        // the host exists, but no reply decided: refused, timed out, cut off
    kReplied,       // an SMTP reply that says nothing lasting about the mailbox
    kDefinite,      // an acceptance, or a lasting refusal of the mailbox or domain
};

bool IsLookupFailure(int code) {
    return code >= 11001 && code <= 11004;
}

ResultEvidence EvidenceOf(const HostOutcome& outcome, MailHostSource hosts, bool acceptsAll) {
    ResultEvidence evidence;
    evidence.code = outcome.code;
    evidence.stage = outcome.stage;
    evidence.reply = outcome.reply;
    evidence.hosts = hosts;
    evidence.domainAcceptsAll = acceptsAll && outcome.code == ResultValid;
    return evidence;
}

Reason ReasonOf(const HostOutcome& outcome, MailHostSource hosts, bool acceptsAll) {
    if (outcome.ipv6Only) return Reason::kNoIpv4Host;
    return DecideReason(EvidenceOf(outcome, hosts, acceptsAll));
}

bool IsMailboxAnswer(Reason reason) {
    return reason == Reason::kMailboxUnknown || reason == Reason::kMailboxDisabled ||
           reason == Reason::kMailboxFull || reason == Reason::kNoMailDomain;
}

// Reads the reply only where its reason can make the outcome definite (a
// refusal of RCPT TO) and keeps that reason in `reason`.
Weight WeightOf(const HostOutcome& outcome, MailHostSource hosts, std::optional<Reason>& reason) {
    if (outcome.code == ResultValid) return Weight::kDefinite;
    const bool replied = outcome.code > 0 && outcome.code < 1000;
    if (replied && outcome.code >= 500 && outcome.stage == SmtpStage::kRcptTo) {
        reason = ReasonOf(outcome, hosts, false);
        if (IsMailboxAnswer(*reason)) return Weight::kDefinite;
    }
    if (replied) return Weight::kReplied;
    if (outcome.ipv6Only) return Weight::kIpv6Only;
    if (IsLookupFailure(outcome.code)) return Weight::kLookupFailed;
    return Weight::kFailed;
}

struct Decider {
    size_t index = 0;
    std::optional<Reason> reason;  // when it has been read already
};

// The first definite outcome, else the last one of the highest weight.
Decider DecidingOutcome(const AddressEvidence& evidence) {
    Decider best;
    Weight bestWeight = Weight::kLookupFailed;
    for (size_t i = 0; i < evidence.tried.size(); ++i) {
        std::optional<Reason> reason;
        const Weight weight = WeightOf(evidence.tried[i], evidence.hosts, reason);
        if (weight >= bestWeight) {
            best = {i, reason};
            bestWeight = weight;
        }
        if (weight == Weight::kDefinite) break;
    }
    return best;
}

}  // namespace

void DecideFinding(const AddressEvidence& evidence, ResultFinding& finding) {
    finding.hostsTried.clear();
    for (const HostOutcome& outcome : evidence.tried)
        finding.hostsTried.push_back(outcome.host);
    // The user's stop ends the check whatever the hosts said; without a host
    // the code and its reply are all there is.
    if (evidence.tried.empty() || evidence.code == ResultAborted) {
        ResultEvidence plain;
        plain.code = evidence.code;
        plain.stage = evidence.stage;
        plain.reply = evidence.reply;
        plain.hosts = evidence.hosts;
        plain.domainAcceptsAll = evidence.acceptsAll && evidence.code == ResultValid;
        const ResultMeaning meaning = DescribeResult(plain);
        finding.verdict = meaning.verdict;
        finding.reason = meaning.reason;
        finding.reply.assign(evidence.reply);
        finding.host.clear();
    } else {
        const Decider decider = DecidingOutcome(evidence);
        const HostOutcome& outcome = evidence.tried[decider.index];
        finding.reason = decider.reason ? *decider.reason
                                        : ReasonOf(outcome, evidence.hosts, evidence.acceptsAll);
        finding.verdict = VerdictOfReason(finding.reason);
        finding.reply = outcome.reply;
        finding.host = outcome.host;
    }
    // A provider's acceptance proves nothing only where it was the answer.
    const bool applies = evidence.knownReason != Reason::kProviderAcceptsAll ||
                         finding.reason == Reason::kAccepted ||
                         finding.reason == Reason::kAcceptAll;
    if (evidence.knownReason && applies && evidence.code != ResultAborted) {
        finding.reason = *evidence.knownReason;
        finding.verdict = VerdictOfReason(finding.reason);
    }
    finding.enhanced.assign(EnhancedStatusOf(finding.reply));
}

}  // namespace mv

#include "engine/host_evidence.h"

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

bool IsDefinite(const HostOutcome& outcome, Reason reason) {
    if (outcome.code == ResultValid) return true;
    if (outcome.code < 500 || outcome.code > 599 || outcome.stage != SmtpStage::kRcptTo)
        return false;
    return reason == Reason::kMailboxUnknown || reason == Reason::kMailboxDisabled ||
           reason == Reason::kMailboxFull || reason == Reason::kNoMailDomain;
}

Weight WeightOf(const HostOutcome& outcome, Reason reason) {
    if (IsDefinite(outcome, reason)) return Weight::kDefinite;
    if (outcome.code > 0 && outcome.code < 1000) return Weight::kReplied;
    if (outcome.ipv6Only) return Weight::kIpv6Only;
    if (IsLookupFailure(outcome.code)) return Weight::kLookupFailed;
    return Weight::kFailed;
}

// The first definite outcome, else the last one of the highest weight.
size_t DecidingOutcome(const AddressEvidence& evidence) {
    size_t best = 0;
    Weight bestWeight = Weight::kLookupFailed;
    for (size_t i = 0; i < evidence.tried.size(); ++i) {
        const HostOutcome& outcome = evidence.tried[i];
        const Weight weight =
            WeightOf(outcome, ReasonOf(outcome, evidence.hosts, evidence.acceptsAll));
        if (weight == Weight::kDefinite) return i;
        if (weight >= bestWeight) {
            best = i;
            bestWeight = weight;
        }
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
        const HostOutcome& decider = evidence.tried[DecidingOutcome(evidence)];
        finding.reason = ReasonOf(decider, evidence.hosts, evidence.acceptsAll);
        finding.verdict = VerdictOfReason(finding.reason);
        finding.reply = decider.reply;
        finding.host = decider.host;
    }
    finding.enhanced.assign(EnhancedStatusOf(finding.reply));
}

}  // namespace mv

// The accept-all probe of a session, the evidence of each host it tries and
// the meaning that goes with each of its reports (the rest of the session is
// in smtp_thread.cpp).
#include <algorithm>

#include "engine/finding_explanation.h"
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"
#include "net/smtp/smtp_cli.h"
#include "platform/error/exception.h"
#include "platform/error/winsock_errors.h"

namespace mv {

// --- The accept-all probe -------------------------------------------------------

// The host that accepted the address is asked about a made-up one, unless the
// run knows its answer for the domain or another session's probe of it is out.
void TSmtpThread::AfterAccepted() {
    const ProbeAdvice advice = ProviderAdvice();
    if (advice == ProbeAdvice::kAcceptedIsRisky)
        evidence_.knownReason = Reason::kProviderAcceptsAll;
    if (advice != ProbeAdvice::kProbe || !owner_.AcceptAllProbe() || RunAborted()) return EndHost();
    const std::string& host = hostList_[hostIndex_];
    AcceptAllProbes& probes = owner_.Probes();
    switch (probes.Of(domain_, host)) {
        case AcceptAllProbes::State::kAcceptsAll:
            acceptsAll_ = true;
            return EndHost();
        case AcceptAllProbes::State::kRefusesUnknown:
            return EndHost();
        case AcceptAllProbes::State::kInFlight:
            awaitedHost_ = host;  // the dispatcher holds the report until it answers
            return EndHost();
        case AcceptAllProbes::State::kUnknown:
            break;
    }
    try {
        smtp_->SetRcptName({owner_.MadeUpLocalPart() + "@" + domain_});
        probes.Begin(domain_, host);
        probeHost_ = host;
        probing_ = true;
        ++onConnection_;  // the probe takes one of the connection's places
        smtp_->RcptTo();
    } catch (const Exception&) {
        probing_ = false;
        EndProbe(std::nullopt);
        smtp_->SetRcptName({rcptAddress_});
        EndHost();
    }
}

// The answer about the made-up address tells whether the server accepts
// every address of the domain, never whether this one exists: whatever it
// is, even a lost connection, the host is left as after the address's own
// answer. Only an acceptance or a lasting refusal is an answer for the run.
void TSmtpThread::ProbeDone(uint16_t error) {
    probing_ = false;
    CountRcptReply(error);
    smtp_->SetRcptName({rcptAddress_});
    const bool refused = error >= 500 && error < 600;
    acceptsAll_ = error == 0;
    EndProbe(error == 0 || refused ? std::optional<bool>(error == 0) : std::nullopt);
    EndHost();
}

void TSmtpThread::EndProbe(std::optional<bool> acceptsAll) {
    if (probeHost_.empty()) return;
    const std::string host = std::move(probeHost_);
    probeHost_.clear();
    owner_.ProbeEnded(domain_, host, acceptsAll);
}

// --- Evidence and reports ---------------------------------------------------------

void TSmtpThread::NoteHostOutcome(int code, const DecidingReply* reply) {
    if (!hostsBegun_ || hostIndex_ >= hostList_.size() || evidence_.tried.size() != hostIndex_)
        return;
    HostOutcome& outcome = evidence_.tried.emplace_back();
    outcome.host = hostList_[hostIndex_];
    outcome.code = code;
    outcome.stage = reply != nullptr ? reply->stage : SmtpStage::kNone;
    if (reply != nullptr) outcome.reply = reply->lines;
    outcome.ipv6Only = ipv6Only_ && (code == wsa::kNetUnreach || code == wsa::kHostUnreach);
    // A group that turns this computer away is paused for good.
    if (!hostGroup_.empty() && RefusesThisComputer(code, outcome.stage, outcome.reply))
        owner_.ServerBlocks(hostGroup_, {code, outcome.stage, outcome.reply, 0, true});
}

void TSmtpThread::Report(int code, const DecidingReply* reply) {
    if (!hasAddress_ || ended_) return;  // one report per address taken
    hasAddress_ = false;
    EndProbe(std::nullopt);  // a probe still out ends with its address
    ScoutDone({});           // a scout that ends without an answer learnt nothing
    NoteHostOutcome(code, reply);
    evidence_.code = code;
    evidence_.stage = reply != nullptr ? reply->stage : SmtpStage::kNone;
    evidence_.reply = reply != nullptr ? std::string_view(reply->lines) : std::string_view();
    evidence_.acceptsAll = acceptsAll_;
    // A host without SMTPUTF8 decides only when no later host answered.
    if (evidence_.knownReason == Reason::kNeedsSmtputf8 && code != ResultRcptFailed)
        evidence_.knownReason.reset();
    DecideFinding(evidence_, finding_);
    std::string why = ExplainFinding(code, finding_);
    if (!why.empty()) AddLog(std::move(why));
    owner_.RaiseEMailProcessed(recipientIndex_, code, log_, finding_, domain_, awaitedHost_);
}

// After the last host has failed, the host index is past the end: that last
// host decided the result.
std::string TSmtpThread::CurrentHost() const {
    if (hostList_.empty()) return std::string();
    return hostList_[std::min(hostIndex_, hostList_.size() - 1)];
}

}  // namespace mv

// The accept-all probe of a session and the meaning that goes with each of
// its reports (the rest of the session is in smtp_thread.cpp).
#include "engine/smtp_thread.h"

#include <algorithm>

#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "net/smtp/smtp_cli.h"
#include "platform/error/exception.h"

namespace mv {

// --- The accept-all probe -------------------------------------------------------

void TSmtpThread::AfterAccepted() {
    if (!owner_.AcceptAllProbe() || RunAborted()) return EndHost();
    if (const std::optional<bool> known = owner_.KnownAcceptAll(domain_)) {
        acceptsAll_ = *known;
        return EndHost();
    }
    try {
        smtp_->SetRcptName({owner_.MadeUpLocalPart() + "@" + domain_});
        probing_ = true;
        smtp_->RcptTo();
    } catch (const Exception&) {
        probing_ = false;
        smtp_->SetRcptName({address_});
        EndHost();
    }
}

// The answer about the made-up address tells whether the server accepts
// every address of the domain, never whether this one exists: whatever it
// is, even a lost connection, the host is left as after the address's own
// answer. Only an acceptance or a lasting refusal is an answer for the run.
void TSmtpThread::ProbeDone(uint16_t error) {
    probing_ = false;
    smtp_->SetRcptName({address_});
    const bool refused = error >= 500 && error < 600;
    if (error == 0) acceptsAll_ = true;
    if (error == 0 || refused) owner_.LearnAcceptAll(domain_, error == 0);
    EndHost();
}

// --- Reporting --------------------------------------------------------------------

void TSmtpThread::Report(int code, const DecidingReply* reply) {
    if (!hasAddress_ || ended_) return;  // one report per address taken
    hasAddress_ = false;
    ResultEvidence evidence;
    evidence.code = code;
    if (reply != nullptr) {
        evidence.stage = reply->stage;
        evidence.reply = reply->lines;
    }
    evidence.hosts = hostSource_;
    evidence.domainAcceptsAll = code == ResultValid && acceptsAll_;
    const ResultMeaning meaning = DescribeResult(evidence);
    finding_.verdict = meaning.verdict;
    finding_.reason = meaning.reason;
    finding_.reply.assign(evidence.reply);
    owner_.RaiseEMailProcessed(recipientIndex_, code, log_, finding_, CurrentHost());
}

// After the last host has failed, the host index is past the end: that last
// host decided the result.
std::string TSmtpThread::CurrentHost() const {
    if (hostList_.empty()) return std::string();
    return hostList_[std::min(hostIndex_, hostList_.size() - 1)];
}

}  // namespace mv

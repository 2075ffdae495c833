// Several addresses on one connection (the dispatcher's
// AddressesPerConnection): once an address has its answer from the host, the
// session sends RSET and goes on, on the same connection, with the next
// queued address whose domain's first mail host is that host. Each address
// keeps its own transcript (the connection's greeting and HELO lines copied
// in), its own result and its own time-out. The session stops after N
// addresses (an accept-all probe counts as one), after the first 4xx to
// RCPT TO or the second 5xx, and leaves with QUIT. A "452 4.5.3" (too many
// recipients) to an address after the first is no answer: the address goes
// back to its queue untried, and so does an address whose connection, opened
// for another, is lost before its answer. The rest of the session is in
// smtp_thread.cpp.
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"
#include "net/smtp/smtp_cli.h"
#include "platform/error/exception.h"
#include "platform/resolver/hosts_file.h"
#include "platform/time/tick_count.h"

namespace mv {

void TSmtpThread::ConnectionOpened() {
    onConnection_ = 1;
    rcpt4xx_ = rcpt5xx_ = 0;
    if (owner_.AddressesOnConnection() > 1)
        connectionLines_.assign(log_.begin() + static_cast<std::ptrdiff_t>(hostLogStart_),
                                log_.end());
}

void TSmtpThread::CountRcptReply(int code) {
    if (code >= 400 && code < 500) ++rcpt4xx_;
    if (code >= 500 && code < 600) ++rcpt5xx_;
}

bool TSmtpThread::MayReuse() const {
    return owner_.AddressesOnConnection() > 1 && onConnection_ > 0 && !smtputf8_ &&
           onConnection_ < owner_.AddressesOnConnection() && rcpt4xx_ == 0 && rcpt5xx_ < 2 &&
           !RunAborted() && !owner_.Held();
}

// After RSET: the address is done here when the host accepted it, or refused
// it and has no host after it; then the next address of the host goes on.
bool TSmtpThread::ContinueOnConnection() {
    if (!MayReuse() || !rcptReply_) return false;
    const bool accepted = firstError_ == 0 && *rcptReply_ == 0;
    const bool refused =
        firstError_ != 0 && *rcptReply_ == firstError_ && hostIndex_ + 1 == hostList_.size();
    if (!accepted && !refused) return false;
    const std::string host = hostList_[hostIndex_];
    TSmtpRelayServer::TakenAddress next;
    if (!owner_.TakeForHost(host, next)) return false;
    if (accepted) {
        Report(ResultValid, &rcptAnswer_);
    } else {
        lastError_ = firstError_;
        lastReply_ = firstReply_;
        Report(lastError_, &lastReply_);
    }
    if (ended_) return true;  // stopped by the owner: the next address was never begun
    BeginOnConnection(next, host);
    return true;
}

void TSmtpThread::BeginOnConnection(TSmtpRelayServer::TakenAddress& next, const std::string& host) {
    log_.clear();
    rcptReply_.reset();
    firstError_ = lastError_ = 0;
    lastReply_ = firstReply_ = {};
    probing_ = acceptsAll_ = scout_ = tookAsScout_ = false;
    awaitedHost_.clear();
    evidence_.tried.clear();
    tries_ = retryCode_ = 0;
    recipientIndex_ = next.index;
    position_ = next.position;
    address_ = std::move(next.address);
    domainId_ = next.domain;
    hasAddress_ = true;
    lastActivity_ = GetTickCount();
    if (!next.begun) {
        owner_.RaiseGetData(recipientIndex_);
        if (ended_) return;
    }
    evidence_.knownReason.reset();
    // A broken address, or one that needs EHLO, is begun afresh on its own.
    const bool fits = ReadAddress() && !smtputf8_;
    if (!fits && !hasAddress_) return LeaveConnection();  // reported as broken
    // Its mail hosts are known from its domain's answer; an answer gone
    // meanwhile, or one that no longer begins with this host, sends the
    // address back to be begun afresh.
    const MxAnswer* answer = owner_.MxAnswers().Find(domain_);
    if (!fits || answer == nullptr || answer->hosts.empty() ||
        LowerCase(answer->hosts.front()) != LowerCase(host)) {
        PutBack(std::nullopt);
        return LeaveConnection();
    }
    LogDnsRequest();
    for (const std::string& line : answer->lines)
        AddLog(line);
    hostList_ = answer->hosts;
    evidence_.hosts = answer->source;
    hostIndex_ = 0;
    hostsBegun_ = true;
    hostLogStart_ = log_.size();
    log_.insert(log_.end(), connectionLines_.begin(), connectionLines_.end());
    ++onConnection_;
    smtp_->SetRcptName({rcptAddress_});
    try {
        smtp_->MailFrom();
    } catch (const Exception&) {
        Report(ResultMailFromFailed);
        ProcessNext();
    }
}

// A 452 with X.5.3 to an address after the first: the host takes no more
// recipients on this connection, which says nothing about the address.
bool TSmtpThread::TooManyRecipients(int error) {
    if (error != 452 || onConnection_ < 2 || probing_) return false;
    const std::string_view enhanced = EnhancedStatusOf(replies_.Current().lines);
    if (enhanced.size() < 5 || enhanced.substr(1, 4) != ".5.3") return false;
    PutBack(std::nullopt);
    LeaveConnection();
    return true;
}

// An address that rode on a connection opened for another and lost it (a
// dropped connection, silence) before its answer: the connection's failure
// is not the address's, and it goes back to be checked on a connection of
// its own.
bool TSmtpThread::LostWithConnection() {
    if (onConnection_ < 2 || rcptReply_ || probing_ || domainId_ == AddressQueues::kNone ||
        RunAborted())
        return false;
    PutBack(std::nullopt);
    ProcessNext();
    return true;
}

// Leaves the connection with QUIT while the session holds no address; the
// next address begins once QUIT is answered, fails or times out.
void TSmtpThread::LeaveConnection() {
    leaving_ = true;
    lastActivity_ = GetTickCount();
    try {
        smtp_->Quit();
    } catch (const Exception&) {
        leaving_ = false;
        ProcessNext();
    }
}

void TSmtpThread::LeftConnection() {
    leaving_ = false;
    ProcessNext();
}

}  // namespace mv

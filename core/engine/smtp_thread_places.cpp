// Opening the connection to a host, and the politeness per mail server group
// of a session: a place at the host's group is held, taken or waited for
// before the SMTP client connects; a group that refuses the connection as
// one too many is paused and the address goes back to its queue. A host
// that has IPv6 addresses only is told apart here too.
// The rest of the session is in smtp_thread.cpp.
#include <algorithm>

#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"
#include "net/dns/dns_query.h"
#include "net/smtp/smtp_cli.h"
#include "platform/error/exception.h"
#include "platform/error/winsock_errors.h"
#include "platform/time/tick_count.h"

namespace mv {

namespace {

// The ways a connection can fail that a firewall or a missing route cause.
bool IsConnectFailure(int error) {
    return error == wsa::kTimedOut || error == wsa::kConnRefused || error == wsa::kNetUnreach ||
           error == wsa::kHostUnreach || error == wsa::kHostDown || error == wsa::kAccess;
}

}  // namespace

void TSmtpThread::OpenHost(const std::string& target) {
    try {
        smtp_->SetHost(target);
        attemptOpen_ = true;
        smtp_->Open();
    } catch (const Exception&) {
        attemptOpen_ = false;
        Report(ResultOpenFailed);
        ProcessNext();
    }
}

// The current host's group: its place is held already, is free, or the
// address goes back to its queue (a scout whose server turned out to be
// busy: another address may go meanwhile). Otherwise the session waits in
// line, at most TimeOut seconds.
void TSmtpThread::AcquirePlace() {
    hostGroup_ = owner_.Groups().Of(hostList_[hostIndex_]);
    if (hostGroup_ == placeGroup_) return PlaceGranted();
    ReleasePlace();
    if (owner_.Places().TryTake(hostGroup_)) {
        placeGroup_ = hostGroup_;
        placeGeneration_ = owner_.Places().Generation(placeGroup_);
        return PlaceGranted();
    }
    if (tookAsScout_ && hostIndex_ == 0 && tries_ == 0 && domainId_ != AddressQueues::kNone) {
        PutBack(std::nullopt);  // back untried: its next taker begins it afresh
        return ProcessNext();
    }
    WaitForPlace(hostGroup_);
}

void TSmtpThread::WaitForPlace(const std::string& group) {
    TSchedulerCounters& count = owner_.Count();
    ++count.fallbackWaits;
    placeTicket_ = owner_.Places().Request(group, [this, group, alive = token_.Weak()] {
        if (alive.expired()) return;
        placeTicket_ = 0;
        StopWaiting();
        lastActivity_ = GetTickCount();  // the wait was no idleness
        placeGroup_ = group;
        placeGeneration_ = owner_.Places().Generation(group);
        PlaceGranted();
    });
    if (placeTicket_ == 0) {
        placeGroup_ = group;
        placeGeneration_ = owner_.Places().Generation(group);
        return PlaceGranted();
    }
    AddLog("Waiting for a free connection to " + group);
    // A wait that runs out connects all the same: the limit is politeness,
    // and the address must not fail for it.
    const uint32_t bound = static_cast<uint32_t>(owner_.TimeOut()) * 1000u;
    waitTimer_ = owner_.Loop().StartTimer(bound, [this, alive = token_.Weak()] {
        if (alive.expired()) return;
        StopWaiting();
        ++owner_.Count().fallbackWaitsOverrun;
        lastActivity_ = GetTickCount();
        PlaceGranted();
    });
}

void TSmtpThread::PlaceGranted() {
    AddLog("Opening Connection");
    OpenHost(hostList_[hostIndex_]);
}

void TSmtpThread::ReleasePlace() {
    if (placeGroup_.empty()) return;
    const std::string group = std::move(placeGroup_);
    placeGroup_.clear();
    owner_.Places().Release(group);
}

void TSmtpThread::PutBack(std::optional<TSmtpRelayServer::AddressTry> tried) {
    hasAddress_ = false;
    TSmtpRelayServer::TakenAddress self;
    self.index = recipientIndex_;
    self.position = position_;
    self.address = address_;
    self.domain = domainId_;
    owner_.PutBack(self, std::move(tried));
}

void TSmtpThread::StopWaiting() {
    if (placeTicket_ != 0) owner_.Places().Cancel(placeTicket_);
    placeTicket_ = 0;
    if (waitTimer_ != 0) owner_.Loop().StopTimer(waitTimer_);
    waitTimer_ = 0;
}

bool TSmtpThread::ServerPauses(int error) const {
    if (placeGroup_.empty() || firstError_ != 0 || RunAborted() || probing_) return false;
    const DecidingReply& reply = replies_.Current();
    if (error >= 400 && error < 500 && SaysReputationRefusal(reply.lines)) return true;
    if (reply.stage != SmtpStage::kGreeting && reply.stage != SmtpStage::kHelo) return false;
    return error == 421 || (error < 10000 && SaysTooManyConnections(reply.lines));
}

// The group's limit is lowered and the group paused; the address goes back
// to the front of its domain's queue with its transcript, to go on with the
// same host once the pause is over, unless this was its last try.
bool TSmtpThread::PauseServer(int error) {
    ServerPlaces& places = owner_.Places();
    const std::string group = placeGroup_;
    places.TooMany(group, placeGeneration_);
    places.Pause(group, owner_.RetryPauseMs());
    NoteServerFailure(error);
    if (tries_ + 1 >= TSmtpRelayServer::kMaxTries || domainId_ == AddressQueues::kNone)
        return false;
    if (DropConnection(false)) return true;
    TSmtpRelayServer::AddressTry again;
    again.log = std::move(log_);
    again.evidence = std::move(evidence_);
    again.hosts = std::move(hostList_);
    again.hostIndex = hostIndex_;
    again.tries = tries_ + 1;
    again.retryCode = error;
    PutBack(std::move(again));
    ProcessNext();
    return true;
}

void TSmtpThread::NoteServerFailure(int code) {
    if (hostGroup_.empty() || !owner_.Places().Active()) return;
    GroupFailure failure;
    failure.code = code;
    failure.stage = replies_.Current().stage;
    if (code > 0 && code < 1000) failure.reply = replies_.Current().lines;
    owner_.ServerFailed(hostGroup_, failure);
}

void TSmtpThread::AttemptEnded(bool connected, int error) {
    attemptOpen_ = false;
    if (!connected && !IsConnectFailure(error)) return;  // no connection was tried
    owner_.NoteConnectAttempt(owner_.Groups().Of(CurrentHost()), connected);
}

// A host with IPv6 addresses only that this computer has no route to: the
// host is out of its reach, not missing.
void TSmtpThread::NoteIpv6Only() {
    const HostAddresses& found = smtp_->Socket().DnsAddresses();
    ipv6Only_ = found.ipv4.empty() && !found.ipv6.empty();
}

}  // namespace mv

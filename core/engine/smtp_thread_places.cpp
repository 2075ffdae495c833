// Opening the connection to a host, and the politeness per mail server of a
// session: the host's address is looked up here, a place at that address is
// asked for, and only then does the SMTP client connect (to the address
// found, so that the place and the connection are the same server's). A
// server that refuses the connection as one too many is tried again after a
// pause. A host without an IPv4 address is asked for its IPv6 one here too.
// The rest of the session is in smtp_thread.cpp.
#include <arpa/inet.h>

#include <algorithm>

#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"
#include "net/dns/dns_query.h"
#include "net/smtp/smtp_cli.h"
#include "platform/error/exception.h"
#include "platform/error/winsock_errors.h"
#include "platform/resolver/host_resolver.h"
#include "platform/time/tick_count.h"

namespace mv {

namespace {

constexpr uint16_t kDnsTypeAaaa = 28;

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

void TSmtpThread::FindServer(const std::string& host) {
    in_addr parsed{};
    if (inet_aton(host.c_str(), &parsed) != 0) return ServerFound(0, {inet_ntoa(parsed)});
    lookup_ = network_layer::Resolver().LookupForward(
        host, [this, alive = token_.Weak()](int error, const std::vector<std::string>& found) {
            if (alive.expired()) return;
            lookup_ = 0;
            ServerFound(error, found);
        });
    if (lookup_ == 0) ServerFound(wsa::kHostNotFound, {});
}

// A host that cannot be found fails as the SMTP client's own lookup would
// have failed: with the lookup's error, after "Opening Connection".
void TSmtpThread::ServerFound(int error, const std::vector<std::string>& addresses) {
    if (error == 0 && addresses.empty()) error = wsa::kNoData;
    if (error != 0) {
        AddLog("Opening Connection");
        return OnSmtpDone(smtpOpen, static_cast<uint16_t>(error));
    }
    const std::string& server = addresses.front();
    placeTicket_ = owner_.Places().Request(server, [this, server, alive = token_.Weak()] {
        if (alive.expired()) return;
        placeTicket_ = 0;
        lastActivity_ = GetTickCount();  // the wait was no idleness
        PlaceGranted(server);
    });
    if (placeTicket_ == 0) return PlaceGranted(server);
    AddLog("Waiting for a free connection to " + server);
}

void TSmtpThread::PlaceGranted(const std::string& server) {
    placeServer_ = server;
    placeGeneration_ = owner_.Places().Generation(server);
    AddLog("Opening Connection");
    OpenHost(server);
}

void TSmtpThread::ReleasePlace() {
    if (placeServer_.empty()) return;
    const std::string server = std::move(placeServer_);
    placeServer_.clear();
    owner_.Places().Release(server);
}

void TSmtpThread::StopWaiting() {
    if (lookup_ != 0) network_layer::Resolver().Cancel(lookup_);
    lookup_ = 0;
    if (placeTicket_ != 0) owner_.Places().Cancel(placeTicket_);
    placeTicket_ = 0;
    if (retryTimer_ != 0) owner_.Loop().StopTimer(retryTimer_);
    retryTimer_ = 0;
}

bool TSmtpThread::TooManyConnections(int error) const {
    if (placeServer_.empty() || firstError_ != 0 || retries_ >= owner_.kMaxRetriesAfter421 ||
        RunAborted())
        return false;
    const DecidingReply& reply = replies_.Current();
    if (reply.stage != SmtpStage::kGreeting && reply.stage != SmtpStage::kHelo) return false;
    return error == 421 || (error < 10000 && SaysTooManyConnections(reply.lines));
}

// The server's limit is lowered, the connection closed (which frees its
// place) and the same host tried again after the pause; the transcript goes
// on with the next try.
void TSmtpThread::TryAgainLater(int error) {
    owner_.Places().TooMany(placeServer_, placeGeneration_);
    if (DropConnection(false)) return;
    ++retries_;
    retryCode_ = error;
    const uint32_t pause = std::max<uint32_t>(owner_.RetryPauseMs(), 1);
    retryTimer_ = owner_.Loop().StartTimer(pause, [this, alive = token_.Weak()] {
        if (alive.expired()) return;
        owner_.Loop().StopTimer(retryTimer_);
        retryTimer_ = 0;
        lastActivity_ = GetTickCount();
        ConnectHost();
    });
}

void TSmtpThread::AttemptEnded(bool connected, int error) {
    attemptOpen_ = false;
    if (!connected && !IsConnectFailure(error)) return;  // no connection was tried
    const std::string& server = smtp_->Socket().Addr();
    owner_.NoteConnectAttempt(server.empty() ? CurrentHost() : server, connected);
}

// The name exists without an IPv4 address: with an IPv6 one the host is only
// out of this computer's reach, without one the name leads nowhere. Either
// way the host fails with 11004; the answer only tells which.
void TSmtpThread::AskForIpv6Address(TSmtpRequest request, uint16_t error) {
    ipv6Asked_ = true;
    ipv6Request_ = request;
    try {
        dns_->SetAddr(owner_.DnsServerList().front());
        ipv6Pending_ = true;
        dns_->Query(hostList_[hostIndex_], kDnsTypeAaaa);
    } catch (const Exception&) {
        ipv6Pending_ = false;
        OnSmtpDone(request, error);
    }
}

void TSmtpThread::Ipv6AddressAnswered(uint16_t error) {
    ipv6Pending_ = false;
    lastActivity_ = GetTickCount();
    const int answers = error == 0 ? std::min<int>(dns_->AnswerCount(), kDnsTableSize) : 0;
    for (int i = 0; i < answers && !ipv6Found_; ++i)
        ipv6Found_ = dns_->AnswerType(i) == kDnsTypeAaaa;
    OnSmtpDone(ipv6Request_, wsa::kNoData);
}

}  // namespace mv

#include "engine/smtp_thread.h"

#include "engine/mail_hosts.h"
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "net/dns/dns_query.h"
#include "net/smtp/smtp_cli.h"
#include "net/smtp/smtp_reply_reader.h"
#include "platform/error/exception.h"
#include "platform/error/winsock_errors.h"
#include "platform/time/tick_count.h"

// The steps of a session (the DNS query, the SMTP client's requests and the
// sockets under them) fail by raising the program's own exceptions
// (EDnsQueryException, SmtpException, ESocketException): those are caught
// here and become the address's result. Anything else is a fault of the
// program, not of the address, and goes on to the message loop.

namespace mv {

namespace {

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

}  // namespace

TSmtpThread::TSmtpThread(TSmtpRelayServer& owner, size_t slot)
    : owner_(owner),
      slot_(slot),
      dns_(std::make_unique<_TDnsQuery>(owner.Loop())),
      smtp_(std::make_unique<_TSmtpCli>(owner.Loop())) {
    lastActivity_ = GetTickCount();
    ++owner_.liveSessions_;
    log_.reserve(100);
    dns_->SetPort(owner_.DnsPort());
    dns_->OnRequestDone = [this](_TDnsQuery*, uint16_t e) { OnDnsDone(e); };
    smtp_->SetSignOn(owner_.Signon());
    smtp_->SetFromName(owner_.From());
    smtp_->SetPort(owner_.SmtpPort());
    smtp_->SetProxy(owner_.Proxy());
    smtp_->Socket().SetConnectTimeOutMs(owner_.ConnectTimeOutMs());
    smtp_->SetFamilies(owner_.PreferIPv6() ? HostFamilies::kIPv6First
                                           : HostFamilies::kIPv6WhenNoIPv4);
    if (!owner_.SourceAddress().empty()) smtp_->Socket().SetLocalAddr(owner_.SourceAddress());
    smtp_->OnRequestDone = [this](_TCustomSmtpClient*, TSmtpRequest r, uint16_t e) {
        OnSmtpDone(r, e);
    };
    smtp_->OnCommand = [this](_TCustomSmtpClient*, const std::string& line) {
        lastActivity_ = GetTickCount();
        replies_.CommandSent(line);
        if (logging_) AddLog(line);
    };
    smtp_->OnResponse = [this](_TCustomSmtpClient*, const std::string& line) {
        // Only a line that completes a reply is a sign of life: a server that
        // sends continuation lines for ever must still time out.
        if (!ParseSmtpStatus(line).continuation) lastActivity_ = GetTickCount();
        if (attemptOpen_) AttemptEnded(true);
        replies_.LineReceived(line);
        if (logging_) AddLog(line);
        logging_ = true;
    };
}

TSmtpThread::~TSmtpThread() = default;

bool TSmtpThread::RunAborted() const {
    return owner_.Aborted();
}

void TSmtpThread::AddLog(std::string line) {
    log_.push_back(std::move(line));
}

void TSmtpThread::Start() {
    checkOnly_ = true;
    ProcessNext();
}

// --- Taking an address and asking for its exchangers -------------------------

void TSmtpThread::ProcessNext() {
    if (ended_) return;
    // The last address's connection is closed before its place is given back.
    if ((!placeGroup_.empty() || placeTicket_ != 0) && DropConnection(false)) return;
    StopWaiting();
    ReleasePlace();
    log_.clear();
    resolving_ = false;
    rcptReply_.reset();
    probing_ = acceptsAll_ = hostsBegun_ = scout_ = tookAsScout_ = false;
    awaitedHost_.clear();
    evidence_.hosts = MailHostSource::kUnknown;
    evidence_.tried.clear();
    evidence_.knownReason.reset();
    hostList_.clear();
    hostIndex_ = 0;
    tries_ = retryCode_ = 0;
    domainId_ = AddressQueues::kNone;
    onConnection_ = 0;
    leaving_ = false;
    if (RunAborted()) return End();
    if (owner_.Held()) {
        parked_ = true;  // Resume goes on from here
        return;
    }
    TSmtpRelayServer::TakenAddress taken;
    const TSmtpRelayServer::Take take = owner_.TakeNextAddress(taken);
    if (ended_) return;  // ended by a report of the dispatcher's own
    if (take == TSmtpRelayServer::Take::kEnd) return End();
    if (take == TSmtpRelayServer::Take::kPark) {
        parked_ = true;
        return owner_.Park(slot_);
    }
    Begin(taken);
}

void TSmtpThread::Begin(TSmtpRelayServer::TakenAddress& taken) {
    recipientIndex_ = taken.index;
    position_ = taken.position;
    address_ = std::move(taken.address);
    domainId_ = taken.domain;
    scout_ = tookAsScout_ = taken.scout;
    placeGroup_ = std::move(taken.group);
    if (!placeGroup_.empty()) placeGeneration_ = owner_.Places().Generation(placeGroup_);
    hasAddress_ = true;
    lastActivity_ = GetTickCount();  // the last address's silence is not this one's
    if (!taken.begun) {
        owner_.RaiseGetData(recipientIndex_);
        if (ended_) return;
    }
    if (!ReadAddress()) {
        // From the loop: a list of broken addresses must not pile up on the stack.
        owner_.Loop().Post([this, alive = token_.Weak()] {
            if (!alive.expired()) ProcessNext();
        });
        return;
    }
    if (taken.resumed) {  // a try again: on where the last try stopped
        TSmtpRelayServer::AddressTry& t = *taken.resumed;
        log_ = std::move(t.log);
        evidence_ = std::move(t.evidence);
        hostList_ = std::move(t.hosts);
        hostIndex_ = t.hostIndex;
        tries_ = t.tries;
        retryCode_ = t.retryCode;
        hostsBegun_ = true;
        smtp_->SetRcptName({rcptAddress_});
        return ConnectHost();
    }
    if (domain_.front() == '[') return StartAtLiteral();
    SendDnsQuery();
}

void TSmtpThread::SendDnsQuery() {
    try {
        const std::string& server = owner_.DnsServerList().front();
        LogDnsRequest();
        resolving_ = true;
        const uint32_t generation = ++dnsGeneration_;
        if (const MxAnswer* known = owner_.MxAnswers().Find(domain_)) {
            // From the loop: a list of addresses that all fail at once from
            // the cache must not pile up on the stack.
            cached_ = *known;
            owner_.Loop().Post([this, generation, alive = token_.Weak()] {
                if (alive.expired() || !resolving_ || generation != dnsGeneration_ || inWait_)
                    return;
                resolving_ = false;
                ApplyMxAnswer(cached_);
            });
            return;
        }
        dns_->SetAddr(server);
        dns_->QueryMX(domain_);
    } catch (const ESocketException& e) {
        resolving_ = false;
        // Out of descriptors and the like: that is the address's result.
        if (e.ErrorCode() != 0) {
            AddLog("DNS Search error :" + WsaErrorNumberText(e.ErrorCode()));
            Report(e.ErrorCode());
            // The next address begins from the loop: when every address fails
            // at once (no descriptors left), doing it here would pile one
            // address upon the other on the stack.
            owner_.Loop().Post([this, alive = token_.Weak()] {
                if (!alive.expired()) ProcessNext();
            });
        }
        // Other errors are dropped: the session waits for the watchdog.
    } catch (const Exception&) {
        // A domain the query cannot carry: the session waits for the watchdog.
        resolving_ = false;
    }
}

void TSmtpThread::LogDnsRequest() {
    AddLog("Requesting SMTP servers for this domain (" + domain_ + ")");
    AddLog("Trying DNS Server " + Quoted(owner_.DnsServerList().front()));
    AddLog("Sending DNS Request");
}

void TSmtpThread::OnDnsDone(uint16_t error) {
    if (ended_ || inWait_) return;
    if (!resolving_) return;  // not the answer we wait for
    resolving_ = false;
    if (error != 0) {
        lastActivity_ = GetTickCount();
        hostList_.clear();
        evidence_.hosts = MailHostSource::kDnsFailed;
        ScoutDone({});
        AddLog("DNS Search error :" + WsaErrorNumberText(error));
        return StartSmtp();
    }
    MxAnswer answer = ReadMxAnswer(*dns_, domain_);
    // The cache takes the answer itself; the session reads the kept one.
    const MxAnswer* kept = owner_.MxAnswers().Adopt(domain_, answer);
    ApplyMxAnswer(kept != nullptr ? *kept : answer);
}

void TSmtpThread::ApplyMxAnswer(const MxAnswer& answer) {
    lastActivity_ = GetTickCount();
    hostList_.clear();
    evidence_.hosts = MailHostSource::kDnsFailed;
    if (answer.failure != 0) {
        ScoutDone({});
        if (!RunAborted()) {
            AddLog("DNS Search error :" + std::to_string(answer.failure));
            Report(answer.failure);
            return ProcessNext();
        }
        return StartSmtp();
    }
    hostList_ = answer.hosts;
    evidence_.hosts = answer.source;
    for (const std::string& line : answer.lines)
        AddLog(line);
    ScoutDone(hostList_);
    // A null MX: no host to try, the domain accepts no mail.
    if (evidence_.hosts == MailHostSource::kNullMx && !RunAborted()) {
        Report(wsa::kHostNotFound);
        return ProcessNext();
    }
    StartSmtp();
}

void TSmtpThread::ScoutDone(const std::vector<std::string>& hosts) {
    if (!scout_) return;
    scout_ = false;
    owner_.ScoutAnswered(domainId_, hosts);
}

// --- Talking to the hosts -------------------------------------------------------

void TSmtpThread::StartSmtp() {
    if (RunAborted()) {
        AddLog("Aborted");
        Report(ResultAborted);
        return ProcessNext();
    }
    if (hostList_.empty()) {
        Report(ResultInvalidDomain);
        return ProcessNext();
    }
    hostIndex_ = 0;
    hostsBegun_ = true;
    smtp_->SetRcptName({rcptAddress_});
    ConnectHost();
}

void TSmtpThread::ConnectHost() {
    lastError_ = 0;
    logging_ = true;
    firstError_ = 0;
    rcptReply_.reset();
    lastReply_ = firstReply_ = {};
    probing_ = false;
    attemptOpen_ = ipv6Only_ = false;
    smtp_->SetEhlo(smtputf8_);
    smtp_->SetMailParameters({});
    hostGroup_.clear();
    onConnection_ = 0;
    const bool polite = owner_.Places().Active();
    try {
        if (DropConnection(false)) return;
        replies_.BeginHost();
        if (retryCode_ != 0) AddLog("Trying again after " + std::to_string(retryCode_));
        retryCode_ = 0;
        hostLogStart_ = log_.size();
        AddLog("Trying SMTP host " + Quoted(hostList_[hostIndex_]));
        if (!polite) AddLog("Opening Connection");
    } catch (const Exception&) {
        Report(ResultOpenFailed);
        return ProcessNext();
    }
    // Outside the handler above: these go on to the host's outcome.
    if (polite) return AcquirePlace();
    OpenHost(hostList_[hostIndex_]);
}

void TSmtpThread::OnSmtpDone(TSmtpRequest request, uint16_t error) {
    if (ended_ || inWait_) return;
    if (leaving_) return LeftConnection();
    if (!hasAddress_) return;
    lastActivity_ = GetTickCount();
    if (attemptOpen_) AttemptEnded(false, error);
    if (probing_) return ProbeDone(error);
    if (error >= 10000 && LostWithConnection()) return;
    if (error == wsa::kNetUnreach || error == wsa::kHostUnreach) NoteIpv6Only();
    const bool opening = request == smtpConnect || request == smtpOpen;
    if (smtp_->Ehlo() && opening && error >= 500 && error < 600 &&
        replies_.Current().stage == SmtpStage::kHelo)
        return EhloRefused(error);
    lastError_ = error;
    if (error != 0) {
        // A lost connection (socket errors are 10000 and up) is no reply.
        lastReply_.stage = replies_.Current().stage;
        lastReply_.lines = error < 10000 ? replies_.Current().lines : std::string();
    }
    if (request == smtpRcptTo && error < 10000) {
        if (TooManyRecipients(error)) return;
        CountRcptReply(error);
        rcptReply_ = error;
        rcptAnswer_ = replies_.Current();
    }
    if (error == 0) return OnSmtpSuccess(request);
    if (ServerPauses(error) && PauseServer(error)) return;
    if (error == wsa::kTimedOut) NoteServerFailure(error);
    if (rcptReply_ && request != smtpRcptTo) return DecideByRcptReply();
    if (firstError_ == 0) {
        firstError_ = error;
        firstReply_ = lastReply_;
        return EndHost();
    }
    // A second failure at this host.
    if (RunAborted()) {
        Report(ResultAborted);
        return ProcessNext();
    }
    NextHost();
}

void TSmtpThread::OnSmtpSuccess(TSmtpRequest request) {
    const bool aborted = RunAborted();
    switch (request) {
        case smtpConnect:  // the end of Open: connected, greeted, HELO accepted
        case smtpOpen:
        case smtpHelo:  // HELO after a refused EHLO
            if (!hostGroup_.empty()) owner_.ServerSucceeded(hostGroup_);
            ConnectionOpened();
            if (aborted) return EndHost();
            if (smtputf8_ && !GreetedForSmtputf8()) return;
            try {
                smtp_->MailFrom();
            } catch (const Exception&) {
                Report(ResultMailFromFailed);
                ProcessNext();
            }
            return;
        case smtpMailFrom:
            if (aborted) return EndHost();
            try {
                smtp_->RcptTo();
            } catch (const Exception&) {
                Report(ResultRcptFailed);
                ProcessNext();
            }
            return;
        case smtpRcptTo:
            return AfterAccepted();  // only checking: never DATA
        case smtpRset:
            if (ContinueOnConnection()) return;
            try {
                smtp_->Quit();
            } catch (const Exception&) {
                Report(ResultQuitFailed);
                ProcessNext();
            }
            return;
        case smtpQuit:
            if (aborted) {
                Report(ResultAborted);
                return ProcessNext();
            }
            if (firstError_ != 0) {
                lastError_ = firstError_;
                lastReply_ = firstReply_;
                return NextHost();
            }
            Report(ResultValid, &rcptAnswer_);
            return ProcessNext();
        default:
            return;
    }
}

// Leaves the current host politely: RSET (not logged), then QUIT.
void TSmtpThread::EndHost() {
    if (!smtp_->Connected()) return rcptReply_ ? DecideByRcptReply() : NextHost();
    logging_ = false;
    try {
        smtp_->Rset();
    } catch (const Exception&) {
        try {
            smtp_->Quit();
        } catch (const Exception&) {
            if (rcptReply_) return DecideByRcptReply();
            Report(ResultQuitFailed);
            ProcessNext();
        }
    }
}

// The host has said whether it takes the address; how the connection ends
// afterwards tells nothing about the address. An accepted address is valid;
// a refused one leaves the host with the refusal as its error, as if RSET and
// QUIT had been answered.
void TSmtpThread::DecideByRcptReply() {
    const int reply = rcptReply_.value_or(0);
    rcptReply_.reset();
    if (DropConnection(false)) return;
    if (RunAborted()) {
        Report(ResultAborted);
        return ProcessNext();
    }
    if (reply == 0) {
        Report(ResultValid, &rcptAnswer_);
        return ProcessNext();
    }
    lastError_ = reply;
    lastReply_ = rcptAnswer_;
    NextHost();
}

void TSmtpThread::NextHost() {
    NoteHostOutcome(lastError_, &lastReply_);
    if (DropConnection(false)) return;
    ++hostIndex_;
    if (hostIndex_ < hostList_.size()) return ConnectHost();
    Report(lastError_, &lastReply_);
    ProcessNext();
}

}  // namespace mv

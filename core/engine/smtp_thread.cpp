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

constexpr size_t kMaxDomain = 10000;

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
    if (!placeServer_.empty() && DropConnection(false)) return;
    log_.clear();
    resolving_ = false;
    rcptReply_.reset();
    probing_ = acceptsAll_ = hostsBegun_ = ipv6Pending_ = false;
    awaitedHost_.clear();
    evidence_.hosts = MailHostSource::kUnknown;
    evidence_.tried.clear();
    hostList_.clear();
    hostIndex_ = 0;
    retries_ = retryCode_ = 0;
    if (RunAborted()) return End();
    if (owner_.Held()) {
        parked_ = true;  // Resume goes on from here
        return;
    }
    int index = 0;
    if (!owner_.TakeNextAddress(index, address_)) return End();
    recipientIndex_ = index;
    hasAddress_ = true;
    owner_.RaiseGetData(index);
    if (ended_) return;
    const auto at = address_.find('@');
    domain_ = at == std::string::npos ? address_ : address_.substr(at + 1);
    if (domain_.size() > kMaxDomain) domain_.resize(kMaxDomain);
    if (domain_.empty()) return;  // idle until the watchdog expires it
    SendDnsQuery();
}

void TSmtpThread::SendDnsQuery() {
    try {
        const std::string server = owner_.DnsServerList().front();
        dns_->SetAddr(server);
        AddLog("Requesting SMTP servers for this domain (" + domain_ + ")");
        AddLog("Trying DNS Server " + Quoted(server));
        AddLog("Sending DNS Request");
        resolving_ = true;
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

void TSmtpThread::OnDnsDone(uint16_t error) {
    if (ended_ || inWait_) return;
    if (ipv6Pending_) return Ipv6AddressAnswered(error);
    if (!resolving_) return;  // not the answer we wait for
    resolving_ = false;
    lastActivity_ = GetTickCount();
    hostList_.clear();
    evidence_.hosts = MailHostSource::kDnsFailed;
    const int failure = error == 0 ? DnsRcodeFailure(dns_->ResponseCode()) : 0;
    if (failure != 0 && !RunAborted()) {
        AddLog("DNS Search error :" + std::to_string(failure));
        Report(failure);
        return ProcessNext();
    }
    if (error != 0) {
        AddLog("DNS Search error :" + WsaErrorNumberText(error));
        return StartSmtp();
    }
    std::vector<std::string> lines;
    evidence_.hosts = ReadMailHosts(*dns_, domain_, hostList_, lines);
    for (std::string& line : lines)
        AddLog(std::move(line));
    // A null MX: no host to try, the domain accepts no mail.
    if (evidence_.hosts == MailHostSource::kNullMx && !RunAborted()) {
        Report(wsa::kHostNotFound);
        return ProcessNext();
    }
    StartSmtp();
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
    smtp_->SetRcptName({address_});
    ConnectHost();
}

void TSmtpThread::ConnectHost() {
    lastError_ = 0;
    logging_ = true;
    firstError_ = 0;
    rcptReply_.reset();
    lastReply_ = firstReply_ = {};
    probing_ = false;
    attemptOpen_ = ipv6Asked_ = ipv6Found_ = false;
    const bool polite = owner_.Places().Active();
    try {
        if (DropConnection(false)) return;
        replies_.BeginHost();
        if (retryCode_ != 0) AddLog("Trying again after " + std::to_string(retryCode_));
        retryCode_ = 0;
        AddLog("Trying SMTP host " + Quoted(hostList_[hostIndex_]));
        if (!polite) AddLog("Opening Connection");
    } catch (const Exception&) {
        Report(ResultOpenFailed);
        return ProcessNext();
    }
    // Outside the handler above: these go on to the host's outcome.
    if (polite) return FindServer(hostList_[hostIndex_]);
    OpenHost(hostList_[hostIndex_]);
}

void TSmtpThread::OnSmtpDone(TSmtpRequest request, uint16_t error) {
    if (ended_ || inWait_ || !hasAddress_) return;
    lastActivity_ = GetTickCount();
    if (attemptOpen_) AttemptEnded(false, error);
    if (probing_) return ProbeDone(error);
    // Through a proxy, a lookup that fails is the proxy's own.
    if (error == wsa::kNoData && !ipv6Asked_ && !RunAborted() && !owner_.Proxy().Enabled())
        return AskForIpv6Address(request, error);
    lastError_ = error;
    if (error != 0) {
        // A lost connection (socket errors are 10000 and up) is no reply.
        lastReply_.stage = replies_.Current().stage;
        lastReply_.lines = error < 10000 ? replies_.Current().lines : std::string();
    }
    if (request == smtpRcptTo && error < 10000) {
        rcptReply_ = error;
        rcptAnswer_ = replies_.Current();
    }
    if (error == 0) return OnSmtpSuccess(request);
    if (TooManyConnections(error)) return TryAgainLater(error);
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
            if (aborted) return EndHost();
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

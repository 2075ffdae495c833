#include "engine/smtp_relay_server.h"

#include <algorithm>

#include "engine/smtp_thread.h"
#include "platform/resolver/host_resolver.h"
#include "platform/resolver/system_name_servers.h"
#include "platform/text/text_trim.h"
#include "platform/time/tick_count.h"

namespace mv {

namespace {

// The longest recheck delay: a day (tick differences must stay below 2^31).
constexpr uint32_t kMaxRecheckDelayMs = 86400u * 1000u;

}  // namespace

TSmtpRelayServer::TSmtpRelayServer(MessageLoop& loop)
    : loop_(loop), systemNameServers_([] { return SystemNameServers(); }), places_(loop) {
    std::random_device seed;
    random_.seed((static_cast<uint64_t>(seed()) << 32) ^ seed());
}

TSmtpRelayServer::~TSmtpRelayServer() {
    StopTimers();
    // Sessions still running at destruction end without reports.
    for (auto& s : sessions_)
        s.reset();
}

// --- Properties -------------------------------------------------------------------

void TSmtpRelayServer::CheckIdle() const {
    if (busy_) throw TSmtpRelayServerException("Component is busy");
}

void TSmtpRelayServer::SetConnections(int value) {
    CheckIdle();
    connections_ = value <= 0 ? 1 : value;
}

void TSmtpRelayServer::SetTimeOut(int seconds) {
    CheckIdle();
    timeOut_ = seconds <= 0 ? 60 : seconds;
}

void TSmtpRelayServer::SetDns(const std::string& value) {
    CheckIdle();
    dns_ = TrimBlanks(value);
}

void TSmtpRelayServer::SetInternalDns(const std::string& value) {
    CheckIdle();
    internalDns_ = TrimBlanks(value);
}

void TSmtpRelayServer::SetRecipients(TRecipientList value) {
    CheckIdle();
    recipients_ = std::move(value);
}

void TSmtpRelayServer::SetSmtpPort(const std::string& value) {
    CheckIdle();
    smtpPort_ = value;
}

void TSmtpRelayServer::SetProxy(const SocksProxy& value) {
    CheckIdle();
    proxy_ = value;
}

void TSmtpRelayServer::SetDnsPort(const std::string& value) {
    CheckIdle();
    dnsPort_ = value;
}

void TSmtpRelayServer::SetConnectTimeOutMs(uint32_t ms) {
    CheckIdle();
    connectTimeOutMs_ = ms;
}

void TSmtpRelayServer::SetSystemNameServerSource(std::function<std::string()> source) {
    systemNameServers_ = std::move(source);
}

void TSmtpRelayServer::SetAcceptAllProbe(bool on) {
    CheckIdle();
    acceptAllProbe_ = on;
}

void TSmtpRelayServer::SetRecheckDeferredMs(uint32_t ms) {
    CheckIdle();
    recheckDeferredMs_ = std::min(ms, kMaxRecheckDelayMs);
}

void TSmtpRelayServer::SetPerServer(int value) {
    CheckIdle();
    perServer_ = std::max(value, 0);
}

void TSmtpRelayServer::SetPerServerRate(int value) {
    CheckIdle();
    perServerRate_ = std::max(value, 0);
}

void TSmtpRelayServer::SetRetryPauseMs(uint32_t ms) {
    CheckIdle();
    retryPauseMs_ = std::min(ms, kMaxRecheckDelayMs);
}

void TSmtpRelayServer::SetSourceAddress(const std::string& value) {
    CheckIdle();
    sourceAddress_ = TrimBlanks(value);
}

void TSmtpRelayServer::SetWarnings(bool on) {
    CheckIdle();
    warnings_ = on;
}

// --- DNS servers -----------------------------------------------------------------

std::vector<std::string> TSmtpRelayServer::SplitServers(const std::string& text) {
    std::vector<std::string> entries;
    std::string rest = text;
    while (!rest.empty()) {
        const auto sep = rest.find(' ');
        if (sep == std::string::npos) {
            entries.push_back(rest);
            break;
        }
        entries.push_back(rest.substr(0, sep));
        rest = TrimBlanks(rest.substr(sep + 1));
    }
    return entries;
}

void TSmtpRelayServer::BuildDnsServerList() {
    dnsServerList_ = SplitServers(dns_);
    if (dnsServerList_.empty() && systemNameServers_)
        dnsServerList_ = SplitServers(TrimBlanks(systemNameServers_()));
    if (dnsServerList_.empty()) dnsServerList_ = SplitServers(internalDns_);
    if (dnsServerList_.empty()) throw TSmtpRelayServerException("No DNS SERVER Available");
}

// --- A run ---------------------------------------------------------------------

void TSmtpRelayServer::Verify() {
    if (busy_) throw TSmtpRelayServerException("Component is busy");
    if (finishTimer_ != 0) OnFinishTimer();  // the last run's end comes first
    if (from_.empty()) throw TSmtpRelayServerException("FROM property is empty");
    busy_ = true;
    aborted_ = false;
    held_ = false;
    watchdog_ = loop_.StartTimer(static_cast<uint32_t>(timeOut_) * 1000u, [this] { OnWatchdog(); });
    liveSessions_ = 0;
    probes_.Reset();
    rechecks_.clear();
    rechecksTaken_.clear();
    places_.Reset(perServer_, perServerRate_);
    runWarnings_.Reset();
    proxy_.NewRun();  // the proxy's name is looked up once per run
    try {
        BuildDnsServerList();
        sessions_.clear();
        nextIndex_ = 0;
        StartSessions();
    } catch (...) {
        busy_ = false;
        StopTimers();
        throw;
    }
}

void TSmtpRelayServer::StartSessions() {
    sessionsToStart_ = std::min(static_cast<size_t>(connections_), recipients_.size());
    sessions_.reserve(sessionsToStart_);
    // A run without addresses has nothing to wait for: it ends at once
    // (instead of staying busy for ever).
    if (sessionsToStart_ == 0) SessionEnded(SIZE_MAX);
    StartSlice();
}

// Starts the next slice of the run's sessions and posts the one after it.
// Sessions may end while a slice starts (an address without a domain, a DNS
// query that cannot be sent); the run ends here once every session has been
// started and none is left.
void TSmtpRelayServer::StartSlice() {
    for (size_t n = 0; n < kStartSlice && sessionsToStart_ > 0 && !aborted_; ++n) {
        StartSession();
        --sessionsToStart_;
    }
    // Rechecks that came due meanwhile may have filled the connections: the
    // sessions that run take the remaining addresses themselves.
    if (aborted_ || liveSessions_ >= connections_) sessionsToStart_ = 0;
    if (sessionsToStart_ > 0) {
        loop_.Post([this, alive = token_.Weak()] {
            if (!alive.expired() && busy_) StartSlice();
        });
    } else if (busy_ && liveSessions_ == 0 && finishTimer_ == 0) {
        SessionEnded(SIZE_MAX);
    }
}

bool TSmtpRelayServer::TakeNextAddress(int& index, std::string& address) {
    // A deferred address whose delay is over comes before the next new one.
    if (RecheckDue()) {
        index = rechecks_.front().index;
        rechecks_.pop_front();
        address = recipients_[static_cast<size_t>(index)].Text;
        ArmRecheckTimer();
        return true;
    }
    if (nextIndex_ >= recipients_.size()) return TakeFedAddress(index, address);
    index = static_cast<int>(nextIndex_);
    address = recipients_[nextIndex_].Text;
    ++nextIndex_;
    return true;
}

void TSmtpRelayServer::RaiseGetData(int index) {
    if (OnGetData) OnGetData(this, index);
}

void TSmtpRelayServer::RaiseEMailProcessed(int index, int err, const std::vector<std::string>& log,
                                           const ResultFinding& finding, const std::string& domain,
                                           const std::string& awaitedHost) {
    if (warnings_ && !aborted_) {
        if (auto warning = runWarnings_.Result(err, finding.reason, finding.host)) Warn(*warning);
    }
    if (!awaitedHost.empty() && !aborted_ && finding.reason == Reason::kAccepted) {
        AcceptAllProbes::HeldReport report{index, err, log, finding};
        if (probes_.Hold(domain, awaitedHost, report)) return;
        return Deliver(index, err, log, report.finding);  // with the answer learnt meanwhile
    }
    Deliver(index, err, log, finding);
}

void TSmtpRelayServer::Deliver(int index, int err, const std::vector<std::string>& log,
                               const ResultFinding& finding) {
    TResultInfo info;
    info.finding = finding;
    info.final = !ScheduleRecheck(index, err, log, info);
    if (OnEMailProcessed) OnEMailProcessed(this, index, err, log, info);
}

void TSmtpRelayServer::SessionEnded(size_t slot) {
    if (slot < sessions_.size() && sessions_[slot]) {
        // Retired, not freed: the session's own code is still on the stack.
        loop_.DeleteLater(std::move(sessions_[slot]));
        --liveSessions_;
    }
    if (liveSessions_ > 0 || sessionsToStart_ > 0) return;
    if (probes_.Holding() > 0) return PostRelease();  // the run ends once they are out
    if (FeedKeepsRunOpen()) return;
    if (!rechecks_.empty()) {
        ArmRecheckTimer();  // the run goes on when the next one is due
        return;
    }
    busy_ = false;
    feedOpen_ = false;
    if (finishTimer_ == 0) finishTimer_ = loop_.StartTimer(100, [this] { OnFinishTimer(); });
}

void TSmtpRelayServer::OnFinishTimer() {
    StopTimers();
    busy_ = false;
    if (OnFinished) OnFinished(this, aborted_);
}

void TSmtpRelayServer::StopTimers() {
    if (watchdog_ != 0) loop_.StopTimer(watchdog_);
    if (finishTimer_ != 0) loop_.StopTimer(finishTimer_);
    if (recheckTimer_ != 0) loop_.StopTimer(recheckTimer_);
    watchdog_ = finishTimer_ = recheckTimer_ = 0;
}

void TSmtpRelayServer::OnWatchdog() {
    try {
        // By slot number: sessions may end (and empty their slots) meanwhile.
        for (size_t slot = 0; slot < sessions_.size(); ++slot) {
            TSmtpThread* s = sessions_[slot].get();
            // A session waiting for a place at its mail server is not idle.
            if (s == nullptr || s->Waiting()) continue;
            const double idle = TickDiff(GetTickCount(), s->LastActivity()) / 1000.0;
            if (idle > timeOut_) s->TimeOut();
        }
    } catch (const Exception&) {
        // A session failed to end its connection: the walk of this tick
        // stops, and the next tick takes the sessions not reached.
    }
}

void TSmtpRelayServer::Abort() {
    if (!busy_) return;
    aborted_ = true;
    sessionsToStart_ = 0;
    ReportWaitingAsFinal();
    ReportHeld();
    try {
        for (size_t slot = 0; slot < sessions_.size(); ++slot) {
            TSmtpThread* s = sessions_[slot].get();
            if (s != nullptr) s->UserAbort();
        }
    } catch (const Exception&) {
        // The sessions not reached see the flag at their next step.
    }
    if (liveSessions_ == 0) SessionEnded(SIZE_MAX);  // only waiting addresses were left
}

// --- The accept-all probe ----------------------------------------------------------

std::string TSmtpRelayServer::MadeUpLocalPart() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    std::string local(24, ' ');
    for (char& c : local)
        c = kAlphabet[pick(random_)];
    return local;
}

// --- Deferred addresses ----------------------------------------------------------

bool TSmtpRelayServer::ScheduleRecheck(int index, int err, const std::vector<std::string>& log,
                                       const TResultInfo& info) {
    if (recheckDeferredMs_ == 0 || aborted_ || info.finding.reason != Reason::kDeferred)
        return false;
    int& taken = rechecksTaken_[index];
    if (taken >= kMaxRechecks) return false;
    ++taken;
    rechecks_.push_back({index, GetTickCount() + recheckDeferredMs_, err, log, info});
    ArmRecheckTimer();
    return true;
}

bool TSmtpRelayServer::RecheckDue() const {
    return !rechecks_.empty() && TickDiff(GetTickCount(), rechecks_.front().due) >= 0;
}

std::optional<uint32_t> TSmtpRelayServer::NextRecheckInMs() const {
    if (rechecks_.empty()) return std::nullopt;
    const int32_t left = TickDiff(rechecks_.front().due, GetTickCount());
    return static_cast<uint32_t>(std::max(left, 0));
}

// One timer, armed for the first waiting address.
void TSmtpRelayServer::ArmRecheckTimer() {
    if (recheckTimer_ != 0 || rechecks_.empty()) return;
    const uint32_t wait = std::max<uint32_t>(NextRecheckInMs().value_or(0), 1);
    recheckTimer_ = loop_.StartTimer(wait, [this] { OnRecheckTimer(); });
}

// Starts sessions for the due addresses while connections are free; with
// every connection in use, the next session that finishes its address takes
// the first due one.
void TSmtpRelayServer::OnRecheckTimer() {
    loop_.StopTimer(recheckTimer_);
    recheckTimer_ = 0;
    while (!aborted_ && !held_ && RecheckDue() && liveSessions_ < connections_)
        StartSession();
    if (!RecheckDue()) ArmRecheckTimer();
}

void TSmtpRelayServer::StartSession() {
    size_t slot = 0;
    while (slot < sessions_.size() && sessions_[slot])
        ++slot;
    if (slot == sessions_.size()) sessions_.emplace_back();
    sessions_[slot] = std::make_unique<TSmtpThread>(*this, slot);
    sessions_[slot]->Start();
}

void TSmtpRelayServer::ReportWaitingAsFinal() {
    if (recheckTimer_ != 0) loop_.StopTimer(recheckTimer_);
    recheckTimer_ = 0;
    while (!rechecks_.empty()) {
        WaitingRecheck waiting = std::move(rechecks_.front());
        rechecks_.pop_front();
        if (OnEMailProcessed)
            OnEMailProcessed(this, waiting.index, waiting.code, waiting.log, waiting.info);
    }
}

}  // namespace mv

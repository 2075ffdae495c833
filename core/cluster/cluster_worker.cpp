#include "cluster/cluster_worker.h"

#include <algorithm>
#include <ctime>

#include "cluster/cluster_keys.h"
#include "net/socket/local_address.h"
#include "platform/text/text_trim.h"
#include "project/run/address_text.h"

namespace mv::cluster {

namespace {

constexpr uint32_t kFirstBackoffMs = 500;
constexpr uint32_t kLastBackoffMs = 30000;

uint32_t NextBackoff(uint32_t ms) {
    return ms == 0 ? kFirstBackoffMs : std::min(ms * 2, kLastBackoffMs);
}

long long NumberOr(const FieldList& fields, const char* name, long long fallback) {
    const std::string* text = FindField(fields, name);
    RedisValue v;
    v.type = RedisValue::Type::kString;
    if (text != nullptr) v.text = *text;
    return text != nullptr ? v.AsInteger().value_or(fallback) : fallback;
}

}  // namespace

void ApplyCheckSettings(const CheckSettings& s, TSmtpRelayServer& d) {
    d.SetFrom(ExtractAddress(s.from));
    if (d.From().empty())
        throw ECheckRunError(
            "Please provide a valid e-mail address for the FROM field (Tools | Options)");
    d.SetDns(TrimBlanks(s.dnsPrimary + " " + s.dnsSecondary));
    d.SetSignon(s.hostFromDomain == 1 ? DomainOf(d.From()) : s.host);
    if (s.proxyEnabled && FindSocksProxyFault(s.proxy) != SocksProxyFault::kNone)
        throw ECheckRunError(CheckRun::kProxyServerMissing);
    if (CheckLocalAddress(s.sourceAddress) != LocalAddressFault::kNone)
        throw ECheckRunError(CheckRun::kSourceAddressInvalid);
    d.SetProxy(s.proxyEnabled ? s.proxy : SocksProxy{});
    d.SetConnections(s.connections);
    d.SetTimeOut(s.timeOut);
    d.SetPerServer(std::clamp(s.perServer, 0, CheckSettings::kMaxStoredValue));
    d.SetPerServerRate(std::clamp(s.perServerRate, 0, CheckSettings::kMaxPerServerRate));
    d.SetSourceAddress(s.sourceAddress);
}

ClusterWorker::ClusterWorker(MessageLoop& loop, RedisUrl url, WorkerOptions options)
    : loop_(loop),
      url_(std::move(url)),
      options_(std::move(options)),
      commands_(loop),
      reader_(loop),
      scripts_(commands_) {
    commands_.OnLost = [this](const std::string& m) { CommandsLost(m); };
    reader_.OnLost = [this](const std::string& m) { ReaderLost(m); };
}

ClusterWorker::~ClusterWorker() {
    if (refreshTimer_ != 0) loop_.StopTimer(refreshTimer_);
    if (watchTimer_ != 0) loop_.StopTimer(watchTimer_);
    for (auto& [name, run] : runs_)
        if (run.dispatcher) {
            run.dispatcher->OnGetData = nullptr;
            run.dispatcher->OnEMailProcessed = nullptr;
            run.dispatcher->OnFinished = nullptr;
            run.dispatcher->OnWarning = nullptr;
        }
}

void ClusterWorker::Start(std::function<void(const std::string& error)> failed) {
    failed_ = std::move(failed);
    ConnectCommands();
}

void ClusterWorker::Later(uint32_t ms, std::function<void()> fn) {
    auto id = std::make_shared<MessageLoop::TimerId>(0);
    *id = loop_.StartTimer(ms, [this, id, alive = token_.Weak(), fn = std::move(fn)] {
        loop_.StopTimer(*id);
        if (!alive.expired()) fn();
    });
}

void ClusterWorker::Say(const std::string& message) const {
    if (OnMessage) OnMessage(message);
}

ClusterWorker::Run* ClusterWorker::FindRun(const std::string& name) {
    const auto it = runs_.find(name);
    return it == runs_.end() ? nullptr : &it->second;
}

// --- Connections ---------------------------------------------------------------

void ClusterWorker::ConnectCommands() {
    commands_.Connect(url_, [this](const std::string& error) {
        if (!error.empty()) {
            if (!started_) {
                if (failed_) failed_(error);
                return;
            }
            return CommandsLost(error);
        }
        commandsBackoffMs_ = 0;
        for (auto& [name, run] : runs_)
            run.readOwnPending = true;
        if (!started_) {
            started_ = true;
            Say("connected to " + url_.Display() + " (Redis " + commands_.ServerVersion() + ")");
            refreshTimer_ = loop_.StartTimer(options_.refreshMs, [this] { Refresh(); });
            watchTimer_ = loop_.StartTimer(1000, [this] { WatchRuns(); });
            ConnectReader();
        }
        Refresh();
        Flush();
        ReadMore();
    });
}

void ClusterWorker::ConnectReader() {
    reader_.Connect(url_, [this](const std::string& error) {
        if (!error.empty()) return ReaderLost(error);
        readerBackoffMs_ = 0;
        ReadMore();
    });
}

void ClusterWorker::CommandsLost(const std::string& message) {
    if (commandsBackoffMs_ == 0) Say("lost " + message + "; connecting again");
    commandsBackoffMs_ = NextBackoff(commandsBackoffMs_);
    // What was out may or may not have been carried out: it goes again, and
    // a result as a resend.
    for (auto& [seq, w] : outbox_)
        if (w.sent) {
            w.sent = false;
            if (w.script == Script::kReport && !w.plain) w.args[9] = "1";
        }
    Later(commandsBackoffMs_, [this] { ConnectCommands(); });
}

void ClusterWorker::ReaderLost(const std::string& message) {
    reading_ = false;
    readerBackoffMs_ = NextBackoff(readerBackoffMs_);
    if (readerBackoffMs_ == kFirstBackoffMs && commands_.Connected()) Say("lost " + message);
    Later(readerBackoffMs_, [this] { ConnectReader(); });
}

// --- Runs ----------------------------------------------------------------------

void ClusterWorker::Refresh() {
    Heartbeat();
    if (stopping_ || held_) return;
    commands_.Command({"SMEMBERS", kRunsKey}, [this](const RedisValue& r) { ReadRuns(r); });
}

// A cancel must reach the rows in flight before they end by themselves.
void ClusterWorker::WatchRuns() {
    for (auto& [name, run] : runs_) {
        if (run.cancelled) continue;
        commands_.Command({"HGET", RunKey(name), run_field::kState},
                          [this, name = name](const RedisValue& r) {
                              Run* joined = FindRun(name);
                              if (joined == nullptr || joined->cancelled) return;
                              if (r.IsNil() || r.text == kStateCancelled) CancelRun(*joined);
                          });
    }
}

void ClusterWorker::ReadRuns(const RedisValue& names) {
    if (!names.IsArray()) return;
    std::unordered_set<std::string> listed;
    for (const RedisValue& n : names.elements) {
        if (!n.IsText() || !ValidRunName(n.text)) continue;
        listed.insert(n.text);
        commands_.Command({"HGETALL", RunKey(n.text)}, [this, name = n.text](const RedisValue& r) {
            if (auto fields = ReadFieldList(r)) JoinRun(name, *fields);
        });
    }
    std::vector<std::string> gone;
    for (const auto& [name, run] : runs_)
        if (listed.count(name) == 0) gone.push_back(name);
    for (const std::string& name : gone)
        LeaveRun(name);
}

void ClusterWorker::JoinRun(const std::string& name, const FieldList& description) {
    const std::string* state = FindField(description, run_field::kState);
    // A run whose description is not written yet is joined at the next look.
    if (state == nullptr || FindField(description, run_field::kTotal) == nullptr || stopping_ ||
        held_)
        return;
    if (Run* run = FindRun(name)) {
        if (*state == kStateCancelled && !run->cancelled) CancelRun(*run);
        return;
    }
    const long long rows = NumberOr(description, run_field::kRows, -1);
    const long long done = NumberOr(description, run_field::kDone, 0);
    if (*state == kStateCancelled || (*state == kStateOpen && rows >= 0 && done >= rows)) return;
    Run run;
    run.name = name;
    run.total = static_cast<size_t>(std::max(0LL, NumberOr(description, run_field::kTotal, 0)));
    run.probe = NumberOr(description, run_field::kProbe, 1) != 0;
    run.recheckMs = static_cast<uint32_t>(
        std::clamp(NumberOr(description, run_field::kRecheck, 0), 0LL, 86400LL) * 1000);
    run.claimAfterMs = static_cast<uint32_t>(
        std::clamp(NumberOr(description, run_field::kClaimAfter, kDefaultClaimAfterSeconds), 1LL,
                   86400LL) *
        1000);
    Run& joined = runs_.emplace(name, std::move(run)).first->second;
    try {
        Attach(joined);
    } catch (const Exception& e) {
        runs_.erase(name);
        if (OnFatal) OnFatal(e.what());
        return;
    }
    commands_.Command({"XGROUP", "CREATE", WorkKey(name), kGroup, "0", "MKSTREAM"},
                      [this](const RedisValue&) { ReadMore(); });  // BUSYGROUP: it was there
    Say("joined run " + name);
}

// The run's rows still in this worker's hands end as the engine's abort
// gives them (-8); those not begun go unreported, as the run removed them.
void ClusterWorker::CancelRun(Run& run) {
    run.cancelled = true;
    Say("run " + run.name + " was cancelled");
    std::vector<std::string> ids;
    for (const TRecipientEntry& e : run.dispatcher->TakeBackFed()) {
        const auto it = jobs_.find(e.Tag);
        if (it == jobs_.end()) continue;
        ids.push_back(it->second.item.id);
        inHand_.erase(run.name + " " + it->second.item.id);
        jobs_.erase(it);
        --checking_;
    }
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->first != run.name) {
            ++it;
            continue;
        }
        ids.push_back(it->second.id);
        inHand_.erase(run.name + " " + it->second.id);
        it = waiting_.erase(it);
    }
    if (!ids.empty()) {
        std::vector<std::string> ack = {"XACK", WorkKey(run.name), kGroup};
        ack.insert(ack.end(), ids.begin(), ids.end());
        Queue({Script::kReport, {}, ack, true, 0, false});
    }
    run.dispatcher->Abort();
}

void ClusterWorker::LeaveRun(const std::string& name) {
    Run* run = FindRun(name);
    if (run == nullptr) return;
    if (!run->cancelled) CancelRun(*run);
    if (run->dispatcher && run->dispatcher->Busy()) return;  // leaves once it has finished
    loop_.DeleteLater(std::move(run->dispatcher));
    runs_.erase(name);
}

void ClusterWorker::Heartbeat() {
    const std::string_view state = stopped_    ? kWorkerStopped
                                   : held_     ? kWorkerHeld
                                   : checking_ ? kWorkerWorking
                                               : kWorkerIdle;
    commands_.Command({"HSET", WorkerKey(options_.name), worker_field::kHost, options_.host,
                       worker_field::kSeen, std::to_string(std::time(nullptr)),
                       worker_field::kState, std::string(state), worker_field::kHeld, heldReason_},
                      nullptr);
    commands_.Command({"SADD", kWorkersKey, options_.name}, nullptr);
}

}  // namespace mv::cluster

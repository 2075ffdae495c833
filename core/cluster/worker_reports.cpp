// A worker's engine and its writes: the dispatcher of each run, the begun
// events and results it gives, and the queue that writes them in order (the
// rest is in cluster_worker.cpp and worker_reading.cpp).
#include "cluster/cluster_keys.h"
#include "cluster/cluster_worker.h"

namespace mv::cluster {

namespace {

// Whether a result needs another try: deferred, rechecks on, tries left.
bool NeedsRecheck(uint32_t recheckMs, bool cancelled, const TResultInfo& info, int tryNumber) {
    return recheckMs != 0 && !cancelled && info.finding.reason == Reason::kDeferred &&
           tryNumber < TSmtpRelayServer::kMaxRechecks;
}

}  // namespace

void ClusterWorker::Attach(Run& run) {
    auto d = std::make_unique<TSmtpRelayServer>(loop_);
    d->SetInternalDns(TSmtpRelayServer::kDefaultInternalDns);
    ApplyCheckSettings(options_.settings, *d);
    if (!options_.smtpPort.empty()) d->SetSmtpPort(options_.smtpPort);
    if (!options_.dnsPort.empty()) d->SetDnsPort(options_.dnsPort);
    d->SetAcceptAllProbe(run.probe);
    d->SetProviders(options_.providers);
    d->SetWarnings(true);
    d->OnGetData = [this](TSmtpRelayServer*, int tag) { Begun(tag); };
    d->OnEMailProcessed = [this](TSmtpRelayServer*, int tag, int err,
                                 const std::vector<std::string>& log,
                                 const TResultInfo& info) { Reported(tag, err, log, info); };
    d->OnWarning = [this](TSmtpRelayServer*, const RunWarning& w) { HoldAll(w.message); };
    d->OnFinished = [this, name = run.name](TSmtpRelayServer*, bool) {
        // A cancelled or vanished run goes once its dispatcher has finished.
        loop_.Post([this, name, alive = token_.Weak()] {
            if (alive.expired()) return;
            Run* r = FindRun(name);
            if (r == nullptr || !r->cancelled || !r->dispatcher || r->dispatcher->Busy()) return;
            loop_.DeleteLater(std::move(r->dispatcher));
        });
    };
    d->VerifyFeed();
    run.dispatcher = std::move(d);
}

void ClusterWorker::Begun(int tag) {
    const auto it = jobs_.find(tag);
    if (it == jobs_.end()) return;
    const Job& job = it->second;
    Queue({Script::kReport,
           {},
           {"XADD", EventsKey(job.run), "*", field::kType, std::string(kEventBegun), field::kRow,
            std::to_string(job.item.row), field::kWorker, options_.name, field::kTry,
            std::to_string(job.item.tryNumber)},
           true,
           0,
           false});
}

void ClusterWorker::Reported(int tag, int err, const std::vector<std::string>& log,
                             const TResultInfo& info) {
    const auto it = jobs_.find(tag);
    if (it == jobs_.end() || !it->second.checking) return;
    Job& job = it->second;
    job.checking = false;
    --checking_;
    ++done_;
    const Run* run = FindRun(job.run);
    const bool again =
        run != nullptr && NeedsRecheck(run->recheckMs, run->cancelled, info, job.item.tryNumber);
    FindingRecord record;
    record.row = job.item.row;
    record.address = job.item.address;
    record.code = err;
    record.finding = info.finding;
    const std::string& r = job.run;
    Queue({Script::kReport,
           {RunKey(r), WorkKey(r), EventsKey(r), FinalKey(r), DelayedKey(r), ByWorkerKey(r),
            WorkerKey(options_.name)},
           {job.item.id, std::to_string(job.item.row), options_.name, FormatFindingLine(record),
            JoinTranscript(log), job.item.email, again ? "0" : "1",
            std::to_string(run != nullptr ? run->recheckMs : 0), DelayedMember(job.item), "0",
            std::to_string(job.item.tryNumber)},
           false,
           tag,
           false});
    // The place is free: read more, from the loop (this runs inside a session).
    loop_.Post([this, alive = token_.Weak()] {
        if (alive.expired()) return;
        Feed();
        ReadMore();
        MaybeStopped();
    });
}

void ClusterWorker::ReportCorrupted(const std::string& run, const StreamEntry& entry,
                                    const std::string& message) {
    Say("run " + run + ", entry " + entry.id + ": " + message + " (skipped)");
    // The row, when it can be read and lies inside the run, ends with it.
    std::string row;
    if (const std::string* r = FindField(entry.fields, field::kRow)) {
        const Run* known = FindRun(run);
        RedisValue v;
        v.type = RedisValue::Type::kString;
        v.text = *r;
        const auto n = v.AsInteger();
        if (n && *n >= 0 && known != nullptr && static_cast<size_t>(*n) < known->total)
            row = std::to_string(*n);
    }
    Queue({Script::kReportError,
           {RunKey(run), WorkKey(run), EventsKey(run), FinalKey(run)},
           {entry.id, options_.name, message, row},
           false,
           0,
           false});
}

void ClusterWorker::Queue(Write write) {
    outbox_.emplace(nextWrite_++, std::move(write));
    Flush();
}

void ClusterWorker::Flush() {
    if (!commands_.Connected()) return;
    for (auto& [seq, w] : outbox_) {
        if (w.sent) continue;
        auto handler = [this, seq = seq](const RedisValue& r) { Written(seq, r); };
        w.sent = w.plain ? commands_.Command(w.args, handler)
                         : scripts_.Run(w.script, w.keys, w.args, handler);
        if (!w.sent) return;
    }
}

void ClusterWorker::Written(uint64_t seq, const RedisValue& reply) {
    const auto it = outbox_.find(seq);
    if (it == outbox_.end()) return;
    const Write w = std::move(it->second);
    outbox_.erase(it);
    if (reply.IsError()) Say("a write was refused: " + reply.text);
    if (w.tag != 0) {
        const auto job = jobs_.find(w.tag);
        if (job != jobs_.end()) {
            inHand_.erase(job->second.run + " " + job->second.item.id);
            jobs_.erase(job);
        }
    }
    MaybeStopped();
}

}  // namespace mv::cluster

// How a worker takes work: its own pending entries after (re)connecting,
// due rechecks and idle entries of others, then new entries; and how it
// hands back what it has not begun (the rest is in cluster_worker.cpp).
#include "cluster/cluster_keys.h"
#include "cluster/cluster_worker.h"

namespace mv::cluster {

namespace {

// How often the rechecks and the idle entries of a run are looked after.
constexpr uint64_t kMaintenanceMs = 1000;

}  // namespace

void ClusterWorker::ReadMore() {
    if (reading_ || held_ || stopping_ || !reader_.Connected() || !commands_.Connected()) return;
    Feed();
    const int room = options_.settings.connections - static_cast<int>(checking_ + waiting_.size());
    if (room <= 0) return;
    bool any = false;
    for (auto& [name, run] : runs_) {
        if (run.cancelled || !run.dispatcher) continue;
        any = true;
        if (run.readOwnPending) ReadOwnPending(run);
        Maintain(run, room);
    }
    if (any) ReadNew(room);
}

void ClusterWorker::ReadOwnPending(Run& run) {
    run.readOwnPending = false;
    commands_.Command({"XREADGROUP", "GROUP", kGroup, options_.name, "COUNT", "10000", "STREAMS",
                       WorkKey(run.name), "0"},
                      [this, name = run.name](const RedisValue& r) {
                          if (auto streams = ReadStreams(r))
                              for (auto& [key, entries] : *streams)
                                  Take(name, entries);
                      });
}

void ClusterWorker::Maintain(Run& run, int room) {
    const uint64_t now = MonotonicMs();
    if (now - run.lastMaintenance < kMaintenanceMs) return;
    run.lastMaintenance = now;
    scripts_.Run(Script::kMoveDue, {DelayedKey(run.name), WorkKey(run.name), RunKey(run.name)},
                 {"1000"}, nullptr);
    commands_.Command({"XAUTOCLAIM", WorkKey(run.name), kGroup, options_.name,
                       std::to_string(run.claimAfterMs), "0-0", "COUNT", std::to_string(room)},
                      [this, name = run.name](const RedisValue& r) {
                          if (auto entries = ReadEntries(r.At(1)); entries && !entries->empty()) {
                              Say("took over " + std::to_string(entries->size()) +
                                  " idle entries of run " + name);
                              Take(name, *entries);
                          }
                      });
}

void ClusterWorker::ReadNew(int room) {
    std::vector<std::string> args = {"XREADGROUP", "GROUP",
                                     kGroup,       options_.name,
                                     "COUNT",      std::to_string(room),
                                     "BLOCK",      std::to_string(options_.blockMs),
                                     "STREAMS"};
    std::vector<std::string> names;
    for (auto& [name, run] : runs_)
        if (!run.cancelled && run.dispatcher) names.push_back(name);
    for (const std::string& n : names)
        args.push_back(WorkKey(n));
    args.insert(args.end(), names.size(), ">");
    reading_ = true;
    const bool sent = reader_.Command(
        args,
        [this, names](const RedisValue& r) {
            reading_ = false;
            auto streams = ReadStreams(r);
            if (!streams) {
                // A key of the wrong type (written by hand) or a malformed
                // reply: again after a pause, not at once.
                Say("cannot read work: " + (r.IsError() ? r.text : "a malformed reply"));
                Later(1000, [this] { ReadMore(); });
                return;
            }
            for (auto& [key, entries] : *streams)
                for (const std::string& n : names)
                    if (WorkKey(n) == key) Take(n, entries);
            ReadMore();
        },
        options_.blockMs + RedisConnection::kDefaultLimitMs);
    if (!sent) reading_ = false;
}

void ClusterWorker::Take(const std::string& runName, const std::vector<StreamEntry>& entries) {
    Run* run = FindRun(runName);
    if (run == nullptr) return;
    for (const StreamEntry& entry : entries) {
        if (inHand_.count(runName + " " + entry.id) != 0) continue;
        if (entry.deleted) {  // removed by a cancel: nothing to check
            Queue({Script::kReport,
                   {},
                   {"XACK", WorkKey(runName), kGroup, entry.id},
                   true,
                   0,
                   false});
            continue;
        }
        std::string error;
        auto item = ReadWorkItem(entry, run->total, error);
        if (!item) {
            ReportCorrupted(runName, entry, error);
            continue;
        }
        inHand_.insert(runName + " " + item->id);
        waiting_.emplace_back(runName, std::move(*item));
    }
    Feed();
}

void ClusterWorker::Feed() {
    const auto limit = static_cast<size_t>(options_.settings.connections);
    while (!held_ && !stopping_ && !waiting_.empty() && checking_ < limit) {
        auto [runName, item] = std::move(waiting_.front());
        waiting_.pop_front();
        Run* run = FindRun(runName);
        if (run == nullptr || run->cancelled || !run->dispatcher) {
            inHand_.erase(runName + " " + item.id);
            continue;
        }
        const int tag = NewTag();
        const std::string address = item.address;
        jobs_[tag] = Job{runName, std::move(item), true};
        ++checking_;
        try {
            run->dispatcher->AddRecipients({{address, tag}});
        } catch (const Exception& e) {
            Say("run " + runName + ": " + e.what());
            Job job = std::move(jobs_[tag]);
            jobs_.erase(tag);
            --checking_;
            inHand_.erase(runName + " " + job.item.id);
            HandBack(runName, {job.item.id});
        }
    }
}

// To the consumer "returned", idle past the run's claim-after: the next
// worker that looks for idle entries takes them.
void ClusterWorker::HandBack(const std::string& runName, const std::vector<std::string>& ids) {
    const Run* run = FindRun(runName);
    if (ids.empty() || run == nullptr) return;
    std::vector<std::string> claim = {"XCLAIM", WorkKey(runName), kGroup, kReturnedConsumer, "0"};
    claim.insert(claim.end(), ids.begin(), ids.end());
    for (const char* word : {"IDLE", "", "JUSTID"})
        claim.emplace_back(word);
    claim[claim.size() - 2] = std::to_string(run->claimAfterMs + 1000);
    Queue({Script::kReport, {}, claim, true, 0, false});
}

// Takes back from the dispatchers and the queue whatever has not begun.
void ClusterWorker::HoldAll(const std::string& reason) {
    if (!reason.empty()) {
        if (held_) return;
        held_ = true;
        heldReason_ = reason;
        Say("held: " + reason);
    }
    std::map<std::string, std::vector<std::string>> back;
    for (auto& [name, run] : runs_) {
        if (!run.dispatcher) continue;
        for (const TRecipientEntry& e : run.dispatcher->TakeBackFed()) {
            const auto it = jobs_.find(e.Tag);
            if (it == jobs_.end()) continue;
            back[name].push_back(it->second.item.id);
            inHand_.erase(name + " " + it->second.item.id);
            jobs_.erase(it);
            --checking_;
        }
    }
    for (auto& [name, item] : waiting_) {
        back[name].push_back(item.id);
        inHand_.erase(name + " " + item.id);
    }
    waiting_.clear();
    for (const auto& [name, ids] : back)
        HandBack(name, ids);
    Heartbeat();
}

void ClusterWorker::Stop() {
    if (stopping_) return;
    stopping_ = true;
    HoldAll("");
    for (auto& [name, run] : runs_)
        if (run.dispatcher) run.dispatcher->CloseFeed();
    MaybeStopped();
}

void ClusterWorker::MaybeStopped() {
    if (!stopping_ || stopped_ || checking_ != 0 || !outbox_.empty()) return;
    stopped_ = true;
    Heartbeat();
    // Once the last words are written (a lost connection: at once).
    if (!commands_.Command({"PING"},
                           [this](const RedisValue&) {
                               if (OnStopped) OnStopped();
                           }) &&
        OnStopped)
        OnStopped();
}

int ClusterWorker::NewTag() {
    while (jobs_.count(nextTag_) != 0 || nextTag_ <= 0)
        nextTag_ = nextTag_ <= 0 ? 1 : nextTag_ + 1;
    return nextTag_++;
}

}  // namespace mv::cluster

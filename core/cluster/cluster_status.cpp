#include "cluster/cluster_status.h"

#include <algorithm>

#include "cluster/cluster_keys.h"

namespace mv::cluster {

namespace {

long long NumberOf(const FieldList& fields, const char* name) {
    const std::string* text = FindField(fields, name);
    if (text == nullptr) return 0;
    RedisValue v;
    v.type = RedisValue::Type::kString;
    v.text = *text;
    return v.AsInteger().value_or(0);
}

std::string TextOf(const FieldList& fields, const char* name) {
    const std::string* text = FindField(fields, name);
    return text != nullptr ? *text : std::string();
}

// The replies still to come; the last one hands the status over.
struct Gathering {
    ClusterStatus status;
    std::function<void(const std::string&, const ClusterStatus&)> done;
    std::string error;
    int outstanding = 0;
    void Finished() {
        if (--outstanding > 0) return;
        for (RunStatus& r : status.runs)
            r.waiting =
                r.state == kStateCancelled ? 0 : std::max(0LL, r.total - r.done - r.inFlight);
        std::sort(status.workers.begin(), status.workers.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        std::sort(status.runs.begin(), status.runs.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        done(error, status);
    }
};

void Ask(RedisConnection& c, const std::shared_ptr<Gathering>& g,
         const std::vector<std::string>& command, std::function<void(const RedisValue&)> use) {
    ++g->outstanding;
    const bool sent = c.Command(command, [g, use = std::move(use)](const RedisValue& r) {
        if (r.IsError() && g->error.empty()) g->error = r.text;
        if (!r.IsError()) use(r);
        g->Finished();
    });
    if (!sent) {
        if (g->error.empty()) g->error = "the connection was lost";
        g->Finished();
    }
}

void ReadWorker(RedisConnection& c, const std::shared_ptr<Gathering>& g, const std::string& name) {
    Ask(c, g, {"HGETALL", WorkerKey(name)}, [g, name](const RedisValue& r) {
        const auto f = ReadFieldList(r);
        if (!f || f->empty()) return;
        g->status.workers.push_back(
            {name, TextOf(*f, worker_field::kHost), NumberOf(*f, worker_field::kSeen),
             NumberOf(*f, worker_field::kDone), TextOf(*f, worker_field::kState),
             TextOf(*f, worker_field::kHeld)});
    });
}

void ReadRun(RedisConnection& c, const std::shared_ptr<Gathering>& g, const std::string& name,
             bool mustExist) {
    const size_t i = g->status.runs.size();
    g->status.runs.push_back({});
    g->status.runs[i].name = name;
    Ask(c, g, {"HGETALL", RunKey(name)}, [g, i, name, mustExist](const RedisValue& r) {
        RunStatus& s = g->status.runs[i];
        const auto f = ReadFieldList(r);
        if ((!f || f->empty()) && mustExist && g->error.empty())
            g->error = "the run " + name + " does not exist";
        if (!f) return;
        s.state = TextOf(*f, run_field::kState);
        s.input = TextOf(*f, run_field::kInput);
        s.total = NumberOf(*f, run_field::kRows);
        s.done = NumberOf(*f, run_field::kDone);
        s.duplicates = NumberOf(*f, run_field::kDuplicates);
    });
    Ask(c, g, {"XPENDING", WorkKey(name), kGroup}, [g, i](const RedisValue& r) {
        g->status.runs[i].inFlight = r.At(0).AsInteger().value_or(0);
    });
    Ask(c, g, {"ZCARD", DelayedKey(name)},
        [g, i](const RedisValue& r) { g->status.runs[i].rechecks = r.AsInteger().value_or(0); });
    Ask(c, g, {"HGETALL", ByWorkerKey(name)}, [g, i](const RedisValue& r) {
        if (const auto f = ReadFieldList(r))
            for (const auto& [worker, count] : *f)
                g->status.runs[i].byWorker.emplace_back(worker, NumberOf(*f, worker.c_str()));
    });
}

}  // namespace

std::string WorkerStateText(const WorkerStatus& worker, int64_t now) {
    if (worker.state != "stopped" && now - worker.seen > kWorkerLostSeconds) return "lost";
    if (worker.state == "held" && !worker.held.empty()) return "held: " + worker.held;
    return worker.state;
}

void ReadClusterStatus(RedisConnection& connection, const std::string& run,
                       std::function<void(const std::string& error, const ClusterStatus&)> done) {
    auto g = std::make_shared<Gathering>();
    g->done = std::move(done);
    g->outstanding = 1;  // until every question has been asked
    RedisConnection* c = &connection;
    Ask(connection, g, {"SMEMBERS", kWorkersKey}, [c, g](const RedisValue& r) {
        for (const RedisValue& n : r.elements)
            if (n.IsText()) ReadWorker(*c, g, n.text);
    });
    if (!run.empty()) {
        if (!ValidRunName(run))
            g->error = "the run " + run + " does not exist";
        else
            ReadRun(connection, g, run, true);
    } else {
        Ask(connection, g, {"SMEMBERS", kRunsKey}, [c, g](const RedisValue& r) {
            for (const RedisValue& n : r.elements)
                if (n.IsText() && ValidRunName(n.text)) ReadRun(*c, g, n.text, false);
        });
    }
    g->Finished();
}

}  // namespace mv::cluster

// mailvetter-cli cluster status: the workers and runs as a table or as JSON.
#include <cstdio>
#include <ctime>
#include <string>

#include "cli_args.h"
#include "cluster/cluster_status.h"
#include "cluster_options.h"
#include "commands.h"
#include "output_formats.h"
#include "platform/loop/epoll_loop.h"

namespace mv::cli {

namespace {

std::string Ago(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    if (seconds < 120) return std::to_string(seconds) + " s ago";
    if (seconds < 7200) return std::to_string(seconds / 60) + " min ago";
    return std::to_string(seconds / 3600) + " h ago";
}

void PrintTable(const cluster::ClusterStatus& s, const std::string& where) {
    const int64_t now = std::time(nullptr);
    std::printf("Redis: %s\n\n", where.c_str());
    std::printf("%-20s %-20s %-12s %8s  %s\n", "WORKER", "HOST", "LAST SEEN", "DONE", "STATE");
    for (const auto& w : s.workers)
        std::printf("%-20s %-20s %-12s %8lld  %s\n", w.name.c_str(), w.host.c_str(),
                    Ago(now - w.seen).c_str(), w.done, cluster::WorkerStateText(w, now).c_str());
    std::printf("\n%-24s %-10s %8s %8s %9s %8s %10s  %s\n", "RUN", "STATE", "TOTAL", "DONE",
                "IN FLIGHT", "WAITING", "DUPLICATES", "INPUT");
    for (const auto& r : s.runs) {
        std::printf("%-24s %-10s %8lld %8lld %9lld %8lld %10lld  %s\n", r.name.c_str(),
                    r.state.c_str(), r.total, r.done, r.inFlight, r.waiting, r.duplicates,
                    r.input.c_str());
        std::string line;
        for (const auto& [worker, count] : r.byWorker)
            line += "   " + worker + ": " + std::to_string(count);
        if (!line.empty()) std::printf("  done by%s\n", line.c_str());
    }
}

void PrintJson(const cluster::ClusterStatus& s) {
    const int64_t now = std::time(nullptr);
    std::string out = "{\"workers\":[";
    for (size_t i = 0; i < s.workers.size(); ++i) {
        const auto& w = s.workers[i];
        out +=
            (i ? "," : "") + std::string("{\"name\":") + JsonString(w.name) +
            ",\"host\":" + JsonString(w.host) + ",\"seen\":" + std::to_string(w.seen) +
            ",\"done\":" + std::to_string(w.done) + ",\"state\":" +
            JsonString(cluster::WorkerStateText(w, now) == "lost" ? std::string("lost") : w.state) +
            ",\"held\":" + JsonString(w.held) + "}";
    }
    out += "],\"runs\":[";
    for (size_t i = 0; i < s.runs.size(); ++i) {
        const auto& r = s.runs[i];
        out += (i ? "," : "") + std::string("{\"name\":") + JsonString(r.name) +
               ",\"state\":" + JsonString(r.state) + ",\"input\":" + JsonString(r.input) +
               ",\"total\":" + std::to_string(r.total) + ",\"done\":" + std::to_string(r.done) +
               ",\"in_flight\":" + std::to_string(r.inFlight) +
               ",\"waiting\":" + std::to_string(r.waiting) +
               ",\"rechecks\":" + std::to_string(r.rechecks) +
               ",\"duplicates\":" + std::to_string(r.duplicates) + ",\"by_worker\":{";
        for (size_t k = 0; k < r.byWorker.size(); ++k)
            out += (k ? "," : "") + JsonString(r.byWorker[k].first) + ":" +
                   std::to_string(r.byWorker[k].second);
        out += "}}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

}  // namespace

int RunClusterStatus(const ParsedArgs& args) {
    for (const char* other : {"run", "no-accept-all-probe", "recheck-deferred", "claim-after",
                              "output", "transcripts", "save"})
        if (args.Has(other))
            throw UsageError(std::string("cluster status does not take --") + other);
    if (args.Positional().size() > 2) throw UsageError("cluster status takes at most one RUN");
    const std::string format = args.ValueOr("format", "table");
    if (format != "table" && format != "json")
        throw UsageError("cluster status: --format is table or json, not '" + format + "'");
    TINI ini;
    const cluster::RedisUrl url = ClusterRedisUrl(args, "redis", ini);
    const std::string run = args.Positional().size() == 2 ? args.Positional()[1] : "";
    EpollLoop loop;
    cluster::RedisConnection connection(loop);
    std::string failure;
    bool done = false;
    cluster::ClusterStatus status;
    connection.OnLost = [&](const std::string& m) { failure = m, done = true; };
    connection.Connect(url, [&](const std::string& error) {
        if (!error.empty()) return void((failure = error, done = true));
        cluster::ReadClusterStatus(connection, run,
                                   [&](const std::string& e, const cluster::ClusterStatus& s) {
                                       failure = e;
                                       status = s;
                                       done = true;
                                   });
    });
    loop.WaitUntil([&] { return done; });
    if (!failure.empty()) {
        PrintError(failure);
        return kExitFailure;
    }
    if (format == "json")
        PrintJson(status);
    else
        PrintTable(status, url.Display());
    return kExitOk;
}

}  // namespace mv::cli

// What the cluster is doing: its workers and its runs, read from Redis in
// one go, for `cluster status` and the window's "Test" button.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cluster/redis_connection.h"

namespace mv::cluster {

struct WorkerStatus {
    std::string name;
    std::string host;
    int64_t seen = 0;  // Unix seconds
    long long done = 0;
    std::string state;
    std::string held;  // the reason while held
};

struct RunStatus {
    std::string name;
    std::string state;
    std::string input;
    long long total = 0;  // rows to check
    long long done = 0;
    long long inFlight = 0;
    long long waiting = 0;   // not yet taken, rechecks included
    long long rechecks = 0;  // of those, rechecks not yet due
    long long duplicates = 0;
    std::vector<std::pair<std::string, long long>> byWorker;
};

struct ClusterStatus {
    std::vector<WorkerStatus> workers;
    std::vector<RunStatus> runs;
};

// Reads the status of every run, or of the one named; `done` gets a message
// when that run does not exist or the server refuses.
void ReadClusterStatus(RedisConnection& connection, const std::string& run,
                       std::function<void(const std::string& error, const ClusterStatus&)> done);

// A worker that has not told it lives for this long is shown as lost.
inline constexpr int64_t kWorkerLostSeconds = 30;

// The worker's state as shown at Unix time `now`: "lost" when it has been
// silent for too long (whatever it said last), "held: REASON", or its state.
std::string WorkerStateText(const WorkerStatus& worker, int64_t now);

}  // namespace mv::cluster

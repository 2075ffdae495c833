// Submitting a run: one work entry per marked row of a recipient list, added
// in pipelined batches, with the run's description in its hash and its name
// in the set of runs. The workers may start while the entries still go in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cluster/redis_connection.h"
#include "project/list/recipient_list.h"

namespace mv::cluster {

// What belongs to a run rather than to the worker that checks it.
struct RunOptions {
    std::string name;   // empty: made from the time
    std::string input;  // the input's name, for the status
    bool acceptAllProbe = true;
    int recheckSeconds = 0;     // 0: deferred results are final
    int claimAfterSeconds = 0;  // 0: the default
};

// "20261209-104301-3fa2": a run name made from the local time.
std::string MakeRunName();

class RunSubmitter {
  public:
    // `done` gets an empty message and the run's name, or the failure.
    using Done = std::function<void(const std::string& error, const std::string& run)>;

    explicit RunSubmitter(RedisConnection& connection) : connection_(connection) {}
    // Submits the marked rows of `list`; the list must stay unchanged until
    // `done` has come.
    void Submit(const RecipientList& list, const RunOptions& options, Done done);
    size_t Submitted() const { return acknowledged_; }
    // Sends no more entries; `done` comes with "stopped" once the entries
    // out have been answered (at once when none is).
    void Abandon();

  private:
    void Describe();
    void SendMore();
    void Fail(const std::string& message);
    void Finish();

    static constexpr size_t kInFlight = 2000;  // XADDs sent and not yet answered

    RedisConnection& connection_;
    const RecipientList* list_ = nullptr;
    RunOptions options_;
    Done done_;
    std::vector<size_t> rows_;  // the marked rows
    size_t next_ = 0;
    size_t sent_ = 0;
    size_t acknowledged_ = 0;
    bool failed_ = false;
    bool abandoned_ = false;
};

}  // namespace mv::cluster

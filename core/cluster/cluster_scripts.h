// The short Lua scripts that make the cluster's multi-key steps atomic, and
// how they are run: by their digest once the server knows them, by their text
// when it does not (a server that restarted forgets its scripts).
#pragma once

#include <string>
#include <vector>

#include "cluster/redis_connection.h"

namespace mv::cluster {

enum class Script {
    // Writes a result and acknowledges its work entry in one step; a result
    // that needs a recheck goes into the delayed set. Counts final results
    // per row (the first counts as done, the others as duplicates).
    kReport,
    // Writes an error event for a corrupted work entry and acknowledges it.
    kReportError,
    // Moves the due rechecks back into the work stream.
    kMoveDue,
    // Cancels a run: no more rechecks, the entries not yet taken removed.
    kCancel,
};

// Runs the scripts on one connection.
class ScriptRunner {
  public:
    explicit ScriptRunner(RedisConnection& connection) : connection_(connection) {}
    // False when the connection is down.
    bool Run(Script script, const std::vector<std::string>& keys,
             const std::vector<std::string>& args, RedisConnection::ReplyHandler handler);

  private:
    static constexpr size_t kScripts = 4;
    RedisConnection& connection_;
    std::string digests_[kScripts];
};

}  // namespace mv::cluster

// Signs, in a run, that the results would be wrong because of the checking
// computer rather than the addresses:
//  * connection attempts all time out or are refused, at least 20 of them,
//    and they have reached at least 5 different server groups (or every
//    group of the list, when it has fewer): outgoing port 25 is probably
//    blocked. A connection that succeeds ends the count. (A connection is
//    only attempted once the name server has answered, so DNS works.)
//  * refusals of the checking computer itself (reason policy-block) come
//    from at least 3 server groups, or from every group that has answered
//    once at least 2 have: it is on a block list.
// Each is told at most once per run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/result_verdict.h"

namespace mv {

enum class RunWarningKind { kPortBlocked, kBlockList };

struct RunWarning {
    RunWarningKind kind = RunWarningKind::kPortBlocked;
    // One paragraph for the user; begins with "outgoing port 25 is probably
    // blocked" or "receivers refuse this computer (block list)".
    std::string message;
    // The server groups behind it: those that refused the connections, or
    // those that refused this computer.
    std::vector<std::string> servers;
};

class RunWarnings {
  public:
    static constexpr int kAttempts = 20;  // connection attempts before a judgement
    static constexpr size_t kAttemptServers = 5;
    static constexpr size_t kBlockingGroups = 3;
    static constexpr size_t kReachedGroups = 2;
    static constexpr const char* kPortBlocked = "outgoing port 25 is probably blocked";
    static constexpr const char* kBlockList = "receivers refuse this computer (block list)";

    void Reset();
    // The number of server groups of the whole list, once every domain's is known.
    void ListServers(size_t count) { listServers_ = count; }
    // A connection attempt to `server` (its group) has ended: connected, or
    // refused or timed out. Returns the warning when this attempt completes it.
    std::optional<RunWarning> ConnectAttempt(const std::string& server, bool connected);
    // A result, with the server group that gave it (empty when none did).
    std::optional<RunWarning> Result(int code, Reason reason, const std::string& group);

  private:
    RunWarning PortBlocked() const;
    RunWarning BlockList() const;

    size_t listServers_ = 0;  // 0: not known yet
    int attempts_ = 0;
    bool attemptsDecided_ = false;             // a connection succeeded, or the warning was given
    std::vector<std::string> attemptServers_;  // distinct, in order of their first attempt
    bool blocksDecided_ = false;
    std::unordered_set<std::string> reached_;  // groups that answered
    std::vector<std::string> blocking_;        // distinct, in order
    std::unordered_set<std::string> seenBlocking_;
};

}  // namespace mv

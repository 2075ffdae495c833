// Signs, early in a run, that the results would be wrong because of the
// checking computer rather than the addresses:
//  * the first 20 connection attempts, to at least 5 different mail servers,
//    all time out or are refused: outgoing port 25 is probably blocked. (A
//    connection is only attempted once the name server has answered, so DNS
//    works.)
//  * more than half of the first 50 refusals (4xx and 5xx results) are
//    refusals of the checking computer (reason policy-block): it is on a
//    block list.
// Each is told at most once per run.
#pragma once

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
    // The mail servers behind it: those that refused the connections, or
    // those that refused this computer (names as the DNS gave them).
    std::vector<std::string> servers;
};

class RunWarnings {
  public:
    static constexpr int kAttempts = 20;  // connection attempts judged
    static constexpr int kAttemptServers = 5;
    static constexpr int kRefusals = 50;  // refusals judged
    static constexpr const char* kPortBlocked = "outgoing port 25 is probably blocked";
    static constexpr const char* kBlockList = "receivers refuse this computer (block list)";

    void Reset();
    // A connection attempt to `server` (its address) has ended: connected, or
    // refused or timed out. Returns the warning when this attempt completes it.
    std::optional<RunWarning> ConnectAttempt(const std::string& server, bool connected);
    // A result, with the mail host that gave it (empty when none did).
    std::optional<RunWarning> Result(int code, Reason reason, const std::string& host);

  private:
    RunWarning PortBlocked() const;
    RunWarning BlockList() const;

    int attempts_ = 0;
    bool attemptsDecided_ = false;  // a connection succeeded, or the first 20 were judged
    std::vector<std::string> attemptServers_;  // distinct, in order of their first attempt
    int refusals_ = 0;
    int blocks_ = 0;
    bool refusalsDecided_ = false;
    std::vector<std::string> blockingHosts_;  // distinct, in order
    std::unordered_set<std::string> seenBlockingHosts_;
};

}  // namespace mv

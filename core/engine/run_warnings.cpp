#include "engine/run_warnings.h"

#include <algorithm>

namespace mv {

namespace {

// "a, b, c and 4 more": the first few names of a list.
std::string Names(const std::vector<std::string>& names) {
    constexpr size_t kShown = 5;
    std::string text;
    for (size_t i = 0; i < names.size() && i < kShown; ++i)
        text += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > kShown) text += " and " + std::to_string(names.size() - kShown) + " more";
    return text;
}

}  // namespace

void RunWarnings::Reset() {
    *this = RunWarnings();
}

std::optional<RunWarning> RunWarnings::ConnectAttempt(const std::string& server, bool connected) {
    if (attemptsDecided_) return std::nullopt;
    if (connected) {
        attemptsDecided_ = true;
        return std::nullopt;
    }
    if (std::find(attemptServers_.begin(), attemptServers_.end(), server) == attemptServers_.end())
        attemptServers_.push_back(server);
    if (++attempts_ < kAttempts) return std::nullopt;
    const size_t needed =
        listServers_ > 0 ? std::min(kAttemptServers, listServers_) : kAttemptServers;
    if (attemptServers_.size() < needed) return std::nullopt;
    attemptsDecided_ = true;
    return PortBlocked();
}

std::optional<RunWarning> RunWarnings::Result(int code, Reason reason, const std::string& group) {
    if (blocksDecided_ || group.empty() || code < 0 || code > 999) return std::nullopt;
    reached_.insert(group);
    if (reason == Reason::kPolicyBlock && seenBlocking_.insert(group).second)
        blocking_.push_back(group);
    const bool fromEnough = blocking_.size() >= kBlockingGroups;
    const bool fromAll = reached_.size() >= kReachedGroups && blocking_.size() == reached_.size();
    if (!fromEnough && !fromAll) return std::nullopt;
    blocksDecided_ = true;
    return BlockList();
}

RunWarning RunWarnings::PortBlocked() const {
    RunWarning w;
    w.kind = RunWarningKind::kPortBlocked;
    w.servers = attemptServers_;
    w.message = std::string(kPortBlocked) + ": the first " + std::to_string(attempts_) +
                " connections, to " + std::to_string(attemptServers_.size()) +
                " mail servers, all timed out or were refused while the name server answered, "
                "so the results of this run would be wrong. Check from another network, or "
                "through a SOCKS proxy.";
    return w;
}

RunWarning RunWarnings::BlockList() const {
    RunWarning w;
    w.kind = RunWarningKind::kBlockList;
    w.servers = blocking_;
    w.message = std::string(kBlockList) + ": the mail servers of " +
                std::to_string(blocking_.size()) + " of the " + std::to_string(reached_.size()) +
                " providers that answered reject this computer, not the address (" +
                Names(blocking_) +
                "), so the results of this run would be wrong. Check from another address, or "
                "have this one taken off the block lists.";
    return w;
}

}  // namespace mv

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
    attemptsDecided_ = true;
    if (static_cast<int>(attemptServers_.size()) < kAttemptServers) return std::nullopt;
    return PortBlocked();
}

std::optional<RunWarning> RunWarnings::Result(int code, Reason reason, const std::string& host) {
    if (refusalsDecided_ || code < 400 || code > 599) return std::nullopt;
    ++refusals_;
    if (reason == Reason::kPolicyBlock) {
        ++blocks_;
        if (!host.empty() && seenBlockingHosts_.insert(host).second) blockingHosts_.push_back(host);
    }
    // Told as soon as the majority is certain, not only at the 50th refusal:
    // a short run of blocked addresses is told too.
    if (blocks_ > kRefusals / 2) {
        refusalsDecided_ = true;
        return BlockList();
    }
    if (refusals_ >= kRefusals) refusalsDecided_ = true;
    return std::nullopt;
}

RunWarning RunWarnings::PortBlocked() const {
    RunWarning w;
    w.kind = RunWarningKind::kPortBlocked;
    w.servers = attemptServers_;
    w.message = std::string(kPortBlocked) + ": the first " + std::to_string(kAttempts) +
                " connections, to " + std::to_string(attemptServers_.size()) +
                " mail servers, all timed out or were refused while the name server answered, "
                "so the results of this run would be wrong. Check from another network, or "
                "through a SOCKS proxy.";
    return w;
}

RunWarning RunWarnings::BlockList() const {
    RunWarning w;
    w.kind = RunWarningKind::kBlockList;
    w.servers = blockingHosts_;
    w.message = std::string(kBlockList) + ": " + std::to_string(blocks_) + " of the first " +
                std::to_string(refusals_) + " refusals reject this computer, not the address";
    if (!blockingHosts_.empty()) w.message += " (" + Names(blockingHosts_) + ")";
    w.message +=
        ", so the results of this run would be wrong. Check from another address, or have "
        "this one taken off the block lists.";
    return w;
}

}  // namespace mv

#include "engine/server_groups.h"

#include "address/registered_domain.h"

namespace mv {

namespace {

// Enough for every mail host of a large run; past it the table starts again.
constexpr size_t kMaxHosts = 100000;

}  // namespace

const std::string& ServerGroups::Of(const std::string& host) {
    const auto it = groups_.find(host);
    if (it != groups_.end()) return it->second;
    if (groups_.size() >= kMaxHosts) groups_.clear();
    return groups_.emplace(host, RegisteredDomain(host)).first->second;
}

}  // namespace mv

// The server group of a mail host: the registered domain of its name (every
// *.mail.protection.outlook.com host is the group outlook.com), an address
// literal its own group. Limits, rates and pauses belong to a group, so that
// a provider that serves its tenants through many names and addresses is
// treated as the one server it is. Asked once per host name and run.
#pragma once

#include <string>
#include <unordered_map>

namespace mv {

class ServerGroups {
  public:
    // The group of `host` (any case; a trailing dot is ignored).
    const std::string& Of(const std::string& host);
    void Clear() { groups_.clear(); }

  private:
    std::unordered_map<std::string, std::string> groups_;  // by host name as given
};

}  // namespace mv

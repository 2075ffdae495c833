// The names the hosts file gives, and the answers of earlier lookups, so that
// a busy checker does not read the file, nor ask the DNS, once per connection.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/resolver/host_addresses.h"

namespace mv {

// /etc/hosts as a table, read again when the file changes; the change is
// looked for at most once a second.
class HostsFile {
  public:
    explicit HostsFile(std::string path = "/etc/hosts");

    // The address of the first IPv4 line and of the first IPv6 line that name
    // `name` (any case).
    const HostAddresses* Addresses(const std::string& name);
    // The first name given for `address` (a dotted quad or canonical IPv6 text).
    const std::string* NameOf(const std::string& address);

  private:
    void Refresh();

    std::string path_;
    uint32_t lastCheck_ = 0;
    bool checked_ = false;
    timespec mtime_{};
    std::unordered_map<std::string, HostAddresses> byName_;
    std::unordered_map<std::string, std::string> byAddress_;
};

// Answers of forward lookups, each kept for the time its records allow (at
// most an hour); a resolver on the original platform caches the same way.
// An answer to an IPv4 lookup says nothing about IPv6: it serves only IPv4
// lookups.
class LookupCache {
  public:
    static constexpr uint32_t kMaxTtlSeconds = 3600;
    static constexpr size_t kMaxEntries = 20000;

    // With `withIPv6`, only an answer that asked for both families.
    const HostAddresses* Find(const std::string& name, bool withIPv6);
    void Store(const std::string& name, HostAddresses addresses, bool withIPv6,
               uint32_t ttlSeconds);
    void Clear() { entries_.clear(); }

  private:
    struct Entry {
        HostAddresses addresses;
        bool withIPv6;
        uint32_t expires;  // tick count
    };
    std::unordered_map<std::string, Entry> entries_;
};

// `text` with the ASCII letters A-Z in lower case; other bytes unchanged.
std::string LowerCase(std::string text);

}  // namespace mv

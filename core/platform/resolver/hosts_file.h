// The names the hosts file gives, and the answers of earlier lookups, so that
// a busy checker does not read the file, nor ask the DNS, once per connection.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

namespace mv {

// /etc/hosts as a table (IPv4 entries only), read again when the file
// changes; the change is looked for at most once a second.
class HostsFile {
  public:
    explicit HostsFile(std::string path = "/etc/hosts");

    // The addresses of the first line that names `name` (any case).
    const std::vector<std::string>* Addresses(const std::string& name);
    // The first name given for `address`.
    const std::string* NameOf(const std::string& address);

  private:
    void Refresh();

    std::string path_;
    uint32_t lastCheck_ = 0;
    bool checked_ = false;
    timespec mtime_{};
    std::unordered_map<std::string, std::vector<std::string>> byName_;
    std::unordered_map<std::string, std::string> byAddress_;
};

// Answers of forward lookups, each kept for the time its records allow (at
// most an hour); a resolver on the original platform caches the same way.
class LookupCache {
  public:
    static constexpr uint32_t kMaxTtlSeconds = 3600;
    static constexpr size_t kMaxEntries = 20000;

    const std::vector<std::string>* Find(const std::string& name);
    void Store(const std::string& name, std::vector<std::string> addresses, uint32_t ttlSeconds);
    void Clear() { entries_.clear(); }

  private:
    struct Entry {
        std::vector<std::string> addresses;
        uint32_t expires;  // tick count
    };
    std::unordered_map<std::string, Entry> entries_;
};

std::string LowerCase(std::string text);

}  // namespace mv

#include "platform/resolver/hosts_file.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/time/tick_count.h"

namespace mv {

std::string LowerCase(std::string text) {
    // ASCII only, whatever the locale: names compare so in DNS, and the
    // library call per character cost more than the rest of a lookup.
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

HostsFile::HostsFile(std::string path) : path_(std::move(path)) {}

void HostsFile::Refresh() {
    const uint32_t now = GetTickCount();
    if (checked_ && TickDiff(now, lastCheck_) < 1000) return;
    checked_ = true;
    lastCheck_ = now;
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) {
        byName_.clear();
        byAddress_.clear();
        mtime_ = {};
        return;
    }
    if (st.st_mtim.tv_sec == mtime_.tv_sec && st.st_mtim.tv_nsec == mtime_.tv_nsec) return;
    mtime_ = st.st_mtim;
    byName_.clear();
    byAddress_.clear();
    std::ifstream in(path_);
    std::string line;
    while (std::getline(in, line)) {
        line.erase(std::find(line.begin(), line.end(), '#'), line.end());
        std::istringstream words(line);
        std::string text;
        HostAddresses address;
        if (!(words >> text) || !address.AddNumeric(text)) continue;
        const bool v6 = address.ipv4.empty();
        const std::string& canonical = v6 ? address.ipv6.front() : address.ipv4.front();
        std::string name;
        while (words >> name) {
            auto& family = v6 ? byName_[LowerCase(name)].ipv6 : byName_[LowerCase(name)].ipv4;
            if (family.empty()) family.push_back(canonical);
            byAddress_.emplace(canonical, name);
        }
    }
}

const HostAddresses* HostsFile::Addresses(const std::string& name) {
    Refresh();
    const auto it = byName_.find(LowerCase(name));
    return it == byName_.end() ? nullptr : &it->second;
}

const std::string* HostsFile::NameOf(const std::string& address) {
    Refresh();
    const auto it = byAddress_.find(address);
    return it == byAddress_.end() ? nullptr : &it->second;
}

const HostAddresses* LookupCache::Find(const std::string& name, bool withIPv6) {
    const auto it = entries_.find(LowerCase(name));
    if (it == entries_.end()) return nullptr;
    if (TickDiff(it->second.expires, GetTickCount()) <= 0) {
        entries_.erase(it);
        return nullptr;
    }
    return withIPv6 && !it->second.withIPv6 ? nullptr : &it->second.addresses;
}

void LookupCache::Store(const std::string& name, HostAddresses addresses, bool withIPv6,
                        uint32_t ttlSeconds) {
    if (ttlSeconds == 0 || addresses.Empty()) return;
    if (entries_.size() >= kMaxEntries) entries_.clear();
    ttlSeconds = std::min(ttlSeconds, kMaxTtlSeconds);
    entries_[LowerCase(name)] = {std::move(addresses), withIPv6,
                                 GetTickCount() + ttlSeconds * 1000u};
}

}  // namespace mv

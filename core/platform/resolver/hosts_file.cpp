#include "platform/resolver/hosts_file.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/time/tick_count.h"

namespace mv {

std::string LowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
        std::string address;
        in_addr parsed{};
        if (!(words >> address) || inet_pton(AF_INET, address.c_str(), &parsed) != 1) continue;
        std::string name;
        while (words >> name) {
            const std::string key = LowerCase(name);
            if (byName_.count(key) == 0) byName_[key] = {address};
            byAddress_.emplace(address, name);
        }
    }
}

const std::vector<std::string>* HostsFile::Addresses(const std::string& name) {
    Refresh();
    const auto it = byName_.find(LowerCase(name));
    return it == byName_.end() ? nullptr : &it->second;
}

const std::string* HostsFile::NameOf(const std::string& address) {
    Refresh();
    const auto it = byAddress_.find(address);
    return it == byAddress_.end() ? nullptr : &it->second;
}

const std::vector<std::string>* LookupCache::Find(const std::string& name) {
    const auto it = entries_.find(LowerCase(name));
    if (it == entries_.end()) return nullptr;
    if (TickDiff(it->second.expires, GetTickCount()) <= 0) {
        entries_.erase(it);
        return nullptr;
    }
    return &it->second.addresses;
}

void LookupCache::Store(const std::string& name, std::vector<std::string> addresses,
                        uint32_t ttlSeconds) {
    if (ttlSeconds == 0 || addresses.empty()) return;
    if (entries_.size() >= kMaxEntries) entries_.clear();
    ttlSeconds = std::min(ttlSeconds, kMaxTtlSeconds);
    entries_[LowerCase(name)] = {std::move(addresses), GetTickCount() + ttlSeconds * 1000u};
}

}  // namespace mv

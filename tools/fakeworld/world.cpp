#include "world.h"

namespace mv::fakeworld {

namespace {

// Files a rule under its exact name, under its suffix (".bench" for
// "*.bench"), or as the default ("*").
void FileRule(const std::string& name, size_t index, NameMap<size_t>& exact,
              NameMap<size_t>& suffixes, int& fallback) {
    if (name == "*") {
        fallback = static_cast<int>(index);
    } else if (name.size() > 2 && name[0] == '*' && name[1] == '.') {
        suffixes.emplace(name.substr(1), index);
    } else {
        exact.emplace(name, index);
    }
}

}  // namespace

void NormalizeName(std::string& name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
}

void World::Index() {
    hostByName_.clear();
    hostBySuffix_.clear();
    domainByName_.clear();
    domainBySuffix_.clear();
    defaultHost_ = defaultDomain_ = -1;
    for (size_t i = 0; i < hosts.size(); ++i) {
        FileRule(hosts[i].name, i, hostByName_, hostBySuffix_, defaultHost_);
    }
    for (size_t i = 0; i < domains.size(); ++i) {
        FileRule(domains[i].name, i, domainByName_, domainBySuffix_, defaultDomain_);
    }
    recordsByName_.clear();
    for (size_t i = 0; i < records.size(); ++i) {
        recordsByName_[records[i].name].push_back(i);
    }
}

void World::AssignAddresses(uint32_t net) {
    uint32_t next = 1;
    for (HostRule& host : hosts) {
        host.address = host.HasNoAddress() || host.ipv6 ? 0 : net + next++;
    }
}

template <typename Rule>
const Rule* World::Find(const std::vector<Rule>& rules, const NameMap<size_t>& exact,
                        const NameMap<size_t>& suffixes, int fallback, std::string_view name) {
    if (auto it = exact.find(name); it != exact.end()) {
        return &rules[it->second];
    }
    if (!suffixes.empty()) {
        // Longest suffix first: "*.a.bench" wins over "*.bench" for x.a.bench.
        for (size_t dot = name.find('.'); dot != std::string_view::npos;
             dot = name.find('.', dot + 1)) {
            if (auto it = suffixes.find(name.substr(dot)); it != suffixes.end()) {
                return &rules[it->second];
            }
        }
    }
    return fallback >= 0 ? &rules[static_cast<size_t>(fallback)] : nullptr;
}

const HostRule* World::FindHost(std::string_view name) const {
    return Find(hosts, hostByName_, hostBySuffix_, defaultHost_, name);
}

const DomainRule* World::FindDomain(std::string_view name) const {
    return Find(domains, domainByName_, domainBySuffix_, defaultDomain_, name);
}

uint32_t World::AddressOf(std::string_view name) const {
    const HostRule* host = FindHost(name);
    return host != nullptr ? host->address : 0;
}

std::vector<const RecordRule*> World::RecordsOf(std::string_view name, uint16_t type) const {
    std::vector<const RecordRule*> found;
    if (auto it = recordsByName_.find(name); it != recordsByName_.end()) {
        for (size_t i : it->second) {
            if (records[i].type == type) {
                found.push_back(&records[i]);
            }
        }
    }
    return found;
}

}  // namespace mv::fakeworld

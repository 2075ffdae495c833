#include "engine/mx_cache.h"

#include <algorithm>

#include "engine/mail_hosts.h"
#include "net/dns/dns_query.h"
#include "platform/resolver/hosts_file.h"
#include "platform/time/tick_count.h"

namespace mv {

const MxAnswer* MxCache::Find(const std::string& domain) {
    const auto it = entries_.find(LowerCase(domain));
    if (it == entries_.end()) return nullptr;
    if (TickDiff(it->second.expires, GetTickCount()) <= 0) {
        entries_.erase(it);
        return nullptr;
    }
    return &it->second.answer;
}

const MxAnswer* MxCache::Adopt(const std::string& domain, MxAnswer& answer) {
    const uint32_t seconds =
        answer.failure != 0 ? kFailureHoldSeconds : std::min(answer.ttlSeconds, kMaxTtlSeconds);
    if (seconds == 0) return nullptr;
    if (entries_.size() >= kMaxEntries) entries_.clear();
    Entry& entry = entries_[LowerCase(domain)];
    entry = {std::move(answer), GetTickCount() + seconds * 1000u};
    return &entry.answer;
}

MxAnswer ReadMxAnswer(const _TDnsQuery& dns, const std::string& domain) {
    MxAnswer answer;
    answer.failure = DnsRcodeFailure(dns.ResponseCode());
    if (answer.failure != 0) return answer;
    answer.source = ReadMailHosts(dns, domain, answer.hosts, answer.lines);
    // No record at all: nothing says how long that holds; kept as briefly as a failure.
    const int kept = std::min<int>(dns.AnswerCount(), static_cast<int>(kDnsTableSize));
    answer.ttlSeconds = kept == 0 ? MxCache::kFailureHoldSeconds : MxCache::kMaxTtlSeconds;
    for (int i = 0; i < kept; ++i)
        answer.ttlSeconds = std::min(answer.ttlSeconds, dns.AnswerTTL(i));
    return answer;
}

}  // namespace mv

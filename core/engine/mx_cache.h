// The MX answers of one run, by domain: many addresses of a list share a
// domain, and each would otherwise ask the name server again. An answer is
// kept for the time its records allow (at most an hour); a domain that does
// not exist, or whose name server failed, is held briefly, so that a passing
// failure is asked again soon. An answer that never came is not kept.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/result_verdict.h"

namespace mv {

class _TDnsQuery;

struct MxAnswer {
    // The failure the answer's RCODE means (11001, 11002); 0 for an answer.
    int failure = 0;
    MailHostSource source = MailHostSource::kUnknown;
    std::vector<std::string> hosts;  // in answer order
    std::vector<std::string> lines;  // what the transcript says of the answer
    uint32_t ttlSeconds = 0;         // how long the records may be kept
};

class MxCache {
  public:
    static constexpr uint32_t kMaxTtlSeconds = 3600;
    static constexpr uint32_t kFailureHoldSeconds = 30;
    static constexpr size_t kMaxEntries = 200000;

    void Clear() { entries_.clear(); }
    // The answer kept for `domain` (any case), or none.
    const MxAnswer* Find(const std::string& domain);
    // Keeps `answer` for as long as its TTL allows, without a copy: when it is
    // kept, its contents move into the cache and the kept answer is returned;
    // otherwise `answer` stays as it was and the result is none.
    const MxAnswer* Adopt(const std::string& domain, MxAnswer& answer);
    size_t Size() const { return entries_.size(); }

  private:
    struct Entry {
        MxAnswer answer;
        uint32_t expires = 0;  // tick count
    };
    std::unordered_map<std::string, Entry> entries_;  // by domain in lower case
};

// Reads a query's answer (its RCODE, its MX records and the lowest TTL of the
// records kept) for the session and the cache alike.
MxAnswer ReadMxAnswer(const _TDnsQuery& dns, const std::string& domain);

}  // namespace mv

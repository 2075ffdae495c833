// What the fake DNS server answers to one datagram, without any socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stats.h"
#include "world.h"

namespace mv::fakeworld {

enum class DnsOutcome {
    kAnswered,    // `response` holds the datagram to send back
    kDropped,     // not a well-formed query: no reply
    kUnanswered,  // a "silent" domain: no reply on purpose
};

// Largest response sent; records that do not fit are left out and TC is set.
inline constexpr size_t kMaxDnsResponse = 512;

DnsOutcome AnswerQuery(const World& world, const uint8_t* data, size_t size, Stats& stats,
                       std::vector<uint8_t>& response);

}  // namespace mv::fakeworld

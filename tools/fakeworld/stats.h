// Counters of what the fake world saw, printed on standard error at exit so
// that tests and benchmarks can check, for example, that DATA never came.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mv::fakeworld {

enum class Verb { Helo, Ehlo, Mail, Rcpt, Data, Rset, Quit, Noop, Vrfy, Other, Count };

struct Stats {
    uint64_t connections = 0;
    std::array<uint64_t, static_cast<size_t>(Verb::Count)> commands{};
    uint64_t rcptAccepted = 0;  // 2xx replies to RCPT TO
    uint64_t rcptRejected = 0;  // any other reply to RCPT TO
    uint64_t overlongLines = 0;
    uint64_t peakOpen = 0;    // most connections open at once to one host
    uint64_t tooMany = 0;     // connections refused with 421 by max-connections
    int64_t minGapMs = -1;    // shortest time between two connections to one host; -1: none
    std::string clients;      // the clients' addresses, separated by commas (at most 16)
    uint64_t dnsQueries = 0;  // well-formed queries received
    uint64_t dnsMx = 0;
    uint64_t dnsA = 0;
    uint64_t dnsOther = 0;
    uint64_t dnsDropped = 0;     // malformed datagrams, never answered
    uint64_t dnsUnanswered = 0;  // queries for "silent" domains

    // Processor time used by the whole process, filled in just before Format.
    double cpuUserSeconds = 0;
    double cpuSystemSeconds = 0;

    // Lines of the form "smtp connections=3 rcpt-accepted=2 ...".
    std::string Format() const;
};

std::string_view VerbName(Verb verb);

}  // namespace mv::fakeworld

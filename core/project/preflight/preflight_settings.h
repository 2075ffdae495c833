// What the pre-flight check looks at: the sender, the HELO name, the DNS
// servers in use, the ports, the block-list zones and the domains whose mail
// hosts are tried on port 25, taken from the stored settings of a check run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mv {

struct CheckSettings;
class RecipientList;

struct PreflightSettings {
    std::string from;  // the plain sender address (MAIL FROM)
    std::string helo;  // the name given in HELO
    std::vector<std::string> dnsServers;
    std::string dnsPort = "53";
    std::string smtpPort = "25";
    // The address the receivers see; empty: this computer's outgoing address.
    std::string publicAddress;
    // The local address the port-25 probes leave from, as a check run's
    // connections do (Checks/SourceAddress); empty: the system's choice.
    std::string sourceAddress;
    std::vector<std::string> blockLists;  // DNS block-list zones
    std::vector<std::string> domains;     // their mail hosts are tried on port 25

    // At most this many domains are tried on port 25.
    static constexpr size_t kMaxDomains = 5;
    // One DNS server gets this long to answer before the next one is asked;
    // at most two are asked per question.
    uint32_t dnsTryMs = 2000;
    uint32_t connectLimitMs = 5000;  // per port-25 connection
    // For the first greeting line after a port-25 connection is made, inside
    // the connection's connectLimitMs.
    uint32_t greetingLimitMs = 3000;
    uint32_t wholeLimitMs = 14000;  // the whole check, whatever still waits

    // The settings a check run would use: the sender and HELO name as the run
    // sends them, the DNS servers as the dispatcher settles them (the stored
    // ones, else the system's, else the built-in one), the source address
    // and the zones of `blockLists` ("zone,zone ...").
    static PreflightSettings FromCheckSettings(const CheckSettings& settings,
                                               const std::string& blockLists);
    // The domains to try on port 25: those given, else the sender's own
    // domain (none when the sender has no at sign).
    void SetDomains(std::vector<std::string> given);
};

// The entries of a list separated by commas or blanks, without empty ones.
std::vector<std::string> SplitPreflightList(const std::string& text);

// Up to `max` distinct domains of the list's addresses (without regard to
// case), in the order of the rows, marked rows first.
std::vector<std::string> DistinctDomains(const RecipientList& list, size_t max);

}  // namespace mv

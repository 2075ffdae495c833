// The fake mail world: the hosts that answer SMTP and the domains whose MX
// queries the fake DNS server answers. Built once from a world file, then
// only read; every lookup is a hash lookup per name suffix.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace mv::fakeworld {

// Hash and equality that let maps keyed by std::string be searched with a
// std::string_view, so lookups of received names allocate nothing.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;
template <typename T>
using NameMap = std::unordered_map<std::string, T, NameHash, std::equal_to<>>;
// A greylisting host's memory: when each address first came (milliseconds of
// a monotonic clock).
using GreylistMemory = NameMap<uint64_t>;

// How one SMTP host behaves. Names and user addresses are kept in lower case.
struct HostRule {
    std::string name;           // "mx.example.test", "*.bench" or "*"
    int line = 0;               // where the world file declared it
    bool refuse = false;        // nothing listens: connecting is refused
    bool unresolvable = false;  // its A query gets NXDOMAIN
    bool noIpv4 = false;        // its A query gets NOERROR without records
    bool silent = false;        // accepts the connection and never says anything
    bool multilineGreeting = false;
    bool greylist = false;        // 450 to the first RCPT of each address, then the normal reply
    uint32_t greylistMs = 0;      // with greylist: 450 until this long after the first try
    bool blocklist = false;       // every RCPT TO refused: the client is on a block list
    uint32_t closeAfterRcpt = 0;  // closes after this many RCPT TO replies of a connection; 0 never
    uint32_t maxRecipients = 0;   // RCPT TO past this many on a connection: 452 4.5.3; 0 no limit
    bool silentAfterRcpt = false;  // answers RCPT TO, then never sends anything again
    bool tarpit = false;           // from the second RCPT TO of a connection on: silence
    uint16_t greetingCode = 220;
    uint16_t heloCode = 250;
    uint16_t ehloCode = 0;  // 0: as heloCode
    bool smtputf8 = false;  // EHLO's reply names SMTPUTF8
    uint16_t mailCode = 250;
    uint16_t rcptCode = 250;      // reply to an accepted recipient
    uint16_t rejectCode = 550;    // reply to a recipient not in `users`
    uint32_t delayMs = 0;         // wait before each reply
    uint32_t trickleMs = 0;       // send replies one byte per interval
    uint32_t dripMs = 0;          // a greeting that never ends: one continuation line per interval
    uint32_t maxConnections = 0;  // above this many open at once: 421 and close; 0 = no limit
    bool hasUsers = false;        // only listed users are accepted
    NameSet users;                // full addresses ("alice@example.test")
    NameSet localParts;           // local parts that match at any domain ("alice")
    uint32_t address = 0;         // IPv4 in host byte order; 0 when it has none
    bool ipv6 = false;            // no IPv4 address: listens on ::1, its AAAA record

    bool HasNoAddress() const { return unresolvable || noIpv4; }
    bool Listens() const { return (address != 0 || ipv6) && !refuse; }
};

struct MxEntry {
    uint16_t preference = 10;
    std::string host;
};

enum class DomainKind { Mx, Empty, NxDomain, ServFail, Refused, Silent, NullMx, Cname, ARecord };

// How the DNS answers the MX query of one domain (or domain pattern).
struct DomainRule {
    std::string name;
    int line = 0;
    DomainKind kind = DomainKind::Mx;
    std::vector<MxEntry> mx;  // answer order
    std::string target;       // Cname: the canonical name
    uint32_t address = 0;     // ARecord: the address given (0: the host's own, else 127.0.0.1)
};

// One record of its own for an exact name ("record NAME a ADDRESS", "record
// NAME aaaa ADDRESS" or "record NAME ptr TARGET"): reverse names, block-list
// entries and IPv6 addresses.
struct RecordRule {
    std::string name;
    int line = 0;
    uint16_t type = 1;                   // 1 (A), 12 (PTR) or 28 (AAAA)
    uint32_t address = 0;                // A: host byte order
    std::array<uint8_t, 16> address6{};  // AAAA: network byte order
    std::string target;                  // PTR: the name it points to
};

class World {
  public:
    // At most this many hosts get an address: 127.a.b.1 to 127.a.b.254.
    static constexpr size_t kMaxAddressedHosts = 254;

    std::vector<HostRule> hosts;  // in the order of the world file
    std::vector<DomainRule> domains;
    std::vector<RecordRule> records;  // answered before any host or domain rule

    // Builds the lookup tables; call after filling `hosts` and `domains`.
    void Index();
    // Gives every host that can be resolved the address net + (i + 1), in
    // declaration order. `net` is 127.a.b.0 in host byte order.
    void AssignAddresses(uint32_t net);

    // The rule for a host name (exact, then the longest matching "*.suffix",
    // then "*"), or null. `name` must be in lower case without a final dot.
    const HostRule* FindHost(std::string_view name) const;
    const DomainRule* FindDomain(std::string_view name) const;
    // The address an A query for `name` gets; 0 means NXDOMAIN.
    uint32_t AddressOf(std::string_view name) const;
    // The records of exactly this name and type, in the order of the file.
    std::vector<const RecordRule*> RecordsOf(std::string_view name, uint16_t type) const;

  private:
    template <typename Rule>
    static const Rule* Find(const std::vector<Rule>& rules, const NameMap<size_t>& exact,
                            const NameMap<size_t>& suffixes, int fallback, std::string_view name);

    NameMap<size_t> hostByName_, hostBySuffix_, domainByName_, domainBySuffix_;
    NameMap<std::vector<size_t>> recordsByName_;
    int defaultHost_ = -1;
    int defaultDomain_ = -1;
};

// Lower-cases ASCII letters in place and drops one final dot.
void NormalizeName(std::string& name);

}  // namespace mv::fakeworld

#include "dns_answer.h"

#include <arpa/inet.h>

#include <cstddef>
#include <string>
#include <vector>

#include "dnswire/dnswire.h"

namespace mv::fakeworld {

namespace {

using dnswire::ResponseBuilder;
using dnswire::Section;

constexpr uint8_t kRcodeServerFailure = 2;
constexpr uint8_t kRcodeNotImplemented = 4;
constexpr uint8_t kRcodeRefused = 5;
constexpr uint16_t kQuestionName = 12;  // answers point back at the question's name
constexpr uint32_t kTtl = 300;
constexpr uint16_t kTypeAaaa = 28;

// Bytes of the first question (name, type, class) of a query that ParseQuery
// accepted, so the question is echoed exactly as it came.
size_t QuestionLength(const uint8_t* data) {
    size_t pos = kQuestionName;
    while (data[pos] != 0) {
        pos += 1 + data[pos];
    }
    return pos + 1 + 4 - kQuestionName;
}

std::vector<uint8_t> AddressBytes(uint32_t address) {
    return {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
}

// Adds the MX records in answer order while the datagram stays within
// kMaxDnsResponse; the rest is left out and the TC bit tells so.
void AddMxRecords(ResponseBuilder& builder, const DomainRule& domain) {
    const dnswire::Name owner = dnswire::Name::Pointer(kQuestionName);
    for (const MxEntry& mx : domain.mx) {
        // Owner pointer 2, fixed fields 10, preference 2, the name's labels.
        const size_t record = 2 + 10 + 2 + mx.host.size() + 2;
        if (builder.Offset() + record > kMaxDnsResponse) {
            builder.Tc(true);
            break;
        }
        builder.Mx(owner, mx.preference, mx.host, kTtl);
    }
}

// The name as PTR RDATA: plain labels ended by a zero byte.
std::vector<uint8_t> EncodedName(const std::string& name) {
    std::vector<uint8_t> bytes;
    size_t start = 0;
    while (start < name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos) {
            dot = name.size();
        }
        bytes.push_back(static_cast<uint8_t>(dot - start));
        bytes.insert(bytes.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
                     name.begin() + static_cast<std::ptrdiff_t>(dot));
        start = dot + 1;
    }
    bytes.push_back(0);
    return bytes;
}

// The world's own records of the name and type, if it has any.
bool AnswerRecords(const World& world, const dnswire::Query& query, ResponseBuilder& builder) {
    const std::vector<const RecordRule*> records = world.RecordsOf(query.name, query.type);
    for (const RecordRule* r : records) {
        builder.Record(dnswire::Name::Pointer(kQuestionName), r->type, dnswire::kClassIn, kTtl,
                       r->type == dnswire::kTypeA ? AddressBytes(r->address)
                       : r->type == kTypeAaaa
                           ? std::vector<uint8_t>(r->address6.begin(), r->address6.end())
                           : EncodedName(r->target));
    }
    return !records.empty();
}

void AnswerMx(const World& world, const DomainRule* domain, std::string_view name,
              ResponseBuilder& builder) {
    if (domain == nullptr) {
        builder.Rcode(dnswire::kRcodeNameError);
        return;
    }
    const dnswire::Name owner = dnswire::Name::Pointer(kQuestionName);
    switch (domain->kind) {
        case DomainKind::Mx:
            AddMxRecords(builder, *domain);
            break;
        case DomainKind::NxDomain:
            builder.Rcode(dnswire::kRcodeNameError);
            break;
        case DomainKind::NullMx:  // one MX of preference 0 naming the root: no mail at all
            builder.Mx(owner, 0, "", kTtl);
            break;
        case DomainKind::ServFail:
            builder.Rcode(kRcodeServerFailure);
            break;
        case DomainKind::Refused:
            builder.Rcode(kRcodeRefused);
            break;
        case DomainKind::Cname:
            builder.Cname(owner, domain->target, kTtl);
            break;
        case DomainKind::ARecord: {
            uint32_t address = domain->address != 0 ? domain->address : world.AddressOf(name);
            if (address == 0) {
                address = INADDR_LOOPBACK;
            }
            builder.Record(owner, dnswire::kTypeA, dnswire::kClassIn, kTtl, AddressBytes(address));
            break;
        }
        case DomainKind::Empty:
        case DomainKind::Silent:
            break;
    }
}

// An A or AAAA query: a host's IPv4 address, or ::1 for the ipv6 host. A
// host without an address of the family asked (no-ipv4 too) gets no record;
// a name that is no host's gets NXDOMAIN, whatever the type.
void AnswerAddress(const World& world, uint16_t type, std::string_view name, Stats& stats,
                   ResponseBuilder& builder) {
    ++(type == dnswire::kTypeA ? stats.dnsA : stats.dnsOther);
    const HostRule* host = world.FindHost(name);
    if (host == nullptr || (host->address == 0 && !host->ipv6 && !host->noIpv4)) {
        builder.Rcode(dnswire::kRcodeNameError);
        return;
    }
    const dnswire::Name owner = dnswire::Name::Pointer(kQuestionName);
    if (type == dnswire::kTypeA && host->address != 0) {
        builder.Record(owner, dnswire::kTypeA, dnswire::kClassIn, kTtl,
                       AddressBytes(host->address));
    } else if (type == kTypeAaaa && host->ipv6) {
        std::vector<uint8_t> loopback(16, 0);
        loopback[15] = 1;
        builder.Record(owner, kTypeAaaa, dnswire::kClassIn, kTtl, loopback);
    }
}

}  // namespace

DnsOutcome AnswerQuery(const World& world, const uint8_t* data, size_t size, Stats& stats,
                       std::vector<uint8_t>& response) {
    std::optional<dnswire::Query> query = dnswire::ParseQuery(data, size);
    if (!query || (query->flags & 0x8000) != 0) {
        ++stats.dnsDropped;
        return DnsOutcome::kDropped;
    }
    ++stats.dnsQueries;
    std::string& name = query->name;
    NormalizeName(name);

    const uint8_t opcode = (query->flags >> 11) & 0xF;
    ResponseBuilder builder(query->id);
    builder.Opcode(opcode).Rd((query->flags & 0x0100) != 0).Aa(true);
    builder.Raw(
        std::vector<uint8_t>(data + kQuestionName, data + kQuestionName + QuestionLength(data)));
    builder.Count(Section::kQuestion, 1);

    if (opcode != 0) {
        ++stats.dnsOther;
        builder.Rcode(kRcodeNotImplemented);
    } else if (AnswerRecords(world, *query, builder)) {
        ++(query->type == dnswire::kTypeA ? stats.dnsA : stats.dnsOther);
    } else if (query->type == dnswire::kTypeMx) {
        ++stats.dnsMx;
        const DomainRule* domain = world.FindDomain(name);
        if (domain != nullptr && domain->kind == DomainKind::Silent) {
            ++stats.dnsUnanswered;
            return DnsOutcome::kUnanswered;
        }
        AnswerMx(world, domain, name, builder);
    } else if (query->type == dnswire::kTypeA || query->type == kTypeAaaa) {
        AnswerAddress(world, query->type, name, stats, builder);
    } else {
        ++stats.dnsOther;  // other types: an empty answer
    }
    response = builder.Build();
    return DnsOutcome::kAnswered;
}

}  // namespace mv::fakeworld

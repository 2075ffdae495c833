// The DNS messages of the query client: the standard query it sends (MX, and
// A or PTR for the pre-flight check) and the decoded form of the response it
// receives (header, first question and the first answer records).
//
// The response decoder never reads past the bytes received and never loops:
//  * a compression pointer must point into the message body (offset 12 or
//    more) and strictly before the place where the part of the name that
//    uses it began, so every hop goes backwards; at most kDnsMaxPointerHops
//    hops are followed per name;
//  * labels of the reserved kinds (first byte 64 to 191) are rejected;
//  * a decoded name may hold at most kDnsMaxNameText characters;
//  * the names of answer records (owners, MX exchanges, PTR targets) hold
//    only the bytes of host names: letters, digits, "-", "_" and "/"; a NUL,
//    a line feed, a blank, a "." inside a label or any other byte makes the
//    whole datagram malformed, never a name cut short;
//  * a record's fixed fields and RDATA must lie inside the datagram; an A
//    record's RDATA is exactly 4 bytes; an MX record's is at least 3 and its
//    exchange name ends inside it; a PTR record's name ends inside its RDATA;
//  * header counts larger than the data make the datagram malformed.
// A malformed datagram yields no result at all, so nothing half-decoded can
// reach the caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

// Size of the request buffer and of the largest response read.
inline constexpr size_t kDnsMessageSize = 512;
// Entries of the answer, MX and address tables.
inline constexpr size_t kDnsTableSize = 50;
inline constexpr size_t kDnsMaxLabel = 63;
inline constexpr size_t kDnsMaxNameText = 255;
inline constexpr int kDnsMaxPointerHops = 32;

inline constexpr uint16_t kDnsTypeA = 1;
inline constexpr uint16_t kDnsTypePtr = 12;
inline constexpr uint16_t kDnsTypeMx = 15;
inline constexpr uint16_t kDnsClassIn = 1;

using DnsRequestBuffer = std::array<uint8_t, kDnsMessageSize>;

enum class DnsEncodeStatus {
    kOk,
    kLabelTooLong,  // a label of more than 63 characters
    kQueryTooLong,  // the question does not fit the 512-byte request
};

// Writes the MX query for `domain` with the given ID into `buffer` and sets
// `length` to its size. The domain is encoded label by label as written: each
// "." ends a label, a final "." adds nothing, and two dots in a row give a
// zero-length label. On refusal neither `buffer` nor `length` is touched.
DnsEncodeStatus EncodeMxQuery(uint16_t id, std::string_view domain, DnsRequestBuffer& buffer,
                              int32_t& length);
// The same for a question of any type (class IN).
DnsEncodeStatus EncodeQuery(uint16_t id, std::string_view domain, uint16_t type,
                            DnsRequestBuffer& buffer, int32_t& length);

// The message for a refused domain, for the exception the caller raises.
std::string DnsEncodeErrorText(DnsEncodeStatus status, std::string_view domain);

struct DnsAnswer {
    std::string name;
    uint16_t type = 0;
    uint16_t rclass = 0;
    uint32_t ttl = 0;
    int32_t tag = -1;  // index in `mx` (type 15), `addresses` (type 1) or `names` (type 12),
                       // else -1

    bool operator==(const DnsAnswer&) const = default;
};

struct DnsMxRecord {
    uint16_t preference = 0;
    std::string exchange;

    bool operator==(const DnsMxRecord&) const = default;
};

struct DnsResponse {
    uint16_t responseId = 0;
    uint8_t responseCode = 0;    // RCODE
    uint8_t responseOpCode = 0;  // OPCODE
    bool responseAuthoritative = false;
    bool responseTruncated = false;
    bool responseRecursionAvailable = false;
    uint16_t questionCount = 0;
    uint16_t answerCount = 0;  // ANCOUNT, even when more than the stored answers
    uint16_t authorityCount = 0;
    uint16_t additionalCount = 0;
    std::string questionName;  // first question; empty and 0 when there is none
    uint16_t questionType = 0;
    uint16_t questionClass = 0;
    std::vector<DnsAnswer> answers;  // the first min(ANCOUNT, 50) records
    std::vector<DnsMxRecord> mx;
    std::vector<std::array<uint8_t, 4>> addresses;  // network byte order
    std::vector<std::string> names;                 // the names of PTR records

    bool operator==(const DnsResponse&) const = default;
};

enum class DnsDecodeStatus {
    kDecoded,
    kNotResponse,  // shorter than a header, or the QR bit is clear
    kMalformed,
};

// True when the first question of `response` is the question of `request`
// (a query as EncodeMxQuery wrote it): the same name, compared without regard
// to the case of ASCII letters, the same type and the same class. A response
// without a question answers none.
bool AnswersQuestionOf(const uint8_t* request, size_t requestSize, const uint8_t* response,
                       size_t responseSize);

// Decodes a response datagram. `out` is replaced only when the result is
// kDecoded; otherwise it keeps what it held.
DnsDecodeStatus DecodeDnsResponse(const uint8_t* data, size_t size, DnsResponse& out);

}  // namespace mv

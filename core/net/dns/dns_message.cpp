#include "net/dns/dns_message.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace mv {
namespace {

constexpr size_t kHeaderSize = 12;
constexpr uint16_t kQueryFlags = 0x0100;  // standard query, recursion desired

// Calls `label` with each run of the domain up to the next "." or the end; a
// final "." adds nothing. Stops at the first run for which `label` says false.
template <typename F>
bool ForEachLabel(std::string_view domain, F label) {
    size_t pos = 0;
    while (pos < domain.size()) {
        size_t dot = domain.find('.', pos);
        if (dot == std::string_view::npos) {
            dot = domain.size();
        }
        if (!label(domain.substr(pos, dot - pos))) {
            return false;
        }
        pos = dot + 1;
    }
    return true;
}

uint8_t* Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
    return p + 2;
}

// A bounds-checked view of one received datagram.
class Message {
  public:
    Message(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t size() const { return size_; }
    bool Has(size_t pos, size_t count) const { return pos <= size_ && size_ - pos >= count; }
    uint8_t U8(size_t pos) const { return data_[pos]; }
    uint16_t U16(size_t pos) const {
        return static_cast<uint16_t>(data_[pos] << 8 | data_[pos + 1]);
    }
    uint32_t U32(size_t pos) const { return static_cast<uint32_t>(U16(pos)) << 16 | U16(pos + 2); }
    const char* Chars(size_t pos) const { return reinterpret_cast<const char*>(data_ + pos); }

  private:
    const uint8_t* data_;
    size_t size_;
};

// The bytes a label of a host name may hold: letters, digits and "-", with
// "_" (service labels, and mail hosts named so by mistake) and "/" (the
// owner names of classless reverse delegation, RFC 2317). Anything else, a
// NUL or a line feed above all, would be cut or split by whoever prints or
// looks up the name.
bool IsHostNameByte(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '/';
}

enum class NameBytes { kAny, kHostName };

// Decodes the name at `pos` into `text` and moves `pos` past it. Each label
// is followed by "." unless the name ends right after it; a pointer appends
// the name it points to. False when the name breaks one of the bounds rules,
// or, with kHostName, holds a byte that no host name has.
bool DecodeName(const Message& m, size_t& pos, std::string& text,
                NameBytes allowed = NameBytes::kHostName) {
    text.clear();
    size_t cur = pos;
    size_t partStart = pos;  // where the part being read began
    std::optional<size_t> after;
    int hops = 0;
    while (true) {
        if (!m.Has(cur, 1)) {
            return false;
        }
        const uint8_t b = m.U8(cur);
        if (b == 0) {
            pos = after.value_or(cur + 1);
            return true;
        }
        if (b >= 0xC0) {
            if (!m.Has(cur, 2)) {
                return false;
            }
            const size_t target = m.U16(cur) & 0x3FFF;
            if (!after) {
                after = cur + 2;
            }
            // Only backwards, so that a chain cannot loop.
            if (target < kHeaderSize || target >= partStart || ++hops > kDnsMaxPointerHops) {
                return false;
            }
            cur = partStart = target;
            continue;
        }
        // Reserved label kinds; also the label and the byte after it must exist.
        if (b > kDnsMaxLabel || !m.Has(cur + 1, size_t{b} + 1)) {
            return false;
        }
        const char* label = m.Chars(cur + 1);
        if (allowed == NameBytes::kHostName && !std::all_of(label, label + b, [](char c) {
                return IsHostNameByte(static_cast<uint8_t>(c));
            })) {
            return false;
        }
        text.append(label, b);
        cur += 1 + size_t{b};
        if (m.U8(cur) != 0) {
            text += '.';
        }
        if (text.size() > kDnsMaxNameText) {
            return false;
        }
    }
}

void DecodeHeader(const Message& m, DnsResponse& r) {
    const uint16_t flags = m.U16(2);
    r.responseId = m.U16(0);
    r.responseOpCode = static_cast<uint8_t>(flags >> 11 & 0xF);
    r.responseAuthoritative = (flags & 0x0400) != 0;
    r.responseTruncated = (flags & 0x0200) != 0;
    r.responseRecursionAvailable = (flags & 0x0080) != 0;
    r.responseCode = static_cast<uint8_t>(flags & 0xF);
    r.questionCount = m.U16(4);
    r.answerCount = m.U16(6);
    r.authorityCount = m.U16(8);
    r.additionalCount = m.U16(10);
}

// Reads the first question into the result and skips the others, so that the
// answers are read where they begin. A question's name may hold any byte: the
// one that matters must be the name that was asked (AnswersQuestionOf), and a
// domain taken from a list may hold anything.
bool DecodeQuestions(const Message& m, size_t& pos, DnsResponse& r) {
    std::string name;
    for (uint32_t i = 0; i < r.questionCount; ++i) {
        if (!DecodeName(m, pos, name, NameBytes::kAny) || !m.Has(pos, 4)) {
            return false;
        }
        if (i == 0) {
            r.questionName = name;
            r.questionType = m.U16(pos);
            r.questionClass = m.U16(pos + 2);
        }
        pos += 4;
    }
    return true;
}

// Reads the RDATA of an answer of type A, MX or PTR into its table and sets the tag.
// At most 50 answers are stored, so the tables always have room.
bool DecodeRdata(const Message& m, size_t start, size_t length, DnsResponse& r, DnsAnswer& a) {
    if (a.type == kDnsTypeA) {
        if (length != 4) {
            return false;
        }
        a.tag = static_cast<int32_t>(r.addresses.size());
        r.addresses.push_back({m.U8(start), m.U8(start + 1), m.U8(start + 2), m.U8(start + 3)});
    } else if (a.type == kDnsTypeMx) {
        DnsMxRecord mx;
        size_t pos = start + 2;
        if (length < 3) {
            return false;
        }
        mx.preference = m.U16(start);
        if (!DecodeName(m, pos, mx.exchange) || pos > start + length) {
            return false;
        }
        a.tag = static_cast<int32_t>(r.mx.size());
        r.mx.push_back(std::move(mx));
    } else if (a.type == kDnsTypePtr) {
        std::string name;
        size_t pos = start;
        if (!DecodeName(m, pos, name) || pos > start + length) {
            return false;
        }
        a.tag = static_cast<int32_t>(r.names.size());
        r.names.push_back(std::move(name));
    }
    return true;
}

bool DecodeAnswer(const Message& m, size_t& pos, DnsResponse& r) {
    DnsAnswer a;
    if (!DecodeName(m, pos, a.name) || !m.Has(pos, 10)) {
        return false;
    }
    a.type = m.U16(pos);
    a.rclass = m.U16(pos + 2);
    a.ttl = m.U32(pos + 4);
    const size_t length = m.U16(pos + 8);
    pos += 10;
    if (!m.Has(pos, length) || !DecodeRdata(m, pos, length, r, a)) {
        return false;
    }
    pos += length;
    r.answers.push_back(std::move(a));
    return true;
}

}  // namespace

DnsEncodeStatus EncodeMxQuery(uint16_t id, std::string_view domain, DnsRequestBuffer& buffer,
                              int32_t& length) {
    return EncodeQuery(id, domain, kDnsTypeMx, buffer, length);
}

DnsEncodeStatus EncodeQuery(uint16_t id, std::string_view domain, uint16_t type,
                            DnsRequestBuffer& buffer, int32_t& length) {
    size_t nameSize = 1;  // the final zero byte
    const bool labelsFit = ForEachLabel(domain, [&nameSize](std::string_view label) {
        nameSize += 1 + label.size();
        return label.size() <= kDnsMaxLabel;
    });
    if (!labelsFit) {
        return DnsEncodeStatus::kLabelTooLong;
    }
    const size_t total = kHeaderSize + nameSize + 4;
    if (total > buffer.size()) {
        return DnsEncodeStatus::kQueryTooLong;
    }
    uint8_t* p = buffer.data();
    p = Put16(p, id);
    p = Put16(p, kQueryFlags);
    p = Put16(p, 1);  // QDCOUNT
    p = Put16(p, 0);
    p = Put16(p, 0);
    p = Put16(p, 0);
    ForEachLabel(domain, [&p](std::string_view label) {
        *p++ = static_cast<uint8_t>(label.size());
        p = std::copy(label.begin(), label.end(), p);
        return true;
    });
    *p++ = 0;
    p = Put16(p, type);
    Put16(p, kDnsClassIn);
    length = static_cast<int32_t>(total);
    return DnsEncodeStatus::kOk;
}

std::string DnsEncodeErrorText(DnsEncodeStatus status, std::string_view domain) {
    switch (status) {
        case DnsEncodeStatus::kOk:
            return {};
        case DnsEncodeStatus::kLabelTooLong:
            return "QueryMX: label longer than 63 characters in '" + std::string(domain) + "'";
        case DnsEncodeStatus::kQueryTooLong:
            return "QueryMX: domain name too long for a DNS request '" + std::string(domain) + "'";
    }
    return {};
}

DnsDecodeStatus DecodeDnsResponse(const uint8_t* data, size_t size, DnsResponse& out) {
    const Message m(data, data == nullptr ? 0 : size);
    if (m.size() < kHeaderSize || (m.U8(2) & 0x80) == 0) {
        return DnsDecodeStatus::kNotResponse;
    }
    DnsResponse r;
    DecodeHeader(m, r);
    size_t pos = kHeaderSize;
    if (!DecodeQuestions(m, pos, r)) {
        return DnsDecodeStatus::kMalformed;
    }
    const size_t stored = std::min<size_t>(r.answerCount, kDnsTableSize);
    r.answers.reserve(stored);
    for (size_t i = 0; i < stored; ++i) {
        if (!DecodeAnswer(m, pos, r)) {
            return DnsDecodeStatus::kMalformed;
        }
    }
    out = std::move(r);
    return DnsDecodeStatus::kDecoded;
}

bool AnswersQuestionOf(const uint8_t* request, size_t requestSize, const uint8_t* response,
                       size_t responseSize) {
    if (requestSize <= kHeaderSize || responseSize < kHeaderSize) {
        return false;
    }
    if (response[4] == 0 && response[5] == 0) {
        return false;  // QDCOUNT 0
    }
    // The question as the server reads it: the name up to its first zero
    // byte (an empty label ends it early), then type and class.
    size_t nameEnd = kHeaderSize;
    while (nameEnd < requestSize && request[nameEnd] != 0) {
        nameEnd += 1 + request[nameEnd];
    }
    const size_t questionEnd = nameEnd + 1 + 4;
    if (questionEnd > requestSize || questionEnd > responseSize) {
        return false;
    }
    // The name of a response's first question is never compressed (nothing
    // precedes it to point to), so it is compared byte by byte: label lengths
    // are below 64 and no letter, so only the letters change with the case.
    const auto lower = [](uint8_t c) {
        return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c - 'A' + 'a') : c;
    };
    for (size_t i = kHeaderSize; i <= nameEnd; ++i) {
        if (lower(request[i]) != lower(response[i])) {
            return false;
        }
    }
    return std::equal(request + nameEnd + 1, request + questionEnd, response + nameEnd + 1);
}

}  // namespace mv

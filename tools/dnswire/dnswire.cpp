#include "dnswire/dnswire.h"

#include <arpa/inet.h>

#include <algorithm>
#include <stdexcept>

namespace mv::dnswire {
namespace {

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void Put16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v >> 16));
    Put16(out, static_cast<uint16_t>(v));
}

// Writes the dotted text as labels; a final dot adds nothing. A label longer
// than 63 bytes is written all the same so that tests can break the rules.
void PutLabels(Bytes& out, const std::string& text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t dot = text.find('.', pos);
        if (dot == std::string::npos) {
            dot = text.size();
        }
        const size_t len = dot - pos;
        if (len > 255) {
            throw std::invalid_argument("dnswire: label longer than 255 bytes");
        }
        out.push_back(static_cast<uint8_t>(len));
        out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(pos),
                   text.begin() + static_cast<std::ptrdiff_t>(dot));
        pos = dot + 1;
    }
}

void PutName(Bytes& out, const Name& name) {
    PutLabels(out, name.labels);
    if (name.pointer) {
        Put16(out, static_cast<uint16_t>(0xC000 | (*name.pointer & 0x3FFF)));
    } else {
        out.push_back(0);
    }
}

}  // namespace

std::optional<Query> ParseQuery(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 12) {
        return std::nullopt;
    }
    Query q;
    q.id = Get16(data);
    q.flags = Get16(data + 2);
    q.questionCount = Get16(data + 4);
    if (q.questionCount == 0) {
        return std::nullopt;
    }
    size_t pos = 12;
    while (true) {
        if (pos >= size) {
            return std::nullopt;
        }
        const uint8_t len = data[pos++];
        if (len == 0) {
            break;
        }
        if (len > 63 || size - pos < len) {
            return std::nullopt;
        }
        if (!q.name.empty()) {
            q.name += '.';
        }
        q.name.append(reinterpret_cast<const char*>(data + pos), len);
        pos += len;
    }
    if (size - pos < 4) {
        return std::nullopt;
    }
    q.type = Get16(data + pos);
    q.qclass = Get16(data + pos + 2);
    return q;
}

ResponseBuilder::ResponseBuilder(uint16_t id) : id_(id) {}

ResponseBuilder ResponseBuilder::ReplyTo(const Query& query) {
    ResponseBuilder b(query.id);
    b.Rd((query.flags & 0x0100) != 0);
    b.Question(query.name, query.type, query.qclass);
    return b;
}

ResponseBuilder& ResponseBuilder::Id(uint16_t id) {
    id_ = id;
    return *this;
}

ResponseBuilder& ResponseBuilder::Flags(uint16_t flags) {
    flags_ = flags;
    return *this;
}

ResponseBuilder& ResponseBuilder::Bit(int bit, bool on) {
    const auto mask = static_cast<uint16_t>(1u << bit);
    flags_ = on ? static_cast<uint16_t>(flags_ | mask) : static_cast<uint16_t>(flags_ & ~mask);
    return *this;
}

ResponseBuilder& ResponseBuilder::Opcode(uint8_t opcode) {
    flags_ = static_cast<uint16_t>((flags_ & ~0x7800) | ((opcode & 0xF) << 11));
    return *this;
}

ResponseBuilder& ResponseBuilder::Rcode(uint8_t rcode) {
    flags_ = static_cast<uint16_t>((flags_ & ~0x000F) | (rcode & 0xF));
    return *this;
}

ResponseBuilder& ResponseBuilder::Count(Section section, uint16_t count) {
    explicitCounts_[static_cast<int>(section)] = count;
    return *this;
}

ResponseBuilder& ResponseBuilder::InSection(Section section) {
    section_ = section;
    return *this;
}

ResponseBuilder& ResponseBuilder::Question(const Name& name, uint16_t type, uint16_t qclass) {
    PutName(body_, name);
    Put16(body_, type);
    Put16(body_, qclass);
    ++counts_[static_cast<int>(Section::kQuestion)];
    return *this;
}

void ResponseBuilder::BeginRecord(const Name& owner, uint16_t type, uint16_t rclass, uint32_t ttl) {
    PutName(body_, owner);
    Put16(body_, type);
    Put16(body_, rclass);
    Put32(body_, ttl);
    Put16(body_, 0);  // RDLENGTH, filled in by EndRecord
    ++counts_[static_cast<int>(section_)];
}

void ResponseBuilder::EndRecord(size_t rdataStart) {
    const auto len = static_cast<uint16_t>(body_.size() - rdataStart);
    body_[rdataStart - 2] = static_cast<uint8_t>(len >> 8);
    body_[rdataStart - 1] = static_cast<uint8_t>(len);
}

ResponseBuilder& ResponseBuilder::Mx(const Name& owner, uint16_t preference, const Name& exchange,
                                     uint32_t ttl) {
    BeginRecord(owner, kTypeMx, kClassIn, ttl);
    const size_t start = body_.size();
    Put16(body_, preference);
    PutName(body_, exchange);
    EndRecord(start);
    return *this;
}

ResponseBuilder& ResponseBuilder::A(const Name& owner, const std::string& dottedQuad,
                                    uint32_t ttl) {
    in_addr addr{};
    if (inet_pton(AF_INET, dottedQuad.c_str(), &addr) != 1) {
        throw std::invalid_argument("dnswire: not a dotted quad: " + dottedQuad);
    }
    const auto* b = reinterpret_cast<const uint8_t*>(&addr.s_addr);
    return Record(owner, kTypeA, kClassIn, ttl, Bytes(b, b + 4));
}

ResponseBuilder& ResponseBuilder::Cname(const Name& owner, const Name& target, uint32_t ttl) {
    BeginRecord(owner, kTypeCname, kClassIn, ttl);
    const size_t start = body_.size();
    PutName(body_, target);
    EndRecord(start);
    return *this;
}

ResponseBuilder& ResponseBuilder::Record(const Name& owner, uint16_t type, uint16_t rclass,
                                         uint32_t ttl, const Bytes& rdata,
                                         std::optional<uint16_t> rdlength) {
    BeginRecord(owner, type, rclass, ttl);
    const size_t start = body_.size();
    body_.insert(body_.end(), rdata.begin(), rdata.end());
    EndRecord(start);
    if (rdlength) {
        body_[start - 2] = static_cast<uint8_t>(*rdlength >> 8);
        body_[start - 1] = static_cast<uint8_t>(*rdlength);
    }
    return *this;
}

ResponseBuilder& ResponseBuilder::Raw(std::initializer_list<uint8_t> bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

ResponseBuilder& ResponseBuilder::Raw(const Bytes& bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

ResponseBuilder& ResponseBuilder::RawName(const Name& name) {
    PutName(body_, name);
    return *this;
}

ResponseBuilder& ResponseBuilder::U16(uint16_t value) {
    Put16(body_, value);
    return *this;
}

ResponseBuilder& ResponseBuilder::U32(uint32_t value) {
    Put32(body_, value);
    return *this;
}

ResponseBuilder& ResponseBuilder::Override(size_t offset, const Bytes& bytes) {
    overrides_.emplace_back(offset, bytes);
    return *this;
}

ResponseBuilder& ResponseBuilder::Truncate(size_t size) {
    truncate_ = size;
    return *this;
}

Bytes ResponseBuilder::Build() const {
    Bytes out;
    Put16(out, id_);
    Put16(out, flags_);
    for (int i = 0; i < 4; ++i) {
        Put16(out, explicitCounts_[i].value_or(counts_[i]));
    }
    out.insert(out.end(), body_.begin(), body_.end());
    for (const auto& [offset, bytes] : overrides_) {
        if (out.size() < offset + bytes.size()) {
            out.resize(offset + bytes.size());
        }
        std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    if (truncate_ && *truncate_ < out.size()) {
        out.resize(*truncate_);
    }
    return out;
}

}  // namespace mv::dnswire

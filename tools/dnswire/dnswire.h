// A tiny DNS wire library for the fake servers of tests and demos: it reads the
// first question of a query and builds response datagrams, well-formed or
// deliberately broken. It shares no code with the program's own DNS client so
// that the fakes stay independent of the code they test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mv::dnswire {

using Bytes = std::vector<uint8_t>;

inline constexpr uint16_t kTypeA = 1;
inline constexpr uint16_t kTypeCname = 5;
inline constexpr uint16_t kTypeMx = 15;
inline constexpr uint16_t kClassIn = 1;
inline constexpr uint8_t kRcodeNameError = 3;

// The header and the first question of a query.
struct Query {
    uint16_t id = 0;
    uint16_t flags = 0;
    uint16_t questionCount = 0;
    std::string name;  // labels joined by "." without a final dot; "" for the root
    uint16_t type = 0;
    uint16_t qclass = 0;
};

// Reads a query datagram. Empty when it is shorter than a header, holds no
// question, or its first question runs past the end or uses compression.
std::optional<Query> ParseQuery(const uint8_t* data, size_t size);

// A domain name as the builder writes it: plain labels ended by a zero byte,
// or labels (possibly none) ended by a pointer to an earlier offset.
struct Name {
    Name(const char* text) : labels(text) {}             // NOLINT: implicit on purpose
    Name(std::string text) : labels(std::move(text)) {}  // NOLINT
    static Name Pointer(uint16_t offset) { return LabelsThenPointer("", offset); }
    static Name LabelsThenPointer(std::string text, uint16_t offset) {
        Name n(std::move(text));
        n.pointer = offset;
        return n;
    }

    std::string labels;
    std::optional<uint16_t> pointer;
};

enum class Section { kQuestion = 0, kAnswer = 1, kAuthority = 2, kAdditional = 3 };

// Builds a response datagram in the order of the calls. The header's counts
// follow the questions and records added unless set explicitly.
class ResponseBuilder {
  public:
    explicit ResponseBuilder(uint16_t id = 0);
    // The ID, the RD flag and the question of `query`.
    static ResponseBuilder ReplyTo(const Query& query);

    ResponseBuilder& Id(uint16_t id);
    ResponseBuilder& Flags(uint16_t flags);  // the whole flags word
    ResponseBuilder& Qr(bool on) { return Bit(15, on); }
    ResponseBuilder& Aa(bool on) { return Bit(10, on); }
    ResponseBuilder& Tc(bool on) { return Bit(9, on); }
    ResponseBuilder& Rd(bool on) { return Bit(8, on); }
    ResponseBuilder& Ra(bool on) { return Bit(7, on); }
    ResponseBuilder& Opcode(uint8_t opcode);
    ResponseBuilder& Rcode(uint8_t rcode);
    ResponseBuilder& Count(Section section, uint16_t count);
    // Records added from now on count in `section` (answers by default).
    ResponseBuilder& InSection(Section section);

    ResponseBuilder& Question(const Name& name, uint16_t type = kTypeMx,
                              uint16_t qclass = kClassIn);
    ResponseBuilder& Mx(const Name& owner, uint16_t preference, const Name& exchange,
                        uint32_t ttl = 3600);
    ResponseBuilder& A(const Name& owner, const std::string& dottedQuad, uint32_t ttl = 3600);
    ResponseBuilder& Cname(const Name& owner, const Name& target, uint32_t ttl = 3600);
    // Any record; RDLENGTH is the size of `rdata` unless given.
    ResponseBuilder& Record(const Name& owner, uint16_t type, uint16_t rclass, uint32_t ttl,
                            const Bytes& rdata, std::optional<uint16_t> rdlength = {});

    ResponseBuilder& Raw(std::initializer_list<uint8_t> bytes);
    ResponseBuilder& Raw(const Bytes& bytes);
    ResponseBuilder& RawName(const Name& name);
    ResponseBuilder& U16(uint16_t value);
    ResponseBuilder& U32(uint32_t value);
    // Replaces bytes at `offset` of the finished datagram (the header too).
    ResponseBuilder& Override(size_t offset, const Bytes& bytes);
    // Cuts the finished datagram to `size` bytes.
    ResponseBuilder& Truncate(size_t size);

    // The offset at which the next bytes will be written.
    size_t Offset() const { return body_.size() + 12; }
    Bytes Build() const;

  private:
    ResponseBuilder& Bit(int bit, bool on);
    void BeginRecord(const Name& owner, uint16_t type, uint16_t rclass, uint32_t ttl);
    void EndRecord(size_t rdataStart);

    uint16_t id_;
    uint16_t flags_ = 0x8180;  // response, recursion desired and available
    uint16_t counts_[4] = {0, 0, 0, 0};
    std::optional<uint16_t> explicitCounts_[4];
    Section section_ = Section::kAnswer;
    Bytes body_;  // everything after the header
    std::vector<std::pair<size_t, Bytes>> overrides_;
    std::optional<size_t> truncate_;
};

}  // namespace mv::dnswire

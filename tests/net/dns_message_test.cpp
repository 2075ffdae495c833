#include "net/dns/dns_message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dnswire/dnswire.h"

namespace mv {
namespace {

using dnswire::Bytes;
using dnswire::Name;
using dnswire::ResponseBuilder;
using dnswire::Section;

std::vector<uint8_t> Encode(uint16_t id, const std::string& domain) {
    DnsRequestBuffer buffer{};
    int32_t length = -1;
    EXPECT_EQ(EncodeMxQuery(id, domain, buffer, length), DnsEncodeStatus::kOk) << domain;
    return {buffer.begin(), buffer.begin() + std::max(length, 0)};
}

// Decodes from a heap block of exactly the datagram's size, so that the
// sanitizer catches any read past the bytes received.
DnsDecodeStatus Decode(const Bytes& bytes, DnsResponse& out) {
    auto exact = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    return DecodeDnsResponse(exact.get(), bytes.size(), out);
}

DnsResponse MustDecode(const Bytes& bytes) {
    DnsResponse r;
    EXPECT_EQ(Decode(bytes, r), DnsDecodeStatus::kDecoded);
    return r;
}

ResponseBuilder ExampleReply() {
    return ResponseBuilder(7).Question("example.com");  // question name at offset 12
}

TEST(DnsQueryEncoding, ExampleComWithAndWithoutFinalDot) {
    const std::vector<uint8_t> expected = {
        0x12, 0x34, 0x01, 0x00, 0,   1,   0,   0,   0, 0,   0,   0,       // header
        7,    'e',  'x',  'a',  'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0,  // name
        0x00, 0x0F, 0x00, 0x01};
    EXPECT_EQ(Encode(0x1234, "example.com"), expected);
    EXPECT_EQ(Encode(0x1234, "example.com."), expected);
}

TEST(DnsQueryEncoding, DotsInARowGiveZeroLengthLabels) {
    const std::vector<uint8_t> name = {1, 'a', 0, 1, 'B', 0};
    const auto bytes = Encode(1, "a..B");
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 12, bytes.end() - 4), name);
    const auto leading = Encode(1, ".a");
    EXPECT_EQ(std::vector<uint8_t>(leading.begin() + 12, leading.end() - 4),
              (std::vector<uint8_t>{0, 1, 'a', 0}));
}

TEST(DnsQueryEncoding, RefusesLabelsOver63Characters) {
    Encode(1, std::string(63, 'x') + ".com");
    DnsRequestBuffer buffer{};
    buffer.fill(0xAA);
    int32_t length = 99;
    const std::string domain = "mail." + std::string(64, 'x') + ".com";
    EXPECT_EQ(EncodeMxQuery(1, domain, buffer, length), DnsEncodeStatus::kLabelTooLong);
    EXPECT_EQ(length, 99);
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_NE(DnsEncodeErrorText(DnsEncodeStatus::kLabelTooLong, domain).find(domain),
              std::string::npos);
}

TEST(DnsQueryEncoding, QuestionMustFitTheRequestBuffer) {
    // Seven labels of 63 and one of 46: a 496-byte name, a 512-byte query.
    std::string domain;
    for (int i = 0; i < 7; ++i) {
        domain += std::string(63, 'a') + ".";
    }
    domain += std::string(46, 'b');
    EXPECT_EQ(Encode(1, domain).size(), 512u);
    DnsRequestBuffer buffer{};
    int32_t length = 0;
    EXPECT_EQ(EncodeMxQuery(1, domain + "b", buffer, length), DnsEncodeStatus::kQueryTooLong);
    EXPECT_EQ(EncodeMxQuery(1, domain + ".", buffer, length), DnsEncodeStatus::kOk);
}

TEST(DnsResponseDecoding, NameErrorWithoutAnswers) {
    const auto r = MustDecode(ExampleReply().Rcode(3).Aa(true).Build());
    EXPECT_EQ(r.responseId, 7);
    EXPECT_EQ(r.responseCode, 3);
    EXPECT_TRUE(r.responseAuthoritative);
    EXPECT_TRUE(r.responseRecursionAvailable);
    EXPECT_FALSE(r.responseTruncated);
    EXPECT_EQ(r.questionCount, 1);
    EXPECT_EQ(r.questionName, "example.com");
    EXPECT_EQ(r.questionType, 15);
    EXPECT_EQ(r.questionClass, 1);
    EXPECT_EQ(r.answerCount, 0);
    EXPECT_TRUE(r.answers.empty());
    EXPECT_TRUE(r.mx.empty());
}

TEST(DnsResponseDecoding, HeaderFieldsAndCountsAsSent) {
    auto b = ResponseBuilder(0xFFFE).Flags(0xF280).Count(Section::kAuthority, 3);
    const auto r = MustDecode(b.Count(Section::kAdditional, 65535).Build());
    EXPECT_EQ(r.responseId, 0xFFFE);
    EXPECT_EQ(r.responseOpCode, 14);
    EXPECT_TRUE(r.responseTruncated);
    EXPECT_FALSE(r.responseAuthoritative);
    EXPECT_EQ(r.authorityCount, 3);  // the sections themselves are not read
    EXPECT_EQ(r.additionalCount, 65535);
    EXPECT_EQ(r.questionCount, 0);
    EXPECT_EQ(r.questionName, "");
    EXPECT_EQ(r.questionType, 0);
}

TEST(DnsResponseDecoding, CnameAndTwoMxRecordsGetTagsInOrder) {
    const auto r = MustDecode(ExampleReply()
                                  .Cname(Name::Pointer(12), "alias.example.net", 60)
                                  .Mx("alias.example.net", 20, "mx2.example.net", 0xFFFFFFFF)
                                  .Mx(Name::Pointer(12), 10, Name::LabelsThenPointer("mx1", 12))
                                  .Build());
    ASSERT_EQ(r.answers.size(), 3u);
    EXPECT_EQ(r.answers[0].name, "example.com");
    EXPECT_EQ(r.answers[0].type, 5);
    EXPECT_EQ(r.answers[0].ttl, 60u);
    EXPECT_EQ(r.answers[1].name, "alias.example.net");
    EXPECT_EQ(r.answers[1].ttl, 0xFFFFFFFFu);
    EXPECT_EQ(r.answers[2].rclass, 1);
    EXPECT_EQ(r.answers[0].tag, -1);
    EXPECT_EQ(r.answers[1].tag, 0);
    EXPECT_EQ(r.answers[2].tag, 1);
    ASSERT_EQ(r.mx.size(), 2u);
    EXPECT_EQ(r.mx[0], (DnsMxRecord{20, "mx2.example.net"}));
    EXPECT_EQ(r.mx[1], (DnsMxRecord{10, "mx1.example.com"}));
}

TEST(DnsResponseDecoding, PointerChainsBackwardsAreFollowed) {
    auto b = ExampleReply();
    const auto owner = static_cast<uint16_t>(b.Offset());
    b.Mx(Name::LabelsThenPointer("sub", 12), 5, Name::LabelsThenPointer("mx", owner));
    b.Mx(Name::Pointer(owner), 6, Name::LabelsThenPointer("a.b", owner));
    const auto r = MustDecode(b.Build());
    EXPECT_EQ(r.answers[0].name, "sub.example.com");
    EXPECT_EQ(r.mx[0].exchange, "mx.sub.example.com");
    EXPECT_EQ(r.answers[1].name, "sub.example.com");
    EXPECT_EQ(r.mx[1].exchange, "a.b.sub.example.com");
}

TEST(DnsResponseDecoding, AddressRecordsAndMxShareTheAnswerOrder) {
    const auto r = MustDecode(ExampleReply()
                                  .A("host.example.com", "192.0.2.1")
                                  .Mx(Name::Pointer(12), 1, "host.example.com")
                                  .A("host.example.com", "10.255.0.7")
                                  .Build());
    ASSERT_EQ(r.addresses.size(), 2u);
    EXPECT_EQ(r.addresses[0], (std::array<uint8_t, 4>{192, 0, 2, 1}));
    EXPECT_EQ(r.addresses[1], (std::array<uint8_t, 4>{10, 255, 0, 7}));
    EXPECT_EQ(r.answers[0].tag, 0);
    EXPECT_EQ(r.answers[1].tag, 0);
    EXPECT_EQ(r.answers[2].tag, 1);
}

TEST(DnsResponseDecoding, PtrNamesGetTheirOwnTableAndAnyTypeCanBeAsked) {
    const auto r =
        MustDecode(ExampleReply()
                       .Record(Name::Pointer(12), 12, 1, 60, {4, 'm', 'a', 'i', 'l', 0xC0, 12})
                       .A("host.example.com", "192.0.2.1")
                       .Build());
    ASSERT_EQ(r.names, std::vector<std::string>{"mail.example.com"});
    EXPECT_EQ(r.answers[0].tag, 0);
    EXPECT_EQ(r.answers[1].tag, 0);

    DnsRequestBuffer buffer{};
    int32_t length = 0;
    ASSERT_EQ(EncodeQuery(9, "7.2.0.192.in-addr.arpa", kDnsTypePtr, buffer, length),
              DnsEncodeStatus::kOk);
    EXPECT_EQ(buffer[static_cast<size_t>(length) - 3], kDnsTypePtr);
}

TEST(DnsResponseDecoding, OnlyTheFirstFiftyAnswersAreDecoded) {
    auto b = ExampleReply();
    for (int i = 0; i < 50; ++i) {
        b.Mx(Name::Pointer(12), static_cast<uint16_t>(i), Name::LabelsThenPointer("mx", 12));
    }
    b.Raw({0xFF, 0xFF, 0xFF}).Count(Section::kAnswer, 60);  // never looked at
    const auto r = MustDecode(b.Build());
    EXPECT_EQ(r.answerCount, 60);
    EXPECT_EQ(r.answers.size(), 50u);
    ASSERT_EQ(r.mx.size(), 50u);
    EXPECT_EQ(r.mx[49].preference, 49);
    EXPECT_EQ(r.answers[49].tag, 49);
}

TEST(DnsResponseDecoding, FurtherQuestionsAreSkippedBeforeTheAnswers) {
    const auto r = MustDecode(
        ExampleReply().Question("other.org", 1, 3).Mx(Name::Pointer(12), 1, "mx.test").Build());
    EXPECT_EQ(r.questionCount, 2);
    EXPECT_EQ(r.questionName, "example.com");
    ASSERT_EQ(r.mx.size(), 1u);
    EXPECT_EQ(r.mx[0].exchange, "mx.test");
}

TEST(DnsResponseDecoding, NameTextIsCappedAt255Characters) {
    const std::string label(63, 'n');
    const std::string longest = label + "." + label + "." + label + "." + label;  // 255
    EXPECT_EQ(MustDecode(ExampleReply().Mx(Name::Pointer(12), 1, longest).Build()).mx[0].exchange,
              longest);
    DnsResponse r;
    EXPECT_EQ(Decode(ExampleReply().Mx(Name::Pointer(12), 1, longest + ".x").Build(), r),
              DnsDecodeStatus::kMalformed);
}

TEST(DnsResponseDecoding, ShortOrQueryDatagramsAreNotResponses) {
    DnsResponse r;
    Bytes full = ExampleReply().Build();
    EXPECT_EQ(Decode(Bytes(full.begin(), full.begin() + 11), r), DnsDecodeStatus::kNotResponse);
    EXPECT_EQ(Decode(ExampleReply().Qr(false).Build(), r), DnsDecodeStatus::kNotResponse);
    EXPECT_EQ(DecodeDnsResponse(nullptr, 0, r), DnsDecodeStatus::kNotResponse);
}

TEST(DnsResponseDecoding, ANewResponseReplacesEverything) {
    DnsResponse r;
    ASSERT_EQ(
        Decode(ExampleReply().Mx(Name::Pointer(12), 1, "a.test").A("b", "1.2.3.4").Build(), r),
        DnsDecodeStatus::kDecoded);
    ASSERT_EQ(Decode(ResponseBuilder(9).Rcode(2).Build(), r), DnsDecodeStatus::kDecoded);
    EXPECT_EQ(r, MustDecode(ResponseBuilder(9).Rcode(2).Build()));
    EXPECT_TRUE(r.mx.empty());
    EXPECT_TRUE(r.addresses.empty());
}

// A record whose RDATA holds `chain` pointers, each to the one before it (the
// first to the question name), then an answer whose owner is the last one.
Bytes PointerChain(size_t chain) {
    auto b = ExampleReply();
    const size_t rdata = b.Offset() + 12;  // owner pointer, then the fixed fields
    Bytes raw;
    for (size_t i = 0; i < chain; ++i) {
        const size_t target = i == 0 ? 12 : rdata + 2 * (i - 1);
        raw.push_back(static_cast<uint8_t>(0xC0 | target >> 8));
        raw.push_back(static_cast<uint8_t>(target));
    }
    b.Record(Name::Pointer(12), 16, 1, 0, raw);
    return b.A(Name::Pointer(static_cast<uint16_t>(rdata + 2 * (chain - 1))), "1.1.1.1").Build();
}

TEST(DnsResponseDecoding, PointerChainsAreCapped) {
    EXPECT_EQ(MustDecode(PointerChain(kDnsMaxPointerHops - 1)).answers[1].name, "example.com");
    DnsResponse r;
    EXPECT_EQ(Decode(PointerChain(kDnsMaxPointerHops), r), DnsDecodeStatus::kMalformed);
}

struct MalformedCase {
    const char* what;
    Bytes bytes;
};

std::vector<MalformedCase> MalformedCases() {
    const size_t next = ExampleReply().Offset();  // where the first answer begins
    const auto here = static_cast<uint16_t>(next);
    const auto oneAnswer = [] { return ExampleReply().Count(Section::kAnswer, 1); };
    const auto oneMx = [] { return ExampleReply().Mx(Name::Pointer(12), 1, "mx.example.com"); };
    return {
        {"pointer to itself", ExampleReply().Mx(Name::Pointer(here), 1, "x").Build()},
        {"pointer into its own labels",
         ExampleReply().Mx(Name::LabelsThenPointer("a.b", here), 1, "x").Build()},
        {"forward pointer to a sound name",  // the A record is 16 bytes long
         ExampleReply()
             .A(Name::Pointer(static_cast<uint16_t>(next + 16 + 12)), "1.2.3.4")
             .Record(Name::Pointer(12), 16, 1, 0, {3, 'f', 'w', 'd', 0})
             .Build()},
        {"pointer into the header", ExampleReply().Mx(Name::Pointer(4), 1, "x").Build()},
        {"pointer cut after one byte", oneAnswer().Raw({0xC0}).Build()},
        {"reserved label kind 01", oneAnswer().Raw({0x40, 'a', 0}).Build()},
        {"reserved label kind 10",
         ExampleReply().Mx(Name::Pointer(12), 1, std::string(130, 'z')).Build()},
        {"label runs past the end", oneAnswer().Raw({9, 'a', 'b'}).Build()},
        {"name ends with the datagram", oneAnswer().Raw({2, 'a', 'b'}).Build()},
        {"question without its type and class",
         ResponseBuilder(1).Raw({1, 'a', 0, 0}).Count(Section::kQuestion, 1).Build()},
        {"more questions than present", ExampleReply().Count(Section::kQuestion, 2).Build()},
        {"more answers than present", oneMx().Count(Section::kAnswer, 2).Build()},
        {"fixed fields cut", oneMx().Truncate(next + 2 + 5).Build()},
        {"rdlength past the end",
         ExampleReply().Record(Name::Pointer(12), 16, 1, 0, {1, 'x'}, 3).Build()},
        {"short A rdata", ExampleReply().Record("h", 1, 1, 0, {1, 2, 3}).Build()},
        {"long A rdata", ExampleReply().Record("h", 1, 1, 0, {1, 2, 3, 4, 5}).Build()},
        {"MX rdata of two bytes", ExampleReply().Record("h", 15, 1, 0, {0, 1}).Build()},
        {"MX exchange beyond its rdata",
         ExampleReply().Record("h", 15, 1, 0, {0, 1, 2, 'm', 'x', 0}, 5).Build()},
        {"PTR name beyond its rdata",
         ExampleReply().Record("h", 12, 1, 0, {2, 'm', 'x', 0}, 3).Build()},
        // Bytes no host name has: the name is neither cut nor taken as it is.
        {"NUL and line feed in an exchange",
         ExampleReply().Mx(Name::Pointer(12), 10, std::string("a\0b\nc.test", 10)).Build()},
        {"blank in an exchange", ExampleReply().Mx(Name::Pointer(12), 10, "mx .test").Build()},
        {"byte over 127 in a PTR name",
         ExampleReply().Record(Name::Pointer(12), 12, 1, 0, {2, 'm', 0xE9, 0}).Build()},
        {"dot inside a label of an owner",
         oneAnswer().Raw({3, 'a', '.', 'b', 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 4, 1, 2, 3, 4}).Build()},
    };
}

TEST(DnsResponseDecoding, MalformedDatagramsAreRefusedWithoutTouchingTheResult) {
    DnsResponse sentinel;
    sentinel.questionName = "untouched";
    for (const auto& c : MalformedCases()) {
        DnsResponse r = sentinel;
        EXPECT_EQ(Decode(c.bytes, r), DnsDecodeStatus::kMalformed) << c.what;
        EXPECT_EQ(r, sentinel) << c.what;
    }
}

}  // namespace
}  // namespace mv

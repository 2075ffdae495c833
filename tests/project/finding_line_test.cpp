// The findings line: what is written is read back unchanged, texts that would
// break the line are made harmless, and malformed lines are refused.
#include <gtest/gtest.h>

#include <string>

#include "project/findings/finding_line.h"

namespace mv {
namespace {

FindingRecord Refusal() {
    FindingRecord r;
    r.row = 41;
    r.address = "nobody@shop.test";
    r.code = 0;
    r.finding.verdict = Verdict::kUndeliverable;
    r.finding.reason = Reason::kMailboxUnknown;
    r.finding.enhanced = "5.1.1";
    r.finding.host = "mx1.shop.test";
    r.finding.hostsTried = {"mx1.shop.test", "mx2.shop.test"};
    r.finding.reply = "550-5.1.1 No such user\n550 5.1.1 here";
    return r;
}

TEST(FindingLine, RoundTripsEveryField) {
    const FindingRecord r = Refusal();
    const std::string line = FormatFindingLine(r);
    EXPECT_EQ(line,
              "41\tnobody@shop.test\t0\tundeliverable\tmailbox-unknown\t5.1.1\tmx1.shop.test\t"
              "mx1.shop.test mx2.shop.test\t550-5.1.1 No such user | 550 5.1.1 here");
    EXPECT_EQ(ParseFindingLine(line), r);
    EXPECT_EQ(ParseFindingLine(line + "\r"), r);
    EXPECT_EQ(ParseFindingLine(line + "\tfield of a later version"), r);

    FindingRecord empty;  // a time-out: no reply, no host
    empty.code = -2;
    empty.finding.reason = Reason::kTimeout;
    EXPECT_EQ(ParseFindingLine(FormatFindingLine(empty)), empty);
    empty.finding.notChecked = true;  // a tenth field, which nine-field readers ignore
    EXPECT_EQ(ParseFindingLine(FormatFindingLine(empty)), empty);
}

TEST(FindingLine, ControlCharactersAndLongRepliesCannotBreakTheLine) {
    FindingRecord r = Refusal();
    r.address = "a\tb@x.test";
    r.finding.reply = "550 tab\there\r\n550 " + std::string(600, 'x') + "\xC3\xA9";
    const std::string line = FormatFindingLine(r);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    const auto back = ParseFindingLine(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->address, "a b@x.test");
    EXPECT_LE(back->finding.reply.size(), kMaxReplyBytes);
    EXPECT_EQ(back->finding.reply.rfind("550 tab here\n550 xxx", 0), 0u);
}

TEST(FindingLine, RefusesMalformedLines) {
    const std::string good = FormatFindingLine(Refusal());
    const std::string cases[] = {
        "",
        "mailvetter-findings 1",
        good.substr(0, good.rfind('\t')),            // eight fields
        "-1" + good.substr(2),                       // negative row
        "x1" + good.substr(2),                       // row not a number
        "99999999999999999999999" + good.substr(2),  // row too large
        "41\tnobody@shop.test\t0x\tundeliverable\tmailbox-unknown\t\t\t\t",
        "41\tnobody@shop.test\t0\tmaybe\tmailbox-unknown\t\t\t\t",
        "41\tnobody@shop.test\t0\tundeliverable\twho-knows\t\t\t\t",
        good + std::string(kMaxLineBytes, 'x'),
    };
    for (const std::string& line : cases)
        EXPECT_FALSE(ParseFindingLine(line)) << line.substr(0, 80);
}

}  // namespace
}  // namespace mv

// The fake world's DNS answers, checked with hand-made queries over UDP.
#include <gtest/gtest.h>

#include "fake_world.h"
#include "wire_clients.h"

namespace mv::test {
namespace {

constexpr uint16_t kA = 1;
constexpr uint16_t kCname = 5;
constexpr uint16_t kMx = 15;
constexpr uint16_t kTxt = 16;

const char kWorld[] = R"(# hosts first, domains after; order does not matter
host mx1.example.test
host mx2.example.test
host shared.test
host gone.example.test unresolvable
domain example.test   mx 20 mx2.example.test 10 mx1.example.test shared.test
domain other.test     mx 5 shared.test
domain empty.test     empty
domain gone.test      nxdomain
domain broken.test    servfail
domain closed.test    refused
domain quiet.test     silent
domain nomail.test    nullmx
domain alias.test     cname example.test
domain aonly.test     a 127.9.9.9
domain dangling.test  mx 10 gone.example.test 20 nowhere.test
domain *.bench        mx 10 shared.test
domain *.deep.bench   mx 10 mx1.example.test
record 7.100.51.198.in-addr.arpa ptr mail.example.test
record 2.0.0.127.bl.test a 127.0.0.2
record 2.0.0.127.bl.test a 127.0.0.10
)";

class FakeWorldDns : public ::testing::Test {
  protected:
    std::optional<DnsReply> Ask(const std::string& name, uint16_t type) {
        return DnsAsk(world.dnsServer(), world.dnsPort(), name, type);
    }
    FakeWorld world{kWorld};
};

TEST_F(FakeWorldDns, MxRecordsComeInTheOrderWrittenWithTheirPreferences) {
    auto reply = Ask("example.test", kMx);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, 0x1234);
    EXPECT_EQ(reply->flags & 0x8000, 0x8000) << "QR set";
    EXPECT_EQ(reply->flags & 0x0100, 0x0100) << "RD copied";
    EXPECT_EQ(reply->rcode(), 0);
    EXPECT_EQ(reply->questionCount, 1);
    EXPECT_EQ(reply->questionName, "example.test");
    EXPECT_EQ(reply->questionType, kMx);
    ASSERT_EQ(reply->answers.size(), 3u);
    const std::pair<uint16_t, const char*> expected[] = {
        {20, "mx2.example.test"}, {10, "mx1.example.test"}, {10, "shared.test"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reply->answers[i].type, kMx);
        EXPECT_EQ(reply->answers[i].owner, "example.test");
        EXPECT_EQ(reply->answers[i].preference, expected[i].first);
        EXPECT_EQ(reply->answers[i].text, expected[i].second);
    }
}

TEST_F(FakeWorldDns, NamesCompareWithoutCaseAndTheQuestionIsEchoedAsAsked) {
    auto reply = Ask("ExAmPlE.TEST", kMx);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->questionName, "ExAmPlE.TEST");
    EXPECT_EQ(reply->answers.size(), 3u);
    auto a = Ask("MX1.Example.Test", kA);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->answers.size(), 1u);
    EXPECT_EQ(a->answers[0].text, world.hostAddress("mx1.example.test"));
}

TEST_F(FakeWorldDns, EveryHostResolvesToItsOwnLoopbackAddress) {
    const std::string net = world.dnsServer().substr(0, world.dnsServer().rfind('.') + 1);
    EXPECT_EQ(world.dnsServer(), net + "1");
    const char* hosts[] = {"mx1.example.test", "mx2.example.test", "shared.test"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(world.hostAddress(hosts[i]), net + std::to_string(i + 1));
        auto reply = Ask(hosts[i], kA);
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->answers.size(), 1u);
        EXPECT_EQ(reply->answers[0].type, kA);
        EXPECT_EQ(reply->answers[0].text, net + std::to_string(i + 1));
    }
    EXPECT_NE(world.dnsServer().rfind("127.0.0.", 0), 0u) << "never the 127.0.0.0/24 network";
}

TEST_F(FakeWorldDns, EmptyNxdomainServfailRefusedAndSilentDomains) {
    auto empty = Ask("empty.test", kMx);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->rcode(), 0);
    EXPECT_TRUE(empty->answers.empty());

    auto gone = Ask("gone.test", kMx);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->rcode(), 3);
    EXPECT_TRUE(gone->answers.empty());

    auto unlisted = Ask("unlisted.test", kMx);
    ASSERT_TRUE(unlisted);
    EXPECT_EQ(unlisted->rcode(), 3) << "a domain that no rule names does not exist";

    auto broken = Ask("broken.test", kMx);
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->rcode(), 2);

    auto closed = Ask("closed.test", kMx);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->rcode(), 5);

    const auto quiet =
        DnsRepliesBefore(world.dnsServer(), world.dnsPort(), {DnsQueryBytes("quiet.test", kMx)});
    ASSERT_TRUE(quiet);
    EXPECT_TRUE(quiet->empty()) << "a silent domain gets no answer";
}

TEST_F(FakeWorldDns, ANullMxIsOneRecordOfPreferenceZeroNamingTheRoot) {
    auto reply = Ask("nomail.test", kMx);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->answers.size(), 1u);
    EXPECT_EQ(reply->answers[0].type, kMx);
    EXPECT_EQ(reply->answers[0].preference, 0);
    EXPECT_EQ(reply->answers[0].text, "");
}

TEST_F(FakeWorldDns, RecordsButNoMx) {
    auto alias = Ask("alias.test", kMx);
    ASSERT_TRUE(alias);
    ASSERT_EQ(alias->answers.size(), 1u);
    EXPECT_EQ(alias->answers[0].type, kCname);
    EXPECT_EQ(alias->answers[0].text, "example.test");

    auto aonly = Ask("aonly.test", kMx);
    ASSERT_TRUE(aonly);
    ASSERT_EQ(aonly->answers.size(), 1u);
    EXPECT_EQ(aonly->answers[0].type, kA);
    EXPECT_EQ(aonly->answers[0].text, "127.9.9.9");
}

TEST_F(FakeWorldDns, RecordsOfTheirOwnAnswerTheirTypeOnly) {
    auto ptr = Ask("7.100.51.198.IN-ADDR.arpa", 12);
    ASSERT_TRUE(ptr);
    ASSERT_EQ(ptr->answers.size(), 1u);
    EXPECT_EQ(ptr->answers[0].type, 12);
    EXPECT_EQ(ptr->answers[0].text, "mail.example.test");

    auto listed = Ask("2.0.0.127.bl.test", kA);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->answers.size(), 2u);
    EXPECT_EQ(listed->answers[0].text, "127.0.0.2");
    EXPECT_EQ(listed->answers[1].text, "127.0.0.10");

    auto otherType = Ask("2.0.0.127.bl.test", kMx);
    ASSERT_TRUE(otherType);
    EXPECT_EQ(otherType->rcode(), 3) << "no domain rule: NXDOMAIN as before";
}

TEST_F(FakeWorldDns, MxHostsThatDoNotResolve) {
    auto reply = Ask("dangling.test", kMx);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->answers.size(), 2u);
    EXPECT_EQ(reply->answers[0].text, "gone.example.test");
    for (const char* host : {"gone.example.test", "nowhere.test"}) {
        auto a = Ask(host, kA);
        ASSERT_TRUE(a) << host;
        EXPECT_EQ(a->rcode(), 3) << host;
        EXPECT_TRUE(a->answers.empty()) << host;
    }
    EXPECT_THROW(world.hostAddress("gone.example.test"), std::invalid_argument);
}

TEST_F(FakeWorldDns, WildcardDomainsTakeTheLongestMatchingSuffix) {
    auto shallow = Ask("anything.bench", kMx);
    ASSERT_TRUE(shallow);
    ASSERT_EQ(shallow->answers.size(), 1u);
    EXPECT_EQ(shallow->answers[0].text, "shared.test");
    EXPECT_EQ(shallow->answers[0].owner, "anything.bench");

    auto deep = Ask("x.y.deep.bench", kMx);
    ASSERT_TRUE(deep);
    ASSERT_EQ(deep->answers.size(), 1u);
    EXPECT_EQ(deep->answers[0].text, "mx1.example.test");

    auto bare = Ask("bench", kMx);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->rcode(), 3) << "*.bench does not match bench itself";
}

TEST_F(FakeWorldDns, OtherTypesGetAnEmptyAnswerAndMalformedQueriesAreDropped) {
    auto txt = Ask("example.test", kTxt);
    ASSERT_TRUE(txt);
    EXPECT_EQ(txt->rcode(), 0);
    EXPECT_TRUE(txt->answers.empty());

    const std::vector<uint8_t> shortDatagram = {0x12, 0x34, 1, 0, 0};
    std::vector<uint8_t> response = DnsQueryBytes("example.test", kMx);
    response[2] |= 0x80;  // QR: a response, not a query
    std::vector<uint8_t> cut = DnsQueryBytes("example.test", kMx);
    cut.resize(cut.size() - 3);  // the question runs past the end
    const auto replies =
        DnsRepliesBefore(world.dnsServer(), world.dnsPort(), {shortDatagram, response, cut});
    ASSERT_TRUE(replies);
    EXPECT_TRUE(replies->empty()) << "malformed datagrams get no answer";

    EXPECT_TRUE(Ask("example.test", kMx)) << "still serving after bad datagrams";
    EXPECT_EQ(world.Statistic("dropped"), 3);
    EXPECT_EQ(world.Statistic("unanswered"), 0);
    EXPECT_EQ(world.Statistic("other"), 1);
}

TEST(FakeWorldDnsDefaults, DefaultDomainAndDefaultHostCoverUnlistedNames) {
    FakeWorld world(
        "host * \n"
        "host mx.test\n"
        "domain * mx 10 mx.test\n");
    auto mx = DnsAsk(world.dnsServer(), world.dnsPort(), "whatever.example", kMx);
    ASSERT_TRUE(mx);
    ASSERT_EQ(mx->answers.size(), 1u);
    EXPECT_EQ(mx->answers[0].text, "mx.test");
    auto a = DnsAsk(world.dnsServer(), world.dnsPort(), "some.host.example", kA);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->answers.size(), 1u);
    EXPECT_EQ(a->answers[0].text, world.hostAddress("*"));
}

TEST(FakeWorldDnsLimits, ManyMxRecordsAreCutToFitOneDatagramWithTcSet) {
    std::string text = "domain many.test mx";
    for (int i = 0; i < 60; ++i) {
        text += " host-number-" + std::to_string(i) + ".example.test";
    }
    FakeWorld world(text + "\n");
    auto reply = DnsAsk(world.dnsServer(), world.dnsPort(), "many.test", kMx);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->flags & 0x0200, 0x0200) << "TC";
    EXPECT_GT(reply->answers.size(), 5u);
    EXPECT_LT(reply->answers.size(), 60u);
    EXPECT_EQ(reply->answers.back().text,
              "host-number-" + std::to_string(reply->answers.size() - 1) + ".example.test");
}

TEST(FakeWorldNetworks, ParallelWorldsDoNotCollideAndAFixedNetworkIsKept) {
    FakeWorld first("host mx.test\ndomain a.test mx mx.test\n");
    FakeWorld second("host mx.test\ndomain a.test mx mx.test\n");
    EXPECT_NE(first.hostAddress("mx.test") + ":" + std::to_string(first.smtpPort()),
              second.hostAddress("mx.test") + ":" + std::to_string(second.smtpPort()));
    for (FakeWorld* world : {&first, &second}) {
        SmtpTestClient client(world->hostAddress("mx.test"), world->smtpPort());
        EXPECT_TRUE(client.connected());
    }

    FakeWorld::Options options;
    options.bindNet = "127.77.3";
    FakeWorld fixed("host a.test\nhost b.test refuse\nhost c.test\n", options);
    EXPECT_EQ(fixed.dnsServer(), "127.77.3.1");
    EXPECT_EQ(fixed.hostAddress("c.test"), "127.77.3.3");
}

}  // namespace
}  // namespace mv::test

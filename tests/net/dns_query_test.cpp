// The MX query component against a scripted DNS server on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "fake_dns_server.h"
#include "kernel_probes.h"
#include "net/dns/dns_query.h"
#include "platform/loop/epoll_loop.h"
#include "test_support.h"

namespace mv {
namespace {

using dnswire::Query;
using dnswire::ResponseBuilder;
using test::FakeDnsServer;

class DnsQueryTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    _TDnsQuery query{loop};
    std::vector<uint16_t> done;

    void SetUp() override {
        query.OnRequestDone = [this](_TDnsQuery*, uint16_t e) { done.push_back(e); };
    }
    void PointAt(const FakeDnsServer& server) {
        query.SetAddr("127.0.0.1");
        query.SetPort(server.portText());
    }
    bool WaitDone(size_t n = 1) {
        return test::RunUntil(
            loop, [&] { return done.size() >= n; }, std::chrono::seconds(5));
    }
};

TEST_F(DnsQueryTest, SendsTheStandardMxQueryWithIdsThatCannotBeGuessed) {
    FakeDnsServer server(FakeDnsServer::MxTable({{"example.com", {"mx.example.com"}}}));
    PointAt(server);
    std::vector<uint16_t> ids;
    for (const char* domain : {"example.com", "example.com.", "example.com", "example.com"}) {
        ids.push_back(query.QueryMX(domain));
        ASSERT_TRUE(WaitDone(ids.size()));
    }
    // Random, so neither counting up from 1 nor from any other start.
    std::vector<uint16_t> counting(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        counting[i] = static_cast<uint16_t>(ids[0] + i);
    }
    EXPECT_NE(ids, counting);

    const auto received = server.received();
    ASSERT_EQ(received.size(), ids.size());
    const dnswire::Bytes expected = {0, 0,   0x01, 0x00, 0,   1,    0,    0,    0,   0,
                                     0, 0,   7,    'e',  'x', 'a',  'm',  'p',  'l', 'e',
                                     3, 'c', 'o',  'm',  0,   0x00, 0x0F, 0x00, 0x01};
    for (size_t i = 0; i < ids.size(); ++i) {
        dnswire::Bytes bytes = expected;  // a final dot adds nothing
        bytes[0] = static_cast<uint8_t>(ids[i] >> 8);
        bytes[1] = static_cast<uint8_t>(ids[i] & 0xFF);
        EXPECT_EQ(received[i].bytes, bytes) << i;
    }
}

// Only the answer to the question asked, from the server and port asked,
// completes the query; whatever else comes first is ignored and the query
// keeps waiting for the real answer.
TEST_F(DnsQueryTest, ForgedAnswersAreIgnoredAndTheRealOneIsTaken) {
    FakeDnsServer server([](const Query& q) {
        std::vector<FakeDnsServer::Datagram> out;
        const auto answer = [&](const dnswire::Name& name, uint16_t type, uint16_t qclass,
                                const char* exchange) {
            out.push_back(
                ResponseBuilder(q.id).Question(name, type, qclass).Mx(q.name, 1, exchange).Build());
        };
        answer("other.example", dnswire::kTypeMx, dnswire::kClassIn, "forged-name.test");
        answer(q.name, dnswire::kTypeA, dnswire::kClassIn, "forged-type.test");
        answer(q.name, dnswire::kTypeMx, 3, "forged-class.test");
        out.push_back(ResponseBuilder(q.id).Mx(q.name, 1, "no-question.test").Build());
        // The real answer, its question in another case as some servers send it.
        std::string name = q.name;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        answer(name, dnswire::kTypeMx, dnswire::kClassIn, "mx.example.org");
        return out;
    });
    const auto forge = [](const char* exchange) {
        return [exchange](const Query& q) {
            return std::vector<FakeDnsServer::Datagram>{
                ResponseBuilder::ReplyTo(q).Mx(q.name, 1, exchange).Build()};
        };
    };
    server.AddForger("127.0.0.1", 0, forge("forged-port.test"));
    server.AddForger("127.0.0.2", server.port(), forge("forged-address.test"));
    PointAt(server);
    query.QueryMX("Example.org");
    ASSERT_TRUE(WaitDone());
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(done, std::vector<uint16_t>{0});
    EXPECT_EQ(query.MXExchange(0), "mx.example.org");
    EXPECT_EQ(query.MXRecordCount(), 1);
}

TEST_F(DnsQueryTest, NameErrorCompletesWithoutAnswers) {
    FakeDnsServer server(FakeDnsServer::MxTable({}));  // every domain: NXDOMAIN
    PointAt(server);
    query.QueryMX("nowhere.test");
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done.front(), 0);
    EXPECT_EQ(query.ResponseCode(), 3);
    EXPECT_EQ(query.AnswerCount(), 0);
    EXPECT_EQ(query.MXRecordCount(), 0);
    EXPECT_GT(query.ResponseLength(), 12);
}

TEST_F(DnsQueryTest, AnswersAreStoredInOrderWithTheirTags) {
    FakeDnsServer server([](const Query& q) {
        return std::vector<FakeDnsServer::Datagram>{
            ResponseBuilder::ReplyTo(q)
                .Cname("example.com", "alias.example.com")
                .Mx("example.com", 20, "mx2.example.com")
                .Mx("example.com", 10, dnswire::Name::LabelsThenPointer("mx1", 12))
                .Build()};
    });
    PointAt(server);
    query.QueryMX("example.com");
    ASSERT_TRUE(WaitDone());
    ASSERT_EQ(query.AnswerCount(), 3);
    EXPECT_EQ(query.AnswerTag(0), -1);
    EXPECT_EQ(query.AnswerTag(1), 0);
    EXPECT_EQ(query.AnswerTag(2), 1);
    EXPECT_EQ(query.AnswerType(1), 15);
    EXPECT_EQ(query.MXRecordCount(), 2);
    EXPECT_EQ(query.MXExchange(0), "mx2.example.com");
    EXPECT_EQ(query.MXExchange(1), "mx1.example.com");  // label, ".", pointed-to name
    EXPECT_EQ(query.MXPreference(1), 10);
    EXPECT_EQ(query.MXExchange(2), "");  // beyond the stored entries
    EXPECT_EQ(query.MXExchange(50), "");
    EXPECT_EQ(query.AnswerType(-1), 0);
}

TEST_F(DnsQueryTest, DatagramsThatAreNotTheAnswerAreIgnored) {
    FakeDnsServer server([](const Query& q) {
        std::vector<FakeDnsServer::Datagram> out;
        out.push_back(ResponseBuilder::ReplyTo(q).Build());
        out.back().resize(11);                                            // too short
        out.push_back(ResponseBuilder::ReplyTo(q).Qr(false).Build());     // not a response
        out.push_back(ResponseBuilder::ReplyTo(q).Id(q.id + 7).Build());  // stale ID
        out.push_back(ResponseBuilder::ReplyTo(q).Count(dnswire::Section::kAnswer, 3).Build());
        out.push_back(ResponseBuilder::ReplyTo(q).Mx(q.name, 5, "mx.example.org").Build());
        return out;
    });
    PointAt(server);
    query.QueryMX("example.org");
    // The real answer comes last: once it has been read, so has every other.
    ASSERT_TRUE(test::RunUntil(loop, [&] { return query.MXExchange(0) == "mx.example.org"; }));
    EXPECT_EQ(done, std::vector<uint16_t>{0});  // only the real answer completed it
    EXPECT_EQ(query.MXExchange(0), "mx.example.org");
}

TEST_F(DnsQueryTest, ASecondResponseReplacesTheTables) {
    FakeDnsServer server([](const Query& q) {
        return std::vector<FakeDnsServer::Datagram>{
            ResponseBuilder::ReplyTo(q).Mx(q.name, 1, "a.test").Mx(q.name, 2, "b.test").Build(),
            ResponseBuilder::ReplyTo(q).A(q.name, "192.0.2.1").Build()};
    });
    PointAt(server);
    query.QueryMX("x.test");
    ASSERT_TRUE(WaitDone(2));
    EXPECT_EQ(query.MXRecordCount(), 0);
    EXPECT_EQ(query.AddressCount(), 1);
    EXPECT_EQ(query.AnswerTag(0), 0);
    EXPECT_EQ(query.AnswerCount(), 1);
}

// Queries to one server share a socket, so the answer to the earlier query
// does arrive: by its ID (the same question) or its question it is dropped.
TEST_F(DnsQueryTest, ANewQueryDropsTheAnswerToTheEarlierOne) {
    FakeDnsServer server(FakeDnsServer::MxTable(
        {{"first.test", {"mx.first.test"}}, {"second.test", {"mx.second.test"}}}));
    PointAt(server);
    for (const char* earlier : {"first.test", "second.test"}) {
        done.clear();
        query.QueryMX(earlier);
        const uint16_t id = query.QueryMX("second.test");
        ASSERT_TRUE(WaitDone());
        ASSERT_TRUE(test::Settle(loop));
        EXPECT_EQ(done, std::vector<uint16_t>{0}) << earlier;
        EXPECT_EQ(query.QuestionName(), "second.test") << earlier;
        EXPECT_EQ(query.ResponseID(), id) << earlier;
    }
}

TEST_F(DnsQueryTest, RefusedDomainsRaiseAndSendNothing) {
    FakeDnsServer server;
    PointAt(server);
    EXPECT_THROW(query.QueryMX(std::string(64, 'a') + ".test"), EDnsQueryException);
    std::string huge;
    for (int i = 0; i < 20; ++i)
        huge += std::string(40, 'b') + ".";
    EXPECT_THROW(query.QueryMX(huge), EDnsQueryException);
    EXPECT_NO_THROW(query.QueryMX(std::string(63, 'a') + ".test"));
    // Anything the refused calls had sent would have come before this query.
    const std::string last = std::string(63, 'a') + ".test";
    ASSERT_TRUE(test::Settle(loop));
    ASSERT_TRUE(test::PollUntil([&] {
        const auto received = server.received();
        return !received.empty() && received.back().query && received.back().query->name == last;
    }));
    EXPECT_EQ(server.receivedCount(), 1u);
}

TEST_F(DnsQueryTest, AnUnusableServerAddressRaisesFromQueryMX) {
    query.SetAddr("999.1.1.1");
    try {
        query.QueryMX("example.com");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "connect: SocketResolveHost: '999.1.1.1' Invalid IP address.");
    }
}

}  // namespace
}  // namespace mv

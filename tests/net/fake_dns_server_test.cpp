// Checks of the scripted DNS server's own logic, from a plain UDP client.
#include "fake_dns_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/dns/dns_message.h"

namespace mv::test {
namespace {

class Client {
  public:
    explicit Client(uint16_t port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
        timeval limit{5, 0};  // keeps a broken fake from hanging the suite
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ~Client() { close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void Send(const std::vector<uint8_t>& bytes) {
        EXPECT_EQ(send(fd_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }
    void Query(uint16_t id, const std::string& domain) {
        DnsRequestBuffer buffer{};
        int32_t length = 0;
        ASSERT_EQ(EncodeMxQuery(id, domain, buffer, length), DnsEncodeStatus::kOk);
        Send({buffer.begin(), buffer.begin() + length});
    }
    DnsResponse Answer() {
        uint8_t buffer[512];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        DnsResponse r;
        EXPECT_GT(n, 0);
        EXPECT_EQ(DecodeDnsResponse(buffer, n > 0 ? static_cast<size_t>(n) : 0, r),
                  DnsDecodeStatus::kDecoded);
        return r;
    }

  private:
    int fd_;
};

TEST(FakeDnsServer, MxTableAnswersByDomainWithoutRegardToCase) {
    FakeDnsServer server(FakeDnsServer::MxTable(
        {{"Example.COM.", {"mx1.example.com", "mx2.example.net"}}, {"empty.test", {}}}));
    Client client(server.port());
    client.Query(41, "example.com");
    DnsResponse r = client.Answer();
    EXPECT_EQ(r.responseId, 41);
    EXPECT_EQ(r.responseCode, 0);
    ASSERT_EQ(r.mx.size(), 2u);
    EXPECT_EQ(r.mx[0], (DnsMxRecord{10, "mx1.example.com"}));
    EXPECT_EQ(r.mx[1], (DnsMxRecord{20, "mx2.example.net"}));
    EXPECT_EQ(r.answers[1].name, "example.com");

    client.Query(42, "EMPTY.test.");
    r = client.Answer();
    EXPECT_EQ(r.responseCode, 0);
    EXPECT_EQ(r.answerCount, 0);

    client.Query(43, "unknown.test");
    r = client.Answer();
    EXPECT_EQ(r.responseId, 43);
    EXPECT_EQ(r.responseCode, 3);
    EXPECT_EQ(r.questionName, "unknown.test");
}

TEST(FakeDnsServer, SendsEveryScriptedDatagramAndRecordsWhatCame) {
    FakeDnsServer server([](const dnswire::Query& q) {
        dnswire::Query stale = q;
        stale.id = static_cast<uint16_t>(q.id + 100);
        return std::vector<FakeDnsServer::Datagram>{MxAnswer(stale, {"old.test"}),
                                                    MxAnswer(q, {"new.test"})};
    });
    Client client(server.port());
    client.Send({1, 2, 3});  // unreadable: recorded, never answered
    client.Query(7, "a.test");
    EXPECT_EQ(client.Answer().responseId, 107);
    EXPECT_EQ(client.Answer().mx.at(0).exchange, "new.test");

    const auto received = server.received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(received[0].query.has_value());
    ASSERT_TRUE(received[1].query.has_value());
    EXPECT_EQ(received[1].query->name, "a.test");
    EXPECT_EQ(received[1].query->type, 15);
    EXPECT_EQ(received[1].query->flags, 0x0100);
}

}  // namespace
}  // namespace mv::test

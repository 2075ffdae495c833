// Mail hosts over IPv6, end to end: the fake world's ipv6 host has only the
// address ::1, and the SMTP client reaches it by name; a name with both
// families is reached over IPv4 unless IPv6 is preferred; connections leave
// from the source address of their family.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_world.h"
#include "kernel_probes.h"
#include "net/smtp/smtp_cli.h"
#include "net/socket/local_address.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "test_support.h"

namespace mv {
namespace {

struct Outcome {
    int code = -1;     // the RCPT TO's, or the failure's
    std::string peer;  // the address the client talked to
};

class Ipv6Hosts : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::Ipv6LoopbackUsable())
            GTEST_SKIP() << "::1 cannot be bound: this computer has no IPv6 on loopback";
        world = std::make_unique<test::FakeWorld>("host v6.test ipv6\nhost v4.test accept\n");
        network_layer::SetLookupServers(world->dnsServer() + ":" +
                                        std::to_string(world->dnsPort()));
        client.SetPort(std::to_string(world->smtpPort()));
        client.SetSignOn("probe.test");
        client.SetFromName("me@probe.test");
        client.SetRcptName({"alice@example.test"});
        client.SetFamilies(HostFamilies::kIPv6WhenNoIPv4);
    }
    void TearDown() override { network_layer::SetLookupServers(""); }

    // Open, MAIL FROM, RCPT TO and QUIT with `host`.
    Outcome Probe(const std::string& host) {
        Outcome outcome;
        bool done = false;
        client.OnRequestDone = [&](_TCustomSmtpClient*, TSmtpRequest type, uint16_t error) {
            if (type == smtpConnect && error == 0) {
                outcome.peer = client.Socket().GetPeerAddr();
                return client.MailFrom();
            }
            if (type == smtpMailFrom && error == 0) return client.RcptTo();
            if (type == smtpRcptTo) {
                outcome.code = error;
                return client.Quit();
            }
            if (outcome.code < 0) outcome.code = error;
            done = true;
        };
        client.SetHost(host);
        client.Open();
        // After QUIT the server closes; the next Open needs that close.
        EXPECT_TRUE(test::RunUntil(loop, [&] { return done && !client.Connected(); }));
        return outcome;
    }

    EpollLoop loop;
    std::unique_ptr<test::FakeWorld> world;
    _TSmtpCli client{loop};
};

TEST_F(Ipv6Hosts, AHostWithOnlyAnIPv6AddressIsReachedFromTheSourceAddressOfItsFamily) {
    client.Socket().SetLocalAddr("127.0.0.2 ::1");
    const Outcome v6 = Probe("v6.test");
    EXPECT_EQ(v6.code, 0);
    EXPECT_EQ(v6.peer, "::1");
    const Outcome v4 = Probe("v4.test");
    EXPECT_EQ(v4.code, 0);
    EXPECT_EQ(v4.peer, world->hostAddress("v4.test"));
    world->Stop();
    EXPECT_NE(world->statistics().find("clients=::1,127.0.0.2"), std::string::npos)
        << world->statistics();
}

// "localhost" has both families; only the ipv6 host listens on its port.
// IPv4 alone, the default, finds no address of the ipv6 host.
TEST_F(Ipv6Hosts, TheFamiliesSayWhichAddressOfANameIsTaken) {
    const std::pair<HostFamilies, std::vector<int>> cases[] = {
        {HostFamilies::kIPv6First, {0, 0}},
        {HostFamilies::kIPv6WhenNoIPv4, {10061, 0}},
        {HostFamilies::kIPv4Only, {10061, 11004}},
    };
    for (const auto& [families, codes] : cases) {
        client.SetFamilies(families);
        EXPECT_EQ(Probe("localhost").code, codes[0]) << static_cast<int>(families);
        EXPECT_EQ(Probe("v6.test").code, codes[1]) << static_cast<int>(families);
    }
}

TEST(SourceAddresses, AtMostOneOfEachFamilyAndEachOfThisComputer) {
    if (!test::Ipv6LoopbackUsable())
        GTEST_SKIP() << "::1 cannot be bound: this computer has no IPv6 on loopback";
    struct Case {
        const char* text;
        bool taken;  // by the socket
        LocalAddressFault fault;
    };
    const Case cases[] = {
        {" 127.0.0.1 ::1 ", true, LocalAddressFault::kNone},
        {"::1 127.0.0.1", true, LocalAddressFault::kNone},
        {"", true, LocalAddressFault::kNone},
        {"127.0.0.1 127.0.0.2", false, LocalAddressFault::kNotAnAddress},
        {"::1 ::2", false, LocalAddressFault::kNotAnAddress},
        {"127.0.0.1 ::1 ::2", false, LocalAddressFault::kNotAnAddress},
        {"::1 mail.test", false, LocalAddressFault::kNotAnAddress},
        {"2001:db8::1", true, LocalAddressFault::kNotLocal},
        {"127.0.0.1 ff02::1", true, LocalAddressFault::kNotLocal},
    };
    EpollLoop loop;
    _TAsyncSocket socket(loop);
    for (const Case& c : cases) {
        EXPECT_EQ(CheckLocalAddress(c.text), c.fault) << c.text;
        bool taken = true;
        try {
            socket.SetLocalAddr(c.text);
        } catch (const ESocketException&) {
            taken = false;
        }
        EXPECT_EQ(taken, c.taken) << c.text;
    }
}

}  // namespace
}  // namespace mv

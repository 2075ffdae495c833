// The dispatcher's properties, DNS server discovery and refusals, without
// any network traffic.
#include <gtest/gtest.h>

#include <numeric>

#include "engine/smtp_relay_server.h"
#include "fake_dns_server.h"
#include "platform/loop/epoll_loop.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(Dispatcher, PropertyRules) {
    EpollLoop loop;
    TSmtpRelayServer d(loop);
    EXPECT_EQ(d.Connections(), 1);
    EXPECT_EQ(d.TimeOut(), 60);
    EXPECT_EQ(d.SmtpPort(), "smtp");
    EXPECT_EQ(d.DnsPort(), "53");
    d.SetConnections(0);
    EXPECT_EQ(d.Connections(), 1);
    d.SetConnections(-5);
    EXPECT_EQ(d.Connections(), 1);
    d.SetTimeOut(0);
    EXPECT_EQ(d.TimeOut(), 60);
    d.SetTimeOut(-1);
    EXPECT_EQ(d.TimeOut(), 60);
    d.SetDns("  10.0.0.1 10.0.0.2  ");
    EXPECT_EQ(d.Dns(), "10.0.0.1 10.0.0.2");
}

TEST(Dispatcher, SplittingByTheBlankSeparator) {
    using V = std::vector<std::string>;
    EXPECT_EQ(TSmtpRelayServer::SplitServers("a b"), (V{"a", "b"}));
    EXPECT_EQ(TSmtpRelayServer::SplitServers("a   b  c"), (V{"a", "b", "c"}));
    EXPECT_EQ(TSmtpRelayServer::SplitServers("single"), (V{"single"}));
    EXPECT_EQ(TSmtpRelayServer::SplitServers(""), V{});
}

class DiscoveryTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    TSmtpRelayServer d{loop};
    std::string system;
    void SetUp() override {
        d.SetSystemNameServerSource([this] { return system; });
        d.SetFrom("me@example.test");
        // A run over one address without a domain: it ends at once, and the
        // DNS servers named here are only recorded, never asked.
        d.SetRecipients({{"x@", 0}});
        d.OnEMailProcessed = [](TSmtpRelayServer*, int, int, const std::vector<std::string>&,
                                const TResultInfo&) {};
    }
    std::vector<std::string> Discover() {
        d.Verify();
        auto list = d.DnsServerList();
        d.Abort();
        test::RunUntil(loop, [&] { return !d.Busy(); });
        return list;
    }
};

TEST_F(DiscoveryTest, UserServersComeFirstThenTheSystemsThenTheInternalOne) {
    using V = std::vector<std::string>;
    system = "  192.0.2.53 192.0.2.54 ";
    d.SetInternalDns("9.9.9.9");
    d.SetDns("10.1.1.1 10.1.1.2");
    EXPECT_EQ(Discover(), (V{"10.1.1.1", "10.1.1.2"}));
    d.SetDns("");
    EXPECT_EQ(Discover(), (V{"192.0.2.53", "192.0.2.54"}));
    system = "";
    EXPECT_EQ(Discover(), (V{"9.9.9.9"}));
}

TEST_F(DiscoveryTest, NoServerAnywhereRefusesTheRunAndStaysIdle) {
    d.SetInternalDns("");
    try {
        d.Verify();
        FAIL();
    } catch (const TSmtpRelayServerException& e) {
        EXPECT_STREQ(e.what(), "No DNS SERVER Available");
    }
    EXPECT_FALSE(d.Busy());
    d.SetInternalDns("9.9.9.9");  // idle again: settable
}

TEST_F(DiscoveryTest, EmptyFromIsRefused) {
    d.SetFrom("");
    try {
        d.Verify();
        FAIL();
    } catch (const TSmtpRelayServerException& e) {
        EXPECT_STREQ(e.what(), "FROM property is empty");
    }
    EXPECT_FALSE(d.Busy());
}

TEST_F(DiscoveryTest, PropertiesAreRefusedDuringARun) {
    d.SetInternalDns("9.9.9.9");
    d.Verify();
    EXPECT_TRUE(d.Busy());
    for (const auto& set : std::vector<std::function<void()>>{
             [&] { d.SetConnections(5); }, [&] { d.SetTimeOut(5); }, [&] { d.SetDns("1.1.1.1"); },
             [&] { d.SetInternalDns("1.1.1.1"); }, [&] { d.SetRecipients({}); }}) {
        try {
            set();
            ADD_FAILURE();
        } catch (const TSmtpRelayServerException& e) {
            EXPECT_STREQ(e.what(), "Component is busy");
        }
    }
    EXPECT_EQ(d.Connections(), 1);
    d.Abort();
    test::RunUntil(loop, [&] { return !d.Busy(); });
}

TEST_F(DiscoveryTest, AnEmptyRunFinishesInsteadOfStayingBusy) {
    d.SetInternalDns("9.9.9.9");
    d.SetRecipients({});
    int finished = 0;
    d.OnFinished = [&](TSmtpRelayServer*, bool aborted) {
        EXPECT_FALSE(aborted);
        ++finished;
    };
    d.Verify();
    EXPECT_TRUE(test::RunUntil(loop, [&] { return finished == 1; }));
}

// Sessions start a slice per turn of the loop, in address order, and a run
// stopped before all have started still ends.
TEST_F(DiscoveryTest, SessionsStartInSlicesAndAStopDuringTheStartEndsTheRun) {
    test::FakeDnsServer silent;  // the sessions wait for answers that never come
    d.SetDns("127.0.0.1");
    d.SetDnsPort(silent.portText());
    d.SetRecipients(TRecipientList(250, TRecipientEntry{"x@quiet.test", 0}));
    d.SetConnections(250);
    std::vector<int> taken;
    d.OnGetData = [&](TSmtpRelayServer*, int index) { taken.push_back(index); };
    int finished = 0;
    d.OnFinished = [&](TSmtpRelayServer*, bool aborted) {
        EXPECT_TRUE(aborted);
        ++finished;
    };
    for (const bool stopAtOnce : {true, false}) {
        taken.clear();
        finished = 0;
        d.Verify();
        EXPECT_EQ(d.LiveSessions(), 100);
        if (!stopAtOnce) {
            EXPECT_TRUE(test::RunUntil(loop, [&] { return d.LiveSessions() == 250; }));
            std::vector<int> inOrder(250);
            std::iota(inOrder.begin(), inOrder.end(), 0);
            EXPECT_EQ(taken, inOrder);
        }
        d.Abort();
        EXPECT_TRUE(test::RunUntil(loop, [&] { return finished == 1; }));
        EXPECT_EQ(taken.size(), stopAtOnce ? 100u : 250u);
    }
}

}  // namespace
}  // namespace mv

// The dispatcher fed while it runs: addresses handed over in several goes,
// reported by their tags, the run open until the feed is closed.
#include <gtest/gtest.h>

#include <map>

#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(DispatcherFeed, AddressesFedInGoesAreReportedByTagAndTheRunEndsOnceClosed) {
    test::FakeWorld world(
        "host mx.ok.test accept\nhost mx.no.test rcpt=550\n"
        "domain ok.test mx mx.ok.test\ndomain no.test mx mx.no.test\n");
    EpollLoop loop;
    network_layer::SetLookupServers(world.dnsServer() + ":" + std::to_string(world.dnsPort()));
    TSmtpRelayServer d(loop);
    d.SetDns(world.dnsServer());
    d.SetDnsPort(std::to_string(world.dnsPort()));
    d.SetSmtpPort(std::to_string(world.smtpPort()));
    d.SetFrom("checker@probe.test");
    d.SetConnections(2);
    std::map<int, int> codes;
    int begun = 0;
    int finished = 0;
    d.OnGetData = [&](TSmtpRelayServer*, int) { ++begun; };
    d.OnEMailProcessed = [&](TSmtpRelayServer*, int tag, int err, const std::vector<std::string>&,
                             const TResultInfo&) { codes[tag] = err; };
    d.OnFinished = [&](TSmtpRelayServer*, bool) { ++finished; };

    d.SetRecheckDeferredMs(1000);  // a fed run leaves rechecks to its owner
    EXPECT_THROW(d.VerifyFeed(), TSmtpRelayServerException);
    d.SetRecheckDeferredMs(0);
    EXPECT_THROW(d.AddRecipients({{"a@ok.test", 1}}), TSmtpRelayServerException);
    d.VerifyFeed();
    d.AddRecipients({{"a@ok.test", 41}, {"b@no.test", 7}, {"c@ok.test", 1000}});
    EXPECT_EQ(d.LiveSessions(), 2);  // no more than Connections
    ASSERT_TRUE(test::RunUntil(loop, [&] { return codes.size() == 3; }));
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_TRUE(d.Busy());  // the feed is open: the run waits for more
    EXPECT_EQ(finished, 0);
    d.AddRecipients({{"d@no.test", 5}});
    const TRecipientList back = d.TakeBackFed();  // taken at once: nothing left to take back
    EXPECT_TRUE(back.empty());
    d.CloseFeed();
    ASSERT_TRUE(test::RunUntil(loop, [&] { return finished == 1; }));
    EXPECT_EQ(codes, (std::map<int, int>{{41, 0}, {7, 550}, {1000, 0}, {5, 550}}));
    EXPECT_EQ(begun, 4);
    EXPECT_FALSE(d.FeedOpen());
    network_layer::SetLookupServers("");
}

}  // namespace
}  // namespace mv

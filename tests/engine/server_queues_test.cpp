// The queues per domain end to end against the fake mail world: the same
// results as in list order, busy, refusing and silent servers that hold no
// other domain, and several addresses on one connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "platform/loop/epoll_loop.h"
#include "world_run.h"

namespace mv {
namespace {

class ServerQueues : public ::testing::Test {
  protected:
    void Serve(const std::string& worldText, int timeOut = 1) {
        world = std::make_unique<test::FakeWorld>(worldText);
        run.Point(*world, timeOut);
        d.SetRetryPauseMs(20);
        d.SetDeadBackOffMs(60000);
        d.SetPerServer(0);
        d.SetPerServerRate(0);
        d.SetAddressesPerConnection(1);
    }
    void Check(const std::vector<std::string>& list, int connections) {
        ASSERT_TRUE(run.Check(list, connections, std::chrono::seconds(40)));
        ASSERT_EQ(run.last.size(), list.size());
    }
    // The position of the last report of each address in the run's events.
    size_t ReportedAt(int index) const {
        const auto it =
            std::find(run.events.rbegin(), run.events.rend(), "report " + std::to_string(index));
        return static_cast<size_t>(run.events.rend() - it);
    }

    std::unique_ptr<test::FakeWorld> world;
    EpollLoop loop;
    test::WorldRun run{loop};
    TSmtpRelayServer& d = run.d;
};

std::vector<std::string> Many(const std::string& domain, int n, int from = 0) {
    std::vector<std::string> list;
    for (int i = from; i < from + n; ++i)
        list.push_back("u" + std::to_string(i) + "@" + domain);
    return list;
}

using Outcome = std::tuple<std::string, int, Verdict, Reason>;

// Results do not depend on the order of taking: queues, a rate and several
// addresses per connection give the multiset of the list order.
TEST_F(ServerQueues, TheQueuesChangeNoResult) {
    const std::string text =
        "host mx1.prov.test users=alice,bob,carol\nhost mx2.prov.test rcpt=550\n"
        "host dead.test refuse\nhost rude.test greeting=554\nhost gone.test unresolvable\n"
        "domain a.test mx 10 mx1.prov.test 20 mx2.prov.test\n"
        "domain b.test mx 10 mx2.prov.test 20 mx1.prov.test\ndomain dead.test mx dead.test\n"
        "domain rude.test mx rude.test\ndomain gone.test mx gone.test\ndomain none.test nxdomain\n"
        "domain nomail.test nullmx\n";
    std::vector<std::string> list;
    for (const char* user : {"alice", "bob", "zed", "carol"})
        for (const char* domain : {"a.test", "b.test", "dead.test", "rude.test", "gone.test",
                                   "none.test", "nomail.test", "a.test"})
            list.push_back(std::string(user) + "@" + domain);
    const struct {
        int perServer, rate, perConnection;
    } runs[] = {{0, 0, 1}, {2, 0, 1}, {1, 6000, 1}, {3, 0, 5}};
    std::multiset<Outcome> plain;
    for (const auto& r : runs) {
        Serve(text);
        d.SetPerServer(r.perServer);
        d.SetPerServerRate(r.rate);
        d.SetAddressesPerConnection(r.perConnection);
        Check(list, 6);
        std::multiset<Outcome> outcomes;
        for (const auto& [i, o] : run.last)
            outcomes.emplace(list[static_cast<size_t>(i)], o.code, o.info.finding.verdict,
                             o.info.finding.reason);
        if (r.perServer == 0) {
            plain = outcomes;
            std::vector<std::string> gets;
            for (const std::string& e : run.events)
                if (e.rfind("get ", 0) == 0) gets.push_back(e);
            for (size_t i = 0; i < gets.size(); ++i)  // strictly in list order
                EXPECT_EQ(gets[i], "get " + std::to_string(i));
        }
        EXPECT_EQ(outcomes, plain) << r.perServer << " " << r.rate << " " << r.perConnection;
        EXPECT_FALSE(d.Queued() && d.Counters().parkedWhileEligible != 0);
    }
}

// A server that is slow, silent, a tarpit or refuses every greeting keeps
// its own addresses waiting, never another domain's: every address at the
// five other domains is reported before the first one at the bad server, no
// session waits for a place, and no address is tried more than 3 times.
TEST_F(ServerQueues, ABadServerHoldsNoOtherDomain) {
    const struct {
        const char* behaviour;
        int perConnection;
        int code;  // of the bad server's addresses
    } cases[] = {
        {"delay=40", 1, 0}, {"silent", 1, -2}, {"tarpit delay=60", 5, 0}, {"greeting=421", 1, 421}};
    for (const auto& c : cases) {
        std::string text = std::string("host mx.bad.test ") + c.behaviour +
                           "\ndomain bad.test mx mx.bad.test\nhost mx.ok.test\n";
        for (int i = 0; i < 5; ++i)
            text += "domain ok" + std::to_string(i) + ".test mx mx.ok.test\n";
        Serve(text);
        d.SetPerServer(2);
        d.SetRetryPauseMs(100);
        d.SetAddressesPerConnection(c.perConnection);
        std::vector<std::string> list = Many("bad.test", 4);
        for (int i = 0; i < 10; ++i)
            list.push_back("u" + std::to_string(i) + "@ok" + std::to_string(i % 5) + ".test");
        Check(list, 8);
        size_t lastOther = 0;
        size_t firstBad = run.events.size();
        for (const auto& [i, o] : run.last) {
            const bool bad = i < 4;
            EXPECT_EQ(o.code, bad ? c.code : 0) << c.behaviour << " " << list[i];
            EXPECT_LE(std::count(o.log.begin(), o.log.end(), "Trying SMTP host \"mx.bad.test\""), 3)
                << c.behaviour;
            (bad ? firstBad : lastOther) =
                bad ? std::min(firstBad, ReportedAt(i)) : std::max(lastOther, ReportedAt(i));
        }
        EXPECT_LT(lastOther, firstBad) << c.behaviour;
        EXPECT_EQ(d.Counters().fallbackWaits, 0) << c.behaviour;
        EXPECT_EQ(d.Counters().parkedWhileEligible, 0) << c.behaviour;
    }
}

// A server refusing every greeting dies after 2 x limit refusals in a row;
// what is left of its addresses then ends at once, not checked, with its
// last refusal, and the run does not wait for its back-off.
TEST_F(ServerQueues, AServerThatKeepsRefusingLeavesItsAddressesNotChecked) {
    Serve("host mx.full.test greeting=421\ndomain full.test mx mx.full.test\n");
    d.SetPerServer(1);
    Check(Many("full.test", 5), 2);
    int notChecked = 0;
    for (const auto& [i, o] : run.last) {
        EXPECT_EQ(o.code, 421) << i;
        if (!o.info.notChecked) continue;
        ++notChecked;
        EXPECT_EQ(o.log.back(), "Not checked: mail server full.test failed 2 times in a row");
        EXPECT_EQ(o.info.finding.reason, Reason::kDeferred);
    }
    EXPECT_GE(notChecked, 3);
    EXPECT_EQ(run.begunTotal, 5);  // each address begun once
}

// Several addresses on one connection: a connection that drops after three,
// a host that takes three recipients (452 4.5.3 after), and two hosts of one
// group that carry only their own domains' addresses.
TEST_F(ServerQueues, AddressesOnOneConnectionLoseNoneAndStayAtTheirHost) {
    const struct {
        const char* host;
        bool twoHosts;
    } cases[] = {{"close-after-rcpt=3", false}, {"recipients=3", false}, {"", true}};
    for (const auto& c : cases) {
        Serve(std::string("host mx1.prov.test ") + c.host +
              "\nhost mx2.prov.test\ndomain a.test mx mx1.prov.test\n"
              "domain b.test mx mx2.prov.test\n");
        d.SetPerServer(2);
        d.SetAddressesPerConnection(20);
        std::vector<std::string> list = Many("a.test", 20);
        if (c.twoHosts) {
            const std::vector<std::string> b = Many("b.test", 10);
            list.insert(list.begin() + 5, b.begin(), b.end());
        }
        Check(list, 2);
        for (const auto& [i, o] : run.last) {
            EXPECT_EQ(o.code, 0) << c.host << " " << list[i];
            const bool atB = list[i].find("@b.test") != std::string::npos;
            EXPECT_EQ(o.info.finding.host, atB ? "mx2.prov.test" : "mx1.prov.test") << list[i];
            EXPECT_EQ(std::count(o.log.begin(), o.log.end(), "452 4.5.3 Too many recipients"), 0);
        }
        EXPECT_GT(d.Counters().reused, 10) << c.host;
        EXPECT_LT(world->Statistic("connections"), static_cast<long long>(list.size()) / 2);
    }
}

// A session that falls back to a backup host whose group is full waits for
// the place, counted: granted when the holder leaves, or, when the holder
// outlasts the time-out, connecting all the same rather than failing.
TEST_F(ServerQueues, AFallbackHostsPlaceIsWaitedForAtMostTheTimeOut) {
    const struct {
        int delayMs;  // per reply of the host holding the place
        int overruns;
    } cases[] = {{20, 0}, {400, 1}};
    for (const auto& c : cases) {
        Serve("host mx1.a.test refuse\nhost mx.prov.test delay=" + std::to_string(c.delayMs) +
              "\ndomain a.test mx 10 mx1.a.test 20 mx.prov.test\n"
              "domain p.test mx mx.prov.test\n");
        d.SetPerServer(1);
        Check({"u0@p.test", "x@a.test"}, 2);
        EXPECT_EQ(run.last.at(1).code, 0) << c.delayMs;
        EXPECT_EQ(run.last.at(1).info.finding.host, "mx.prov.test");
        EXPECT_EQ(d.Counters().fallbackWaits, 1) << c.delayMs;
        EXPECT_EQ(d.Counters().fallbackWaitsOverrun, c.overruns) << c.delayMs;
    }
}

}  // namespace
}  // namespace mv

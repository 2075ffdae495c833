// Politeness per mail server, the source address and the warnings about the
// checking computer, end to end against the fake mail world (which counts
// the connections it sees open at once, their spacing and their clients).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "test_support.h"
#include "world_run.h"

namespace mv {
namespace {

class Politeness : public ::testing::Test {
  protected:
    void Serve(const std::string& worldText) {
        world = std::make_unique<test::FakeWorld>(worldText);
        run.Point(*world);
        d.SetRetryPauseMs(50);
    }

    void Begin(const std::vector<std::string>& addresses, int connections) {
        run.Begin(addresses, connections);
    }
    void Check(const std::vector<std::string>& addresses, int connections) {
        ASSERT_TRUE(run.Check(addresses, connections, std::chrono::seconds(30)));
        EXPECT_EQ(outcomes.size(), addresses.size());
    }
    static size_t Count(const std::vector<std::string>& log, const std::string& prefix) {
        return static_cast<size_t>(std::count_if(
            log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    std::unique_ptr<test::FakeWorld> world;
    EpollLoop loop;
    test::WorldRun run{loop};
    TSmtpRelayServer& d = run.d;
    std::map<int, test::RunReport>& outcomes = run.last;
    int& begun = run.begunTotal;
    int& finished = run.finished;
};

// Six domains LETTER0.test to LETTER5.test, each with its own mail host
// mx.LETTERn.test that behaves as told.
std::string SixDomains(const std::string& letter, const std::string& behaviour) {
    std::string world;
    for (int h = 0; h < 6; ++h) {
        const std::string domain = letter + std::to_string(h) + ".test";
        world.append("host mx.").append(domain).append(" ").append(behaviour).append("\n");
        world.append("domain ").append(domain).append(" mx mx.").append(domain).append("\n");
    }
    return world;
}

std::vector<std::string> Addresses(const std::string& domain, int n) {
    std::vector<std::string> list;
    list.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        list.push_back("u" + std::to_string(i) + "@" + domain);
    return list;
}

// A session waiting for a place waits longer than twice the one-second
// time-out here: were the wait idleness, the watchdog would end it as -2.
TEST_F(Politeness, NeverMoreThanTheLimitOpenAndTheWaitIsNoIdleness) {
    for (const auto& [limit, addresses] : {std::pair{1, 10}, std::pair{3, 15}}) {
        Serve("host mx.one.test delay=40\ndomain one.test mx mx.one.test\n");
        d.SetPerServer(limit);
        Check(Addresses("one.test", addresses), 20);
        for (const auto& [i, o] : outcomes)
            EXPECT_EQ(o.code, 0) << "limit " << limit << ", address " << i;
        EXPECT_EQ(world->Statistic("peak-open"), limit);
    }
}

// Results and transcripts are those of a run without a limit, but for the
// lines that tell of a wait.
TEST_F(Politeness, ALimitChangesNoResult) {
    Serve(
        "host mx.a.test users=alice\nhost mx.b.test rcpt=550\nhost dead.test refuse\n"
        "host gone.test unresolvable\nhost rude.test greeting=554\nhost picky.test helo=501\n"
        "domain a.test mx 10 mx.b.test 20 mx.a.test\ndomain dead.test mx dead.test\n"
        "domain gone.test mx gone.test\ndomain rude.test mx rude.test\n"
        "domain picky.test mx picky.test\ndomain self.test empty\n");
    const std::vector<std::string> list = {"alice@a.test", "bob@a.test",   "x@dead.test",
                                           "x@gone.test",  "x@rude.test",  "x@picky.test",
                                           "x@self.test",  "carol@a.test", "alice@a.test"};
    Check(list, 9);
    const std::map<int, test::RunReport> free = outcomes;
    d.SetPerServer(1);
    Check(list, 9);
    for (auto& [i, o] : outcomes) {
        o.log.erase(std::remove_if(o.log.begin(), o.log.end(),
                                   [](const std::string& l) {
                                       return l.rfind("Waiting for a free connection", 0) == 0;
                                   }),
                    o.log.end());
        EXPECT_EQ(o.code, free.at(i).code) << list[i];
        EXPECT_EQ(o.log, free.at(i).log) << list[i];
    }
}

// The server takes 3 connections; the limit of 5 meets its 421, is halved,
// and the refused addresses are tried again until they get their answer.
TEST_F(Politeness, TooManyConnectionsHalvesTheLimitAndTriesAgain) {
    Serve(
        "host mx.crowd.test max-connections=3 delay=30 users=u0,u1,u2,u3,u4,u5,u6,u7,u8,u9\n"
        "domain crowd.test mx mx.crowd.test\n");
    d.SetPerServer(5);
    Check(Addresses("crowd.test", 12), 12);
    int retried = 0;
    for (const auto& [i, o] : outcomes) {
        EXPECT_EQ(o.code, i < 10 ? 0 : 550) << i;
        const auto again = std::find(o.log.begin(), o.log.end(), "Trying again after 421");
        if (again == o.log.end()) continue;
        ++retried;
        EXPECT_EQ(Count({o.log.begin(), again}, "421 4.7.0 mx.crowd.test Error: too many"), 1u);
        ASSERT_NE(again + 1, o.log.end());
        EXPECT_EQ(*(again + 1), "Trying SMTP host \"mx.crowd.test\"");
    }
    EXPECT_GT(retried, 0);
    EXPECT_GT(world->Statistic("too-many"), 0);
}

// A server that always refuses is tried 3 times more, then its refusal is
// the result; without any limit a 421 ends the address at once.
TEST_F(Politeness, ARefusalThatStaysEndsTheAddressAfterThreeTries) {
    const struct {
        const char* host;
        int perServer;
        size_t tries;
    } cases[] = {{"greeting=421", 2, 3}, {"helo=421", 2, 3}, {"greeting=421", 0, 0}};
    for (const auto& c : cases) {
        Serve(std::string("host mx.full.test ") + c.host + "\ndomain full.test mx mx.full.test\n");
        d.SetPerServer(c.perServer);
        Check({"x@full.test"}, 1);
        EXPECT_EQ(outcomes[0].code, 421) << c.host;
        EXPECT_EQ(Count(outcomes[0].log, "Trying again after 421"), c.tries) << c.host;
        EXPECT_EQ(Count(outcomes[0].log, "Trying SMTP host"), c.tries + 1) << c.host;
    }
}

TEST_F(Politeness, TheRateLimitSpacesTheConnections) {
    Serve("host mx.rate.test\ndomain rate.test mx mx.rate.test\n");
    d.SetPerServerRate(600);  // one every 100 ms
    Check(Addresses("rate.test", 6), 6);
    for (const auto& [i, o] : outcomes)
        EXPECT_EQ(o.code, 0) << i;
    // The server's clock: a little scheduling noise on either side.
    EXPECT_GE(world->Statistic("min-gap-ms"), 85);
}

TEST_F(Politeness, ConnectionsLeaveFromTheSourceAddress) {
    Serve("host mx.src.test\ndomain src.test mx mx.src.test\n");
    d.SetSourceAddress("127.0.0.2");
    Check(Addresses("src.test", 3), 3);
    for (const auto& [i, o] : outcomes)
        EXPECT_EQ(o.code, 0) << i;
    world->Stop();
    EXPECT_NE(world->statistics().find(" clients=127.0.0.2\n"), std::string::npos)
        << world->statistics();
}

// A warning holds the run: the addresses begun go on to their results, no
// new one is begun until GoOn, and then every address is checked.
TEST_F(Politeness, AWarningHoldsTheRunUntilItGoesOn) {
    const std::string refused = SixDomains("r", "refuse");
    const std::string listed = SixDomains("l", "blocklist");
    const struct {
        std::string world;
        const char* domain;  // the addresses' domain: the letter and host number
        std::optional<RunWarningKind> warning;
    } cases[] = {
        {refused, "r", RunWarningKind::kPortBlocked},
        {listed, "l", RunWarningKind::kBlockList},
        {refused + "host mx.ok.test\ndomain ok.test mx mx.ok.test\n", "ok", std::nullopt},
    };
    for (const auto& c : cases) {
        Serve(c.world);
        d.SetWarnings(true);
        std::vector<RunWarning> warnings;
        int begunAtWarning = -1;
        d.OnWarning = [&](TSmtpRelayServer*, const RunWarning& w) {
            warnings.push_back(w);
            begunAtWarning = begun;
        };
        std::vector<std::string> list;
        list.reserve(40);
        for (int i = 0; i < 40; ++i)  // the healthy case begins with a good server
            list.push_back("u" + std::to_string(i) + "@" +
                           (c.warning ? std::string(c.domain) + std::to_string(i % 6) + ".test"
                                      : std::string(i % 2 == 0 ? "ok" : "r1") + ".test"));
        Begin(list, 4);
        if (c.warning) {
            ASSERT_TRUE(test::RunUntil(loop, [&] { return !warnings.empty(); })) << c.domain;
            EXPECT_TRUE(d.Held());
            ASSERT_TRUE(
                test::RunUntil(loop, [&] { return static_cast<int>(outcomes.size()) == begun; }));
            ASSERT_TRUE(test::Settle(loop));
            EXPECT_EQ(begun, begunAtWarning) << c.domain;
            EXPECT_EQ(finished, 0);
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].kind, *c.warning);
            EXPECT_EQ(warnings[0].servers.size(), 6u) << warnings[0].message;
            d.GoOn();
        }
        ASSERT_TRUE(test::RunUntil(loop, [&] { return finished > 0; })) << c.domain;
        EXPECT_EQ(outcomes.size(), list.size()) << c.domain;
        EXPECT_EQ(warnings.size(), c.warning ? 1u : 0u) << c.domain;  // told once
    }
}

}  // namespace
}  // namespace mv

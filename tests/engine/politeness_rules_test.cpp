// The rules behind the politeness per mail server and the run warnings,
// without a network: when a warning is due, and how places are handed out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/address_queues.h"
#include "engine/recheck_hint.h"
#include "engine/run_warnings.h"
#include "engine/server_places.h"
#include "platform/loop/epoll_loop.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(RunWarnings, PortBlockedOnlyAfterTwentyFailuresAtFiveServersOrAllOfTheList) {
    const struct {
        const char* what;
        int servers;         // the failed attempts go round this many servers
        size_t listServers;  // the list's groups once known; 0: not known
        int attempts;        // how many are made
        int connectedAt;     // the attempt (from 1) that connects instead; 0: none
        int warnedAt;        // the attempt that gives the warning; 0: none
    } cases[] = {
        {"20 failures at 5 servers", 5, 0, 25, 0, 20},
        {"20 failures at 4 servers", 4, 0, 25, 0, 0},
        {"20 failures at every server of a list of 4", 4, 4, 25, 0, 20},
        {"19 failures", 5, 0, 19, 0, 0},
        {"a connection among the first 20", 5, 0, 25, 11, 0},
        {"a connection after them", 5, 0, 25, 21, 20},
        {"the fifth server only at the 24th attempt", 1, 0, 30, 0, 24},
    };
    for (const auto& c : cases) {
        RunWarnings w;
        if (c.listServers > 0) w.ListServers(c.listServers);
        int warnedAt = 0;
        for (int i = 1; i <= c.attempts; ++i) {
            // The last case: one server, then four more from the 21st attempt on.
            const int server = c.servers == 1 ? std::max(0, i - 20) : i % c.servers;
            if (auto warning = w.ConnectAttempt("s" + std::to_string(server), i == c.connectedAt)) {
                EXPECT_EQ(warnedAt, 0) << c.what << ": told twice";
                warnedAt = i;
                EXPECT_EQ(warning->kind, RunWarningKind::kPortBlocked);
                EXPECT_EQ(warning->message.rfind(RunWarnings::kPortBlocked, 0), 0u);
            }
        }
        EXPECT_EQ(warnedAt, c.warnedAt) << c.what;
    }
}

// Results, one letter each: "b" a policy-block refusal, "r" another refusal
// (550), "+" valid, "t" a time-out without a server group; the digit after
// each is its group.
TEST(RunWarnings, BlockListWhenThreeGroupsOrEveryGroupReachedRefuseThisComputer) {
    const struct {
        std::string results;
        int warnedAt;  // result number (from 1); 0: none
    } cases[] = {
        {"b0b1", 2},        // both groups reached refuse
        {"b0b0b0", 0},      // one group is not enough
        {"b0+1b2", 0},      // another group accepts: two of three refuse
        {"b0+1b2b3", 4},    // a third refusing group
        {"+0r1b2+0b3", 0},  // two refusing groups among four
        {"t0t1b2b3", 4},    // time-outs reach no group
        {"b0+0b1", 3},      // a group that also accepted still refused
    };
    for (const auto& c : cases) {
        RunWarnings w;
        int warnedAt = 0;
        for (size_t i = 0; i + 1 < c.results.size(); i += 2) {
            const char r = c.results[i];
            const std::string group = r == 't' ? "" : std::string("g") + c.results[i + 1];
            const int code = r == '+' ? 0 : r == 't' ? -2 : r == 'b' ? 554 : 550;
            const Reason reason = r == 'b' ? Reason::kPolicyBlock : Reason::kMailboxUnknown;
            if (auto warning = w.Result(code, reason, group)) {
                EXPECT_EQ(warnedAt, 0) << "told twice";
                warnedAt = static_cast<int>(i / 2) + 1;
                EXPECT_EQ(warning->kind, RunWarningKind::kBlockList);
                EXPECT_EQ(warning->message.rfind(RunWarnings::kBlockList, 0), 0u);
            }
        }
        EXPECT_EQ(warnedAt, c.warnedAt) << c.results;
    }
}

class Places : public ::testing::Test {
  protected:
    // Asks for a place; the number of places granted later is counted.
    ServerPlaces::Ticket Ask(const std::string& server) {
        return places.Request(server, [this] { ++granted; });
    }
    EpollLoop loop;
    ServerPlaces places{loop};
    int granted = 0;
};

TEST_F(Places, WaitingSessionsGetFreedPlacesInTurn) {
    places.Reset(2, 0);
    EXPECT_EQ(Ask("a"), 0u);
    EXPECT_EQ(Ask("a"), 0u);
    EXPECT_EQ(Ask("b"), 0u);  // another server has places of its own
    const ServerPlaces::Ticket third = Ask("a");
    EXPECT_NE(Ask("a"), 0u);
    EXPECT_NE(third, 0u);
    places.Cancel(third);  // gave up: the next one is served instead
    places.Release("a");
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(granted, 1);
    EXPECT_EQ(places.OpenAt("a"), 2);
    EXPECT_EQ(places.WaitingAt("a"), 0u);
    // A place granted whose news has not arrived goes back when cancelled.
    const ServerPlaces::Ticket fifth = Ask("a");
    places.Release("a");
    places.Cancel(fifth);
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(granted, 1);
    EXPECT_EQ(places.OpenAt("a"), 1);
}

// A burst of refusals from connections granted under one limit halves it
// once; a refusal under the lowered limit halves it again, never below 1.
TEST_F(Places, TooManyHalvesOncePerLimit) {
    const struct {
        int perServer;
        int opened;
        std::vector<int> limits;  // after each refusal of a connection opened first
    } cases[] = {
        {5, 5, {2, 2, 1, 1}},
        {0, 6, {3, 3, 1, 1}},  // no limit: half of what was open
        {1, 1, {1, 1}},
    };
    for (const auto& c : cases) {
        places.Reset(c.perServer, 0);
        for (int i = 0; i < c.opened; ++i)
            Ask("a");
        const uint32_t first = places.Generation("a");
        for (size_t i = 0; i < c.limits.size(); ++i) {
            // The first two refusals come from the first burst, the others
            // from connections granted after the first halving.
            places.TooMany("a", i < 2 ? first : first + static_cast<uint32_t>(i - 1));
            EXPECT_EQ(places.LimitOf("a"), c.limits[i]) << c.perServer << " " << i;
        }
    }
}

// The queues take the smallest position among the domains that may go: a
// domain waits while its scout is out and while its group has no room.
TEST_F(Places, QueuesTakeTheFirstAddressThatMayGo) {
    places.Reset(1, 0);
    AddressQueues queues(places);
    places.OnRoom = [&](const std::string& group) { queues.GroupRoom(group); };
    queues.Reset(false);
    const char* list[] = {"x@a.test", "x@b.test", "y@a.test", "x@c.test", "y@b.test"};
    for (uint32_t i = 0; i < 5; ++i)
        queues.Append(i, list[i]);
    AddressQueues::Taken t;
    std::vector<uint32_t> taken;
    auto take = [&] {
        const AddressQueues::Outcome o = queues.Take(t);
        if (o == AddressQueues::Outcome::kTaken) taken.push_back(t.position);
        return o;
    };
    EXPECT_EQ(take(), AddressQueues::Outcome::kTaken);  // a's scout
    EXPECT_EQ(take(), AddressQueues::Outcome::kTaken);  // b's scout
    const uint32_t b = t.domain;
    EXPECT_EQ(take(), AddressQueues::Outcome::kTaken);  // c: a and b wait for their scouts
    EXPECT_EQ(take(), AddressQueues::Outcome::kBlocked);
    queues.Learnt(0, "", "");  // a has no server to be polite to
    EXPECT_EQ(take(), AddressQueues::Outcome::kTaken);
    queues.Learnt(b, "prov.test", "mx.prov.test");
    EXPECT_TRUE(places.TryTake("prov.test"));  // the scout's own place: the group is full
    EXPECT_EQ(take(), AddressQueues::Outcome::kBlocked);
    places.Release("prov.test");
    EXPECT_EQ(take(), AddressQueues::Outcome::kTaken);
    EXPECT_EQ(t.group, "prov.test");
    EXPECT_EQ(take(), AddressQueues::Outcome::kEmpty);
    EXPECT_EQ(taken, (std::vector<uint32_t>{0, 1, 3, 2, 4}));
}

// A server's hint replaces the recheck delay, within 10 seconds and 30 minutes.
TEST(RecheckHint, TheFirstDurationOfTheReplyWithinItsBounds) {
    const struct {
        const char* reply;
        uint64_t ms;  // 0: no hint
    } cases[] = {
        {"450 4.7.1 Greylisted, try again in 2 seconds", 10000},
        {"450 4.2.0 Greylisted for 5 minutes", 300000},
        {"421 4.7.0 Come back in 00:04:30", 270000},
        {"451 Please wait 90 sec", 90000},
        {"450 4.7.1 try again in 3 hours", 1800000},
        {"450 4.7.1 Greylisted, see http://example.test/4.7.1", 0},
        {"450-4.2.0 first line\n450 4.2.0 retry in 12:30", 750000},
        {"421 4.7.0 Try again later", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecheckHintWithinBounds(c.reply).value_or(0), c.ms) << c.reply;
}

}  // namespace
}  // namespace mv

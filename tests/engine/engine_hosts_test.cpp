// Verdicts decided from every mail host tried, and the accept-all probe
// learnt per domain and mail host, end to end against the fake mail world
// on every loop backend.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "engine/result_codes.h"
#include "fake_world.h"
#include "loop_backends.h"
#include "test_support.h"
#include "world_run.h"

namespace mv {
namespace {

// shop.test: the first host knows anna and refuses others with 550 5.1.1,
// the backup accepts every address.
const char* const kShop = R"(
host mx1.shop.test users=anna
host mx2.shop.test accept
domain shop.test mx 10 mx1.shop.test 20 mx2.shop.test
)";

const char* const kBackups = R"(
host grey.test greylist=600000
host gone.test unresolvable
host dead.test refuse
host mute.test silent
host v6.test no-ipv4
record v6.test aaaa 2001:db8::25
host nov6.test no-ipv4
domain greygone.test mx 10 grey.test 20 gone.test
domain greydead.test mx 10 grey.test 20 dead.test
domain greymute.test mx 10 grey.test 20 mute.test
domain deadgone.test mx 10 dead.test 20 gone.test
domain v6.test mx v6.test
domain nov6.test mx nov6.test
)";

class EngineHosts : public ::testing::TestWithParam<test::LoopBackend> {
  protected:
    // A world of its own: its statistics count this test's commands only.
    void Serve(const std::string& text, int timeOut = 1) {
        world = std::make_unique<test::FakeWorld>(text);
        run.Point(*world, timeOut);
        run.d.SetAcceptAllProbe(true);
    }
    long long Rcpts() { return world->Statistic("RCPT"); }

    std::unique_ptr<MessageLoop> owned_ = GetParam().make();
    MessageLoop& loop = *owned_;
    test::WorldRun run{loop};
    std::unique_ptr<test::FakeWorld> world;
};

// A deferral stays the answer while it is checked again: every first report
// of a deferred address is not final, the others are.
TEST_P(EngineHosts, EachHostsAnswerCountsAsASendingServerWouldTakeIt) {
    using R = Reason;
    const struct {
        std::string address;
        int code;
        Reason reason;  // the verdict follows from it
        std::string lastLine;
    } cases[] = {
        {"nobody@shop.test", 0, R::kMailboxUnknown,
         "Refused by mx1.shop.test (550 5.1.1); a later host's acceptance does not count"},
        {"anna@shop.test", 0, R::kAccepted, "221 2.0.0 Bye"},
        {"x@greygone.test", 11001, R::kDeferred,
         "Deferred by grey.test (450 4.2.0); a later host's failure does not count"},
        {"x@greydead.test", 10061, R::kDeferred, "Opening Connection"},
        {"x@greymute.test", ResultTimeOut, R::kDeferred, "Connection time-out"},
        {"x@deadgone.test", 11001, R::kUnreachable,
         "No answer from dead.test (unreachable); a later host's failure does not count"},
        {"x@v6.test", 11004, R::kNoIpv4Host, "v6.test has an IPv6 address only, no IPv4 one"},
        {"x@nov6.test", 11004, R::kNoMailHost, "Opening Connection"},
    };
    Serve(std::string(kShop) + kBackups);
    run.d.SetRecheckDeferredMs(60000);
    std::vector<std::string> addresses;
    for (const auto& c : cases)  // the greylisting host remembers addresses
        addresses.push_back(c.address.rfind("x@", 0) == 0 ? GetParam().name + c.address
                                                          : c.address);
    run.Begin(addresses, 8);
    ASSERT_TRUE(test::RunUntil(loop, [&] { return run.reports.size() == std::size(cases); }));
    run.d.Abort();  // ends the wait of the deferred addresses
    ASSERT_TRUE(test::RunUntil(loop, [&] { return run.finished > 0; }));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].address);
        const test::RunReport& first = run.reports.at(static_cast<int>(i)).front();
        EXPECT_EQ(first.code, cases[i].code);
        EXPECT_EQ(ReasonName(first.info.finding.reason), ReasonName(cases[i].reason));
        EXPECT_EQ(first.info.finding.verdict, VerdictOfReason(cases[i].reason));
        EXPECT_EQ(first.log.back(), cases[i].lastLine);
        EXPECT_EQ(first.info.final, cases[i].reason != Reason::kDeferred);
    }
    const ResultFinding& nobody = run.Final(0).info.finding;
    EXPECT_EQ(nobody.host, "mx1.shop.test");
    EXPECT_EQ(nobody.enhanced, "5.1.1");
    EXPECT_EQ(nobody.hostsTried, (std::vector<std::string>{"mx1.shop.test", "mx2.shop.test"}));
}

// What a host answers about a made-up address is learnt once per domain and
// host: the backup accepting everything makes nobody's acceptance no less a
// refusal and anna's no accept-all, in either order (two addresses at mx1, one
// at mx2, two probes); fifty sessions starting together at one accept-all host
// send one probe, and the other reports wait for its answer.
TEST_P(EngineHosts, AcceptAllIsLearntOncePerDomainAndHost) {
    using R = Reason;
    std::vector<std::string> fifty(50);
    for (size_t i = 0; i < fifty.size(); ++i)
        fifty[i] = "u" + std::to_string(i) + "@all.test";
    const struct {
        std::vector<std::string> addresses;
        int connections;
        std::vector<Reason> reasons;
        long long rcpts;
    } cases[] = {
        {{"anna@shop.test", "nobody@shop.test"}, 1, {R::kAccepted, R::kMailboxUnknown}, 5},
        {{"nobody@shop.test", "anna@shop.test"}, 1, {R::kMailboxUnknown, R::kAccepted}, 5},
        {fifty, 50, std::vector<Reason>(50, R::kAcceptAll), 51},
    };
    for (const auto& c : cases) {
        Serve(std::string(kShop) + "host mx.all.test accept\ndomain all.test mx mx.all.test\n");
        ASSERT_TRUE(run.Check(c.addresses, c.connections));
        for (size_t i = 0; i < c.reasons.size(); ++i)
            EXPECT_EQ(run.Final(static_cast<int>(i)).info.finding.reason, c.reasons[i])
                << c.addresses[i];
        EXPECT_EQ(Rcpts(), c.rcpts) << c.addresses[0];
    }
}

// A tarpit never answers the probe: the reports held for it stay out until
// the prober's time-out releases them as plain acceptances, or until a stop
// reports them with their own results (the prober's own address ends as -8).
TEST_P(EngineHosts, ReportsHeldForAProbeThatNeverAnswers) {
    for (const bool stop : {false, true}) {
        Serve("host mx.tar.test tarpit\ndomain tar.test mx mx.tar.test\n", stop ? 30 : 1);
        run.Begin({"a@tar.test", "b@tar.test", "c@tar.test", "d@tar.test"}, 4);
        ASSERT_TRUE(test::RunUntil(loop, [&] { return run.d.HeldForProbe() == 3; })) << stop;
        EXPECT_EQ(run.reports.size(), 0u);
        if (stop) run.d.Abort();
        ASSERT_TRUE(test::RunUntil(loop, [&] { return run.finished > 0; })) << stop;
        int accepted = 0;
        for (const auto& [i, report] : run.last)
            accepted += report.code == 0 && report.info.finding.reason == Reason::kAccepted;
        EXPECT_EQ(accepted, stop ? 3 : 4) << stop;
        EXPECT_EQ(run.last.size(), 4u);
        EXPECT_EQ(Rcpts(), 5);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineHosts, ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });

}  // namespace
}  // namespace mv

// The checking engine end to end against the fake mail world: real DNS and
// SMTP conversations on loopback, one-second time-outs, on every message loop
// backend (the window runs the engine on Qt's).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "kernel_probes.h"
#include "loop_backends.h"
#include "platform/resolver/host_resolver.h"
#include "platform/time/tick_count.h"
#include "test_support.h"
#include "world_run.h"

namespace mv {
namespace {

const char* const kWorld = R"(
host mx1.good.test      users=alice
host mx2.good.test      accept
host reject1.test       rcpt=550
host reject2.test       rcpt=550
host r251.test          rcpt=251
host r252.test          rcpt=252
host grey.test          greylist
host multi.test         multiline
host badgreet.test      greeting=554
host badhelo.test       helo=501
host badmail.test       mail=550
host mute.test          silent
host dead.test          refuse
host gone.test          unresolvable
host selfhost.test      accept
host hangup-ok.test     close-after-rcpt
host hangup-no.test     close-after-rcpt rcpt=550
host mute-ok.test       silent-after-rcpt
host mute-no.test       silent-after-rcpt rcpt=550
host drip.test          drip=300

domain good.test        mx 10 mx1.good.test 20 mx2.good.test
domain twofail.test     mx 10 reject1.test 20 reject2.test
domain r251.test        mx r251.test
domain r252.test        mx r252.test
domain grey.test        mx grey.test
domain multi.test       mx multi.test
domain greeting.test    mx badgreet.test
domain helo.test        mx badhelo.test
domain mailfrom.test    mx badmail.test
domain mute.test        mx mute.test
domain refused.test     mx dead.test
domain unresolvable.test mx gone.test
domain selfhost.test    empty
domain nxd.test         nxdomain
domain servfail.test    servfail
domain refusing.test    refused
domain quiet.test       silent
domain alias.test       cname good.test
domain hangup-ok.test   mx hangup-ok.test
domain hangup-no.test   mx hangup-no.test
domain mute-ok.test     mx mute-ok.test
domain mute-no.test     mx mute-no.test
domain mute-next.test   mx 10 mute-no.test 20 mx2.good.test
domain drip.test        mx drip.test
)";

class EngineWorld : public ::testing::TestWithParam<test::LoopBackend> {
  protected:
    static void SetUpTestSuite() { world = new test::FakeWorld(kWorld); }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }

    void SetUp() override { run.Point(*world); }

    // Checks the addresses and waits for the end of the run.
    void Check(const std::vector<std::string>& addresses, int connections = 50) {
        ASSERT_TRUE(run.Check(addresses, connections));
        ASSERT_TRUE(test::Settle(loop));
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(reports.size(), addresses.size());
        EXPECT_EQ(events.back().rfind("finished", 0), 0u);  // after every report
    }
    const std::string& LastLine(int i) { return reports.at(i).log.back(); }

    static test::FakeWorld* world;
    std::unique_ptr<MessageLoop> owned_ = GetParam().make();
    MessageLoop& loop = *owned_;
    test::WorldRun run{loop};
    TSmtpRelayServer& d = run.d;
    std::map<int, test::RunReport>& reports = run.last;
    std::vector<std::string>& events = run.events;
    int& finished = run.finished;
};

test::FakeWorld* EngineWorld::world = nullptr;

TEST_P(EngineWorld, EachFailureGivesItsCodeAndItsLastTranscriptLine) {
    Check({"carol@twofail.test", "x@greeting.test", "x@helo.test", "x@mailfrom.test",
           "x@refused.test", "x@unresolvable.test", "x@alias.test", "x@quiet.test", "x@mute.test",
           "x@nxd.test", "x@drip.test"});
    EXPECT_EQ(reports[0].code, 550);
    EXPECT_EQ(reports[0].log[reports[0].log.size() - 2], "QUIT");
    EXPECT_EQ(LastLine(0).substr(0, 3), "221");
    EXPECT_EQ(reports[1].code, 554);
    EXPECT_EQ(LastLine(1).substr(0, 3), "554");  // the greeting line
    EXPECT_EQ(reports[2].code, 501);
    EXPECT_EQ(reports[2].log[reports[2].log.size() - 2], "QUIT");
    EXPECT_EQ(reports[3].code, 550);
    EXPECT_EQ(reports[3].log[reports[3].log.size() - 2], "QUIT");
    EXPECT_EQ(reports[4].code, 10061);
    EXPECT_EQ(LastLine(4), "Opening Connection");
    EXPECT_EQ(reports[5].code, 11001);
    EXPECT_EQ(LastLine(5), "Opening Connection");
    EXPECT_EQ(reports[6].code, ResultInvalidDomain);
    EXPECT_EQ(LastLine(6), "1 SMTP Relay found: ");  // a CNAME, no MX
    EXPECT_EQ(reports[7].code, ResultTimeOut);
    EXPECT_EQ(LastLine(7), "Connection time-out");
    EXPECT_EQ(reports[8].code, ResultTimeOut);
    EXPECT_EQ(LastLine(8), "Connection time-out");
    EXPECT_EQ(reports[9].code, 11001);  // no such domain
    // A greeting that never ends: its continuation lines are no sign of life.
    EXPECT_EQ(reports[10].code, ResultTimeOut);
    EXPECT_EQ(LastLine(10), "Connection time-out");
    for (const auto& [i, r] : reports)
        for (const auto& line : r.log)
            EXPECT_NE(line, "RSET") << i;
}

// A domain that does not exist, or a DNS server that fails or refuses to
// answer, ends the check at once: the domain's own name is never tried as
// its mail host (that is for a domain that exists and has no MX records).
TEST_P(EngineWorld, NoSuchDomainOrAFailingDnsServerEndsTheCheckAtOnce) {
    Check({"x@nxd.test", "x@servfail.test", "x@refusing.test"});
    const std::vector<std::pair<int, std::string>> expected = {
        {11001, "DNS Search error :11001"},
        {11002, "DNS Search error :11002"},
        {11002, "DNS Search error :11002"},
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reports[i].code, expected[i].first) << i;
        ASSERT_EQ(reports[i].log.size(), 4u) << i;
        EXPECT_EQ(reports[i].log[2], "Sending DNS Request") << i;
        EXPECT_EQ(LastLine(i), expected[i].second) << i;
    }
}

TEST_P(EngineWorld, SecondHostAcceptsAfterTheFirstRefused) {
    Check({"carol@good.test"}, 1);
    ASSERT_EQ(reports[0].code, 0);
    const std::vector<std::string>& log = reports[0].log;
    const std::vector<std::string> head = {"Requesting SMTP servers for this domain (good.test)",
                                           "Trying DNS Server \"" + world->dnsServer() + "\"",
                                           "Sending DNS Request",
                                           "2 SMTP Relays found: mx1.good.test mx2.good.test ",
                                           "Trying SMTP host \"mx1.good.test\"",
                                           "Opening Connection"};
    ASSERT_GE(log.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 6), head);
    EXPECT_EQ(log[7], "HELO probe.test");
    EXPECT_EQ(log[9], "MAIL FROM:<checker@probe.test>");
    EXPECT_EQ(log[11], "RCPT TO:<carol@good.test>");
    EXPECT_EQ(log[12].substr(0, 3), "550");
    EXPECT_EQ(log[13], "QUIT");  // the RSET exchange is left out
    EXPECT_EQ(log[15], "Trying SMTP host \"mx2.good.test\"");
    // The first host's "no such user" decides the verdict against the code: the
    // transcript ends by saying so.
    EXPECT_EQ(log.back(),
              "Refused by mx1.good.test (550 5.1.1); a later host's acceptance does not count");
    EXPECT_EQ(log[log.size() - 3], "QUIT");
    EXPECT_EQ(log[log.size() - 4].substr(0, 3), "250");  // RCPT accepted
}

TEST_P(EngineWorld, ReplyCodesAndSpecialAnswers) {
    // The world greylists an address once: each backend asks for another one.
    const std::string greylisted = "new-" + GetParam().name + "@grey.test";
    Check({"alice@good.test", "a@r251.test", "a@r252.test", greylisted, "a@multi.test",
           "a@selfhost.test", "someone@", "no-at-sign"});
    EXPECT_EQ(reports[0].code, 0);
    EXPECT_EQ(reports[1].code, 0);    // 251 is valid
    EXPECT_EQ(reports[2].code, 252);  // 252 is not
    EXPECT_EQ(reports[3].code, 450);
    EXPECT_EQ(reports[4].code, 0);
    EXPECT_EQ(reports[5].code, 0);  // empty answer: the domain itself was the host
    EXPECT_NE(std::find(reports[5].log.begin(), reports[5].log.end(),
                        "No SMTP Relays found. Trying \"selfhost.test\""),
              reports[5].log.end());
    // Nothing after the at sign, or no at sign: bad syntax at once, no query.
    EXPECT_EQ(reports[6].code, ResultInvalidDomain);
    EXPECT_EQ(reports[6].log, std::vector<std::string>{"Bad address syntax: empty domain"});
    EXPECT_EQ(reports[7].code, ResultInvalidDomain);
    EXPECT_EQ(reports[7].info.finding.reason, Reason::kBadSyntax);
}

// Once a host has answered RCPT TO, that answer decides, whatever happens
// while the session leaves the host: a hang-up, or silence until the time-out.
TEST_P(EngineWorld, TheRcptReplyDecidesWhateverHappensWhileLeaving) {
    struct Case {
        const char* address;
        int code;
        const char* lastLine;
    };
    const std::vector<Case> cases = {
        {"a@hangup-ok.test", ResultValid, "250 2.0.0 OK"},
        {"a@hangup-no.test", 550, "550 5.1.1 Mailbox unavailable"},
        {"a@mute-ok.test", ResultValid, "Connection time-out"},
        {"a@mute-no.test", 550, "Connection time-out"},
        // The refusal's host is left, and its refusal decides the verdict.
        {"a@mute-next.test", ResultValid,
         "Refused by mute-no.test (550 5.1.1); a later host's acceptance does not count"},
    };
    std::vector<std::string> addresses;
    addresses.reserve(cases.size());
    for (const Case& c : cases)
        addresses.push_back(c.address);
    Check(addresses);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].address);
        EXPECT_EQ(reports[static_cast<int>(i)].code, cases[i].code);
        EXPECT_EQ(LastLine(static_cast<int>(i)), cases[i].lastLine);
    }
}

TEST_P(EngineWorld, OneConnectionAlternatesTakingAndReportingInListOrder) {
    Check({"alice@good.test", "a@r251.test", "x@refused.test", "a@r252.test", "x@nxd.test"}, 1);
    const std::vector<std::string> expected = {"get 0", "report 0", "get 1",   "report 1",
                                               "get 2", "report 2", "get 3",   "report 3",
                                               "get 4", "report 4", "finished"};
    EXPECT_EQ(events, expected);
}

TEST_P(EngineWorld, ManyConnectionsStartOneSessionPerAddress) {
    TRecipientList list = {{"alice@good.test", 7}, {"a@r251.test", 8}, {"a@r252.test", 9}};
    d.SetRecipients(list);
    d.SetConnections(200);
    d.Verify();
    EXPECT_EQ(d.LiveSessions(), 3);
    EXPECT_EQ(events, (std::vector<std::string>{"get 0", "get 1", "get 2"}));
    ASSERT_TRUE(test::RunUntil(loop, [&] { return finished > 0; }));
    EXPECT_FALSE(d.Busy());
}

TEST_P(EngineWorld, AbortWhileWaitingForDnsAndWhileTalkingSmtp) {
    TRecipientList list = {{"x@quiet.test", 0}, {"x@mute.test", 1}, {"later@good.test", 2}};
    d.SetRecipients(list);
    d.SetConnections(2);
    d.SetTimeOut(30);
    d.Verify();
    // Let the second address reach its silent host.
    ASSERT_TRUE(test::RunUntil(loop, [&] {
        return test::EstablishedConnectionsTo(world->hostAddress("mute.test"), world->smtpPort()) ==
               1;
    }));
    d.Abort();
    EXPECT_FALSE(d.Busy());  // every session ended inside Abort
    EXPECT_EQ(d.LiveSessions(), 0);
    ASSERT_TRUE(test::RunUntil(loop, [&] { return finished > 0; }));
    EXPECT_EQ(events.back(), "finished aborted");
    EXPECT_EQ(reports[0].code, ResultAborted);
    EXPECT_EQ(reports[0].log.back(), "User Abort");
    EXPECT_EQ(reports[1].code, ResultAborted);
    EXPECT_EQ(reports[1].log.back(), "User Abort");
    EXPECT_NE(std::find(reports[1].log.begin(), reports[1].log.end(), "Opening Connection"),
              reports[1].log.end());
    EXPECT_EQ(reports.count(2), 0u);  // never taken
}

TEST_P(EngineWorld, AbortReachingASessionInsideItsWaitIsCarriedOutAfterIt) {
    bool fired = false;
    d.OnDropWaitForTesting = [&] {
        if (fired) return;
        fired = true;
        d.Abort();  // this session is waiting: it acts when the wait ends
        EXPECT_TRUE(d.Busy());
    };
    Check({"alice@good.test", "a@r251.test", "a@r252.test"}, 3);
    EXPECT_EQ(events.back(), "finished aborted");
    int aborted = 0;
    for (const auto& [i, r] : reports) {
        EXPECT_EQ(r.code, ResultAborted) << i;
        aborted += r.log.back() == "User Abort";
    }
    EXPECT_EQ(aborted, 3);
}

TEST_P(EngineWorld, TimeOutReachingASessionInsideItsWaitIsCarriedOutAfterIt) {
    bool fired = false;
    d.OnDropWaitForTesting = [&] {
        if (fired) return;
        fired = true;
        // The session now looks idle for ten seconds; stay in the wait until
        // the watchdog's next tick (at most one interval away) has seen it.
        SetTickOffsetForTesting(10000);
        bool ticked = false;
        const auto tick = loop.StartTimer(d.TimeOut() * 1000, [&] { ticked = true; });
        test::RunUntil(loop, [&] { return ticked; });
        loop.StopTimer(tick);
    };
    Check({"alice@good.test"}, 1);
    SetTickOffsetForTesting(0);
    EXPECT_EQ(reports[0].code, ResultTimeOut);
    EXPECT_EQ(reports[0].log.back(), "Connection time-out");
}

// A DNS query that cannot even be sent is its address's result, and the
// session begins its next address from the loop. A watchdog tick or an abort
// before that step runs must respect it: a session that took an address then
// would lose one, since the step takes another.
class EngineBetweenAddresses : public EngineWorld {
  protected:
    // Two sessions: the first waits for a DNS answer that never comes, the
    // second one's first query finds no descriptor left; `between` runs when
    // that address has been reported (still inside Verify).
    void CheckWithUnsentQuery(const std::function<void()>& between) {
        getrlimit(RLIMIT_NOFILE, &saved);
        d.OnGetData = [this, inner = d.OnGetData](TSmtpRelayServer* s, int i) {
            inner(s, i);
            if (i != 1) return;
            const int lowest = dup(0);  // every descriptor below it is taken
            close(lowest);
            const rlimit none{static_cast<rlim_t>(lowest), saved.rlim_max};
            setrlimit(RLIMIT_NOFILE, &none);
        };
        d.OnEMailProcessed = [this, between, inner = d.OnEMailProcessed](
                                 TSmtpRelayServer* s, int i, int err,
                                 const std::vector<std::string>& log, const TResultInfo& info) {
            inner(s, i, err, log, info);
            if (i != 1) return;
            setrlimit(RLIMIT_NOFILE, &saved);
            between();
        };
        d.SetRecipients({{"x@quiet.test", 0},
                         {"x@unsent.test", 1},
                         {"alice@good.test", 2},
                         {"a@r251.test", 3}});
        d.SetConnections(2);
        d.Verify();
        ASSERT_TRUE(test::RunUntil(
            loop, [&] { return finished > 0; }, std::chrono::seconds(20)));
        EXPECT_EQ(reports[1].code, 10024);  // no descriptor left
    }
    void TearDown() override {
        SetTickOffsetForTesting(0);
        EngineWorld::TearDown();
    }
    rlimit saved{};
};

TEST_P(EngineBetweenAddresses, AWatchdogTickBeforeTheNextStepLosesNoAddress) {
    CheckWithUnsentQuery([this] {
        // Every session looks idle to the next tick, which expires the first
        // address while the other session is between two addresses.
        SetTickOffsetForTesting(5000);
        EXPECT_TRUE(test::RunUntil(loop, [&] { return reports.count(0) > 0; }));
    });
    EXPECT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].code, ResultTimeOut);
    EXPECT_EQ(reports[2].code, ResultValid);
    EXPECT_EQ(reports[3].code, ResultValid);
}

TEST_P(EngineBetweenAddresses, AnAbortBeforeTheNextStepEndsTheSession) {
    CheckWithUnsentQuery([this] { d.Abort(); });
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].code, ResultAborted);
    EXPECT_EQ(events.back(), "finished aborted");
}

TEST_P(EngineWorld, WatchdogExpiresSessionsAcrossTheTickWrap) {
    SetTickOffsetForTesting(0xFFFFFFFFu - GetTickCount() - 300u);
    Check({"x@mute.test"}, 1);
    SetTickOffsetForTesting(0);
    EXPECT_EQ(reports[0].code, ResultTimeOut);
}

TEST_P(EngineWorld, RunningOutOfDescriptorsIsTheAddressesResultNotACrash) {
    // In a child process, so that the lowered limit stays there.
    const pid_t child = fork();
    if (child == 0) {
        int open = 0;
        for (int fd = 0; fd < 1024; ++fd)
            open += fcntl(fd, F_GETFD) != -1;
        const rlimit limit{static_cast<rlim_t>(open + 12), static_cast<rlim_t>(open + 12)};
        setrlimit(RLIMIT_NOFILE, &limit);
        // Many addresses for few sessions: each one fails at once, which must
        // not pile up on the stack either (50,000 nested frames would overflow
        // it many times over; more only costs time, under the sanitizers most).
        const size_t count = 50000;
        TRecipientList list;
        for (size_t i = 0; i < count; ++i)
            list.push_back({"alice@good.test", int(i)});
        d.SetRecipients(list);
        d.SetConnections(40);
        events.reserve(2 * count + 1);
        d.Verify();
        test::RunUntil(
            loop, [&] { return finished > 0; }, std::chrono::seconds(60));
        int exhausted = 0;
        for (const auto& [i, r] : reports)
            exhausted += r.code == 10024;
        _exit(reports.size() == count && exhausted > 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the run crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "not every address reported, or none with 10024";
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineWorld, ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });
INSTANTIATE_TEST_SUITE_P(Backends, EngineBetweenAddresses,
                         ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });

}  // namespace
}  // namespace mv

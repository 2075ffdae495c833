// What the engine's results mean, end to end against the fake mail world on
// every loop backend: the accept-all probe and its per-run answers, block-list
// refusals, greylisting with and without the recheck of deferred addresses,
// and null MX domains.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "loop_backends.h"
#include "platform/resolver/host_resolver.h"
#include "test_support.h"
#include "world_run.h"

namespace mv {
namespace {

// greylist=200: a new address is refused for 200 ms; the recheck waits 250.
const char* const kWorld = R"(
host mx.all.test       accept
host mx.normal.test    users=alice,bob
host listed.test       blocklist
host grey.test         greylist=200
host busy.test         rcpt=450
host hangup.test       close-after-rcpt
domain all.test        mx 10 mx.all.test
domain normal.test     mx 10 mx.normal.test
domain listed.test     mx listed.test
domain grey.test       mx grey.test
domain busy.test       mx busy.test
domain hangup.test     mx hangup.test
domain nomail.test     nullmx
)";
constexpr uint32_t kRecheckMs = 250;

using Report = test::RunReport;

class EngineVerdict : public ::testing::TestWithParam<test::LoopBackend> {
  protected:
    static void SetUpTestSuite() { world = new test::FakeWorld(kWorld); }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }
    void SetUp() override { Point(*world); }

    void Point(const test::FakeWorld& w) {
        run.Point(w, 2);
        d.SetAcceptAllProbe(true);
    }
    void Start(const std::vector<std::string>& addresses, int connections = 1) {
        run.Begin(addresses, connections);
    }
    void Check(const std::vector<std::string>& addresses, int connections = 1) {
        ASSERT_TRUE(run.Check(addresses, connections));
    }
    // The last (final) report of an address.
    const Report& Final(int i) { return reports.at(i).back(); }
    // The greylisting world remembers addresses: each backend asks for new ones.
    std::string Fresh(const std::string& local, const std::string& domain) const {
        return local + "-" + GetParam().name + "@" + domain;
    }

    static test::FakeWorld* world;
    std::unique_ptr<MessageLoop> owned_ = GetParam().make();
    MessageLoop& loop = *owned_;
    test::WorldRun run{loop};
    TSmtpRelayServer& d = run.d;
    std::map<int, std::vector<Report>>& reports = run.reports;
    std::map<int, int>& begun = run.begun;
    std::function<void(int)>& OnReport = run.onReport;
    const int& finished = run.finished;
    const bool& abortedRun = run.aborted;
};

test::FakeWorld* EngineVerdict::world = nullptr;

std::vector<std::string> RcptLines(const std::vector<std::string>& log) {
    std::vector<std::string> lines;
    for (const std::string& line : log)
        if (line.rfind("RCPT TO:<", 0) == 0) lines.push_back(line);
    return lines;
}

TEST_P(EngineVerdict, EachResultCarriesItsVerdictReasonAndReply) {
    struct Case {
        std::string address;
        int code;
        Verdict verdict;
        Reason reason;
        int rcptLines;  // 2: the address and the probe; -1: either
    };
    // One connection: the addresses are checked in this order, so the second
    // address of a domain finds the first one's answer to the probe.
    const std::vector<Case> cases = {
        {"real@all.test", 0, Verdict::kRisky, Reason::kAcceptAll, 2},
        {"made-up-x7@all.test", 0, Verdict::kRisky, Reason::kAcceptAll, 1},
        {"alice@normal.test", 0, Verdict::kDeliverable, Reason::kAccepted, 2},
        {"bob@normal.test", 0, Verdict::kDeliverable, Reason::kAccepted, 1},
        {"carol@normal.test", 550, Verdict::kUndeliverable, Reason::kMailboxUnknown, 1},
        {"x@listed.test", 554, Verdict::kUnknown, Reason::kPolicyBlock, 1},
        // The connection drops before the probe is answered (or even sent):
        // still valid, and the domain's answer stays unknown.
        {"a@hangup.test", 0, Verdict::kDeliverable, Reason::kAccepted, -1},
        {Fresh("off", "grey.test"), 450, Verdict::kUnknown, Reason::kDeferred, 1},
        {"z@nomail.test", 11001, Verdict::kUndeliverable, Reason::kNoMailDomain, 0},
    };
    std::vector<std::string> addresses;
    addresses.reserve(cases.size());
    for (const Case& c : cases)
        addresses.push_back(c.address);
    Check(addresses);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].address);
        const Report& r = Final(static_cast<int>(i));
        EXPECT_EQ(reports.at(static_cast<int>(i)).size(), 1u);
        EXPECT_TRUE(r.info.final);
        EXPECT_EQ(r.code, cases[i].code);
        EXPECT_EQ(r.info.finding.verdict, cases[i].verdict);
        EXPECT_EQ(r.info.finding.reason, cases[i].reason);
        if (cases[i].rcptLines >= 0) {
            EXPECT_EQ(RcptLines(r.log).size(), static_cast<size_t>(cases[i].rcptLines));
        }
    }
    EXPECT_EQ(Final(0).info.finding.reply, "250 2.0.0 OK");
    EXPECT_EQ(Final(5).info.finding.reply,
              "554 5.7.1 Service unavailable; Client host blocked using zen.spamhaus.org");
    EXPECT_EQ(Final(8).log.back(), "Null MX: the domain accepts no mail");
    EXPECT_EQ(Final(8).info.finding.reply, "");

    // The probe: a made-up local part of 24 letters and digits, right after
    // the address's own RCPT TO; its refusal is in the transcript, the RSET
    // exchange is not.
    const std::vector<std::string>& log = Final(2).log;
    const auto probe = std::find(log.begin(), log.end(), RcptLines(log)[1]);
    ASSERT_EQ(probe - log.begin(), 13);
    EXPECT_EQ(log[11], "RCPT TO:<alice@normal.test>");
    EXPECT_EQ(probe->size(), std::string("RCPT TO:<@normal.test>").size() + 24);
    EXPECT_EQ(probe->find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789", 9), 33u);
    EXPECT_EQ(log[14], "550 5.1.1 Mailbox unavailable");
    EXPECT_EQ(log[15], "QUIT");
    EXPECT_EQ(log.size(), 17u);
}

TEST_P(EngineVerdict, ADeferredAddressIsCheckedAgainAtMostTwice) {
    d.SetRecheckDeferredMs(kRecheckMs);
    Check({Fresh("on", "grey.test"), "y@busy.test", "alice@normal.test"}, 2);
    // Greylisted: refused, not final; accepted once the delay is over.
    ASSERT_EQ(reports.at(0).size(), 2u);
    EXPECT_EQ(reports[0][0].code, 450);
    EXPECT_FALSE(reports[0][0].info.final);
    EXPECT_EQ(reports[0][0].info.finding.reason, Reason::kDeferred);
    EXPECT_EQ(Final(0).code, 0);
    EXPECT_TRUE(Final(0).info.final);
    EXPECT_EQ(Final(0).info.finding.verdict, Verdict::kDeliverable);
    EXPECT_EQ(begun[0], 2);
    // Always refused for now: three checks, and the last one is final.
    ASSERT_EQ(reports.at(1).size(), 3u);
    EXPECT_FALSE(reports[1][1].info.final);
    EXPECT_EQ(Final(1).code, 450);
    EXPECT_TRUE(Final(1).info.final);
    EXPECT_EQ(Final(1).info.finding.reason, Reason::kDeferred);
    EXPECT_EQ(begun[1], 3);
    EXPECT_EQ(begun[2], 1);
    EXPECT_FALSE(abortedRun);
    EXPECT_EQ(d.RechecksWaiting(), 0u);
}

TEST_P(EngineVerdict, AbortEndsTheWaitingAndEachWaitingAddressKeepsItsLastResult) {
    d.SetRecheckDeferredMs(60000);
    OnReport = [this](int) {
        if (d.RechecksWaiting() == 1 && reports.size() == 2) loop.Post([this] { d.Abort(); });
    };
    Start({"w@busy.test", "alice@normal.test"}, 1);
    ASSERT_TRUE(test::RunUntil(loop, [&] { return finished; }));
    EXPECT_TRUE(abortedRun);
    ASSERT_EQ(reports.at(0).size(), 2u);
    EXPECT_FALSE(reports[0][0].info.final);
    EXPECT_TRUE(Final(0).info.final);
    EXPECT_EQ(Final(0).code, 450);
    EXPECT_EQ(Final(0).log, reports[0][0].log);
    EXPECT_EQ(begun[0], 1);
    EXPECT_EQ(Final(1).code, 0);
}

// The fake world counts connections and address lookups: a null MX makes none.
TEST_P(EngineVerdict, ANullMxEndsTheCheckWithoutAnyConnection) {
    test::FakeWorld own("host * accept\ndomain nomail.test nullmx\n");
    Point(own);
    Check({"x@nomail.test"});
    EXPECT_EQ(Final(0).code, 11001);
    EXPECT_EQ(Final(0).info.finding.reason, Reason::kNoMailDomain);
    EXPECT_EQ(Final(0).log.size(), 4u);
    EXPECT_EQ(own.Statistic("connections"), 0);
    EXPECT_EQ(own.Statistic("a"), 0);
    EXPECT_EQ(own.Statistic("mx"), 1);
}

// Connecting to the root would reach this computer: exchanges that all name
// it make a null MX whatever their preference, one beside real exchanges is
// skipped.
TEST_P(EngineVerdict, TheRootIsNeverAMailHost) {
    test::FakeWorld own(
        "host mx.all.test accept\ndomain roots.test mx 10 . 20 .\n"
        "domain mixed.test mx 5 . 10 mx.all.test\n");
    Point(own);
    Check({"x@roots.test", "y@mixed.test"});
    const auto has = [](const std::vector<std::string>& log, const std::string& line) {
        return std::find(log.begin(), log.end(), line) != log.end();
    };
    EXPECT_EQ(Final(0).code, 11001);
    EXPECT_TRUE(has(Final(0).log, "Null MX: the domain accepts no mail"));
    EXPECT_EQ(Final(1).code, 0);
    EXPECT_TRUE(has(Final(1).log, "Skipped exchange \".\""))
        << ::testing::PrintToString(Final(1).log);
    EXPECT_EQ(own.Statistic("connections"), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineVerdict, ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });

}  // namespace
}  // namespace mv

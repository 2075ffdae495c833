// The check run without a window: refusals, row updates, counters and a
// second run, against the fake mail world.
#include <gtest/gtest.h>

#include <clocale>

#include "engine/smtp_relay_server.h"
#include "fake_socks_proxy.h"
#include "fake_world.h"
#include "kernel_probes.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "project/run/address_text.h"
#include "project/run/check_run.h"
#include "scripted_tcp_server.h"
#include "settings/tini.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(AddressText, ExtractAddressCutsTheAddressOutOfItsText) {
    EXPECT_EQ(ExtractAddress("John Smith <john.smith@example.com>"), "john.smith@example.com");
    EXPECT_EQ(ExtractAddress("plain@example.com"), "plain@example.com");
    EXPECT_EQ(ExtractAddress("first+tag@example.com"), "first+tag@example.com");
    EXPECT_EQ(ExtractAddress("o'brien@example.com"), "o'brien@example.com");
    EXPECT_EQ(ExtractAddress("<!$%&*/=?^`{|}~@x.test>"), "!$%&*/=?^`{|}~@x.test");
    EXPECT_EQ(ExtractAddress("a@b+c'd.test, e@f"), "a@b");  // nothing changes right of "@"
    EXPECT_EQ(ExtractAddress("\"x\"(y);z:w@x.test"), "w@x.test");
    EXPECT_EQ(ExtractAddress("no at sign here"), "");
    EXPECT_EQ(ExtractAddress(""), "");
    EXPECT_EQ(ExtractAddress("<Jos\xc3\xa9@m\xc3\xbcnchen.example>"),
              "Jos\xc3\xa9@m\xc3\xbcnchen.example");
    // Malformed UTF-8 ends it: a stray continuation, an overlong form, a surrogate, a cut-off.
    for (const char* text : {"\x80z@x.t", "\xc0\xafz@x.t", "\xed\xa0\x80z@x.t", "z@x.t\xc3"})
        EXPECT_EQ(ExtractAddress(text), "z@x.t") << text;
    EXPECT_EQ(ExtractAddress("x [a_b#c-d]@[192.0.2.1] y"), "[a_b#c-d]@[192.0.2.1]");
    EXPECT_EQ(ExtractAddress("first@one@two"), "first@one@two");
    EXPECT_EQ(ExtractAddress("trailing@"), "trailing@");
}

TEST(AddressText, DomainOfIsLimitedTo255Characters) {
    EXPECT_EQ(DomainOf("user@example.com"), "example.com");
    EXPECT_EQ(DomainOf("example.com"), "example.com");
    EXPECT_EQ(DomainOf("a@b@c"), "b@c");
    EXPECT_EQ(DomainOf("u@" + std::string(300, 'd')).size(), 255u);
    EXPECT_EQ(DomainOf(std::string(300, 'd')).size(), 255u);
    EXPECT_EQ(DomainOf("user@"), "");
}

TEST(CheckRunStatus, ElapsedIsATimeOfDayInTheLocalesFormat) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(ElapsedText(83), "Elapsed: 00:01:23");
    EXPECT_EQ(ElapsedText(0), "Elapsed: 00:00:00");
    EXPECT_EQ(ElapsedText(3600 * 25 + 5), "Elapsed: 01:00:05");  // a time of day wraps
}

RecipientRow Row(const std::string& caption, int mark = kMarkChecked) {
    RecipientRow r;
    r.caption = caption;
    r.subItems = {""};
    r.stateIndex = mark;
    return r;
}

class CheckRunTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    RecipientList list;
    TSmtpRelayServer dispatcher{loop};
    CheckRun run{list, dispatcher};
    CheckSettings settings;
    std::vector<bool> runningChanges;
    int modified = 0;
    int maxWaiting = 0;

    void SetUp() override {
        settings.from = "Checker <checker@probe.test>";
        settings.connections = 2;
        settings.timeOut = 1;
        settings.perServer = 0;  // the conversations as before the politeness per server
        run.OnRunningChanged = [this](bool r) { runningChanges.push_back(r); };
        run.OnModified = [this] { ++modified; };
        run.OnStatusChanged = [this] { maxWaiting = std::max(maxWaiting, run.Waiting()); };
        dispatcher.SetSystemNameServerSource([] { return std::string(); });
    }
    void ExpectRefused(const std::string& message) {
        try {
            run.Start(settings);
            FAIL() << "no refusal";
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), message);
        }
        EXPECT_FALSE(run.Running());
    }
};

TEST_F(CheckRunTest, RefusalsLeaveEverythingAsItWas) {
    ExpectRefused("Please open / fill the recipient list before");
    list.AppendRow(Row("someone@example.test", kMarkUnchecked));
    settings.from = "no address here";
    ExpectRefused("Please provide a valid e-mail address for the FROM field (Tools | Options)");
    settings.from = "checker@probe.test";
    ExpectRefused("Nothing to check");
    EXPECT_TRUE(runningChanges.empty());
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(list.SubItem(0, 0), "");
}

TEST_F(CheckRunTest, StoredTimeOutAndConnectionsAreUsedUpTo999) {
    list.AppendRow(Row("someone@example.test"));
    struct Case {
        const char* timeOut;
        const char* connections;
        int usedTimeOut;
        int usedConnections;
    };
    // Above 999 (the options dialog's limit) counts as 999; 0 or less keeps
    // the dispatcher's own rules.
    for (const Case& c : {Case{"536870912", "5000", 999, 999}, Case{"0", "-3", 60, 1},
                          Case{"45", "12", 45, 12}, Case{"999", "1000", 999, 999}}) {
        test::TempDir dir;
        {
            TINI stored(dir.path());
            stored.ilTimeOut.SetText(c.timeOut);
            stored.ilConnections.SetText(c.connections);
        }
        TINI ini(dir.path());
        CheckSettings fromIni = CheckSettings::FromIni(ini);
        fromIni.from = settings.from;
        settings = fromIni;
        ExpectRefused("No DNS SERVER Available");  // after the settings were applied
        EXPECT_EQ(dispatcher.TimeOut(), c.usedTimeOut) << c.timeOut;
        EXPECT_EQ(dispatcher.Connections(), c.usedConnections) << c.connections;
    }
}

TEST_F(CheckRunTest, TheChecksSettingsReachTheDispatcher) {
    list.AppendRow(Row("someone@example.test"));
    test::TempDir dir;
    {
        TINI stored(dir.path());
        stored.ilAcceptAllProbe.SetText("0");
        stored.ilRecheckDeferred.SetText("999999");  // above a day counts as a day
        stored.ilPerServer.SetText("5000");          // as much as Connections at most
        stored.ilPerServerRate.SetText("-4");        // below 0 is no limit
        stored.ilSourceAddress.SetText(" 127.0.0.1 ");
    }
    TINI ini(dir.path());
    CheckSettings fromIni = CheckSettings::FromIni(ini);
    fromIni.from = settings.from;
    EXPECT_FALSE(fromIni.acceptAllProbe);
    EXPECT_EQ(fromIni.recheckDeferred, 86400);
    settings = fromIni;
    ExpectRefused("No DNS SERVER Available");
    EXPECT_FALSE(dispatcher.AcceptAllProbe());
    EXPECT_EQ(dispatcher.RecheckDeferredMs(), 86400000u);
    EXPECT_EQ(dispatcher.PerServer(), 999);
    EXPECT_EQ(dispatcher.PerServerRate(), 0);
    EXPECT_EQ(dispatcher.SourceAddress(), "127.0.0.1");
}

TEST_F(CheckRunTest, ASourceAddressMustBeThisComputers) {
    list.AppendRow(Row("someone@example.test"));
    const struct {
        const char* address;
        std::string refusal;
    } cases[] = {
        {"192.0.2.7", CheckRun::SourceAddressNotLocal("192.0.2.7")},  // a documentation network
        {"224.0.0.1",
         CheckRun::SourceAddressNotLocal("224.0.0.1")},  // multicast binds, never connects
        {"10.1", CheckRun::kSourceAddressInvalid},
        {"mail.example.test", CheckRun::kSourceAddressInvalid},
        {"127.0.0.2", "No DNS SERVER Available"},  // accepted: the run gets as far as the DNS
        {"", "No DNS SERVER Available"},
    };
    for (const auto& c : cases) {
        settings.sourceAddress = c.address;
        ExpectRefused(c.refusal);
    }
}

TEST_F(CheckRunTest, AProxyThatIsOnMustBeUsable) {
    list.AppendRow(Row("someone@example.test"));
    struct Case {
        const char* enabled;
        const char* server;
        const char* port;
        const char* level;
        const char* refusal;
    };
    const Case cases[] = {
        {"1", "  ", "1080", "5", CheckRun::kProxyServerMissing},
        {"1", "proxy.test", "0", "5", CheckRun::kProxyPortInvalid},
        {"1", "proxy.test", "65536", "5", CheckRun::kProxyPortInvalid},
        {"1", "proxy.test", "10 80", "5", CheckRun::kProxyPortInvalid},
        {"1", "proxy.test", "1080", "6", CheckRun::kProxyLevelInvalid},
        // Usable, or switched off whatever the rest says: the run goes on
        // to the dispatcher, which finds no DNS server.
        {"1", " proxy.test ", " 1080 ", "4a", "No DNS SERVER Available"},
        {"0", "", "abc", "6", "No DNS SERVER Available"},
        {"yes", "", "", "", "No DNS SERVER Available"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        {
            TINI stored(dir.path());
            stored.ilProxyEnabled.SetText(c.enabled);
            stored.ilProxyServer.SetText(c.server);
            stored.ilProxyPort.SetText(c.port);
            stored.ilProxyLevel.SetText(c.level);
        }
        TINI ini(dir.path());
        CheckSettings fromIni = CheckSettings::FromIni(ini);
        fromIni.from = settings.from;
        settings = fromIni;
        ExpectRefused(c.refusal);
    }
    EXPECT_EQ(dispatcher.Proxy().server, "");  // the last case's proxy is off
}

TEST_F(CheckRunTest, DispatcherRefusalRestoresTheIdleState) {
    list.AppendRow(Row("someone@example.test"));
    ExpectRefused("No DNS SERVER Available");  // no server anywhere
    EXPECT_EQ(runningChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(run.Good() + run.Bad() + run.Waiting(), 0);
}

class CheckRunWorld : public CheckRunTest {
  protected:
    static void SetUpTestSuite() {
        world = new test::FakeWorld(
            "host mx.good.test users=alice,bob\n"
            "host mute.test silent\n"
            "host busy.test rcpt=450\n"
            "domain good.test mx 10 mx.good.test\n"
            "domain mute.test mx 10 mute.test\n"
            "domain busy.test mx 10 busy.test\n");
    }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }
    void SetUp() override {
        CheckRunTest::SetUp();
        network_layer::SetLookupServers(world->dnsServer() + ":" +
                                        std::to_string(world->dnsPort()));
        settings.dnsPrimary = world->dnsServer();
        dispatcher.SetDnsPort(std::to_string(world->dnsPort()));
        dispatcher.SetSmtpPort(std::to_string(world->smtpPort()));
    }
    void TearDown() override { network_layer::SetLookupServers(""); }
    void RunToTheEnd() {
        run.Start(settings);
        ASSERT_TRUE(test::RunUntil(loop, [&] { return !run.Running(); }));
    }
    static test::FakeWorld* world;
};

test::FakeWorld* CheckRunWorld::world = nullptr;

TEST_F(CheckRunWorld, RowsCountersAndASecondRunOfTheFailedOnes) {
    list.AppendRow(Row("Alice <alice@good.test>"));
    list.AppendRow(Row("carol@good.test"));
    list.AppendRow(Row("bob@good.test"));
    list.AppendRow(Row("not marked@good.test", kMarkUnchecked));
    RunToTheEnd();
    EXPECT_EQ(maxWaiting, 2);  // Connections 2
    EXPECT_EQ(run.Good(), 2);
    EXPECT_EQ(run.Bad(), 1);
    EXPECT_EQ(run.Waiting(), 0);
    const auto status = run.StatusTexts();
    EXPECT_EQ(status[1], "Total: 4");
    EXPECT_EQ(status[3], "Good: 2");
    EXPECT_EQ(status[4], "Bad: 1");

    EXPECT_EQ(list.SubItem(0, 0), "[0] Valid E-mail Address!");
    EXPECT_EQ(list.ImageIndex(0), kIconValid);
    EXPECT_EQ(list.StateIndex(0), kMarkUnchecked);
    EXPECT_FALSE(list.TranscriptOf(0).empty());
    EXPECT_EQ(list.SubItem(1, 0), "[550] Mailbox unavailable");
    EXPECT_EQ(list.ImageIndex(1), kIconFailed);
    EXPECT_EQ(list.StateIndex(1), kMarkChecked);
    EXPECT_EQ(list.SubItem(3, 0), "");  // not marked: not checked
    EXPECT_EQ(list.ImageIndex(3), kIconNotChecked);

    // The second run takes exactly the failed row and a new one.
    list.AppendRow(Row("alice@good.test"));
    std::vector<size_t> begun;
    run.OnRowBegun = [&](size_t row) { begun.push_back(row); };
    RunToTheEnd();
    std::sort(begun.begin(), begun.end());
    EXPECT_EQ(begun, (std::vector<size_t>{1, 4}));
    EXPECT_EQ(run.Good() + run.Bad(), 2);
}

TEST_F(CheckRunWorld, StoppingGivesEveryRowInFlightMinusEight) {
    settings.timeOut = 30;
    list.AppendRow(Row("x@mute.test"));
    list.AppendRow(Row("y@mute.test"));
    list.AppendRow(Row("z@mute.test"));
    run.Start(settings);
    EXPECT_EQ(list.SubItem(0, 0), "Checking...");
    EXPECT_EQ(list.ImageIndex(0), kIconChecking);
    // Both sessions are talking to the silent host when the run stops.
    ASSERT_TRUE(test::RunUntil(loop, [&] {
        return test::EstablishedConnectionsTo(world->hostAddress("mute.test"), world->smtpPort()) ==
               2;
    }));
    run.Stop();
    ASSERT_TRUE(test::RunUntil(loop, [&] { return !run.Running(); }));
    for (size_t row : {0u, 1u}) {
        EXPECT_EQ(list.SubItem(row, 0), "[-8] Aborted by user");
        EXPECT_EQ(list.TranscriptOf(row).back(), "User Abort");
    }
    EXPECT_EQ(list.SubItem(2, 0), "");  // never begun
    EXPECT_EQ(run.Waiting(), 0);
    EXPECT_EQ(run.Bad(), 2);
    EXPECT_EQ(runningChanges, (std::vector<bool>{true, false}));
}

// A deferred row shows its first result while it waits and stays counted in
// Waiting; it counts in Good or Bad once, with its last result, here when
// Stop ends the waiting.
TEST_F(CheckRunWorld, ADeferredRowWaitsAndCountsOnceWithItsLastResult) {
    settings.recheckDeferred = 60;
    list.AppendRow(Row("x@busy.test"));
    list.AppendRow(Row("alice@good.test"));
    std::vector<size_t> finals;
    run.OnRowFinal = [&](size_t row, int) { finals.push_back(row); };
    run.Start(settings);
    ASSERT_TRUE(
        test::RunUntil(loop, [&] { return run.RechecksWaiting() == 1 && run.Good() == 1; }));
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(run.Waiting(), 1);
    EXPECT_EQ(run.Bad(), 0);
    EXPECT_EQ(list.SubItem(0, 0), "[450] Mailbox unavailable");
    EXPECT_EQ(list.ImageIndex(0), kIconFailed);
    EXPECT_EQ(run.RecheckText().rfind("Deferred: 1, next try at ", 0), 0u) << run.RecheckText();
    EXPECT_EQ(finals, std::vector<size_t>{1});

    run.Stop();
    ASSERT_TRUE(test::RunUntil(loop, [&] { return !run.Running(); }));
    EXPECT_EQ(run.Waiting(), 0);
    EXPECT_EQ(run.Good(), 1);
    EXPECT_EQ(run.Bad(), 1);
    EXPECT_EQ(list.SubItem(0, 0), "[450] Mailbox unavailable");
    EXPECT_EQ(finals, (std::vector<size_t>{1, 0}));
    EXPECT_EQ(run.RecheckText(), "");
    EXPECT_EQ(run.Tally().Of(Verdict::kDeliverable), 1);
    EXPECT_EQ(run.Tally().Of(Verdict::kUnknown), 1);
    EXPECT_EQ(run.Tally().Of(Reason::kDeferred), 1);
    ASSERT_NE(list.FindingOf(1), nullptr);
    EXPECT_EQ(list.FindingOf(1)->reason, Reason::kAccepted);  // its probe was refused
    EXPECT_EQ(list.FindingOf(0)->reply, "450 4.2.0 Mailbox unavailable, try again later");
}

TEST_F(CheckRunWorld, HeloHostFollowsTheSetting) {
    list.AppendRow(Row("alice@good.test"));
    settings.from = "Someone <someone@sender.test>";
    RunToTheEnd();
    EXPECT_EQ(dispatcher.From(), "someone@sender.test");
    EXPECT_EQ(dispatcher.Signon(), "sender.test");
    const Transcript& t = list.TranscriptOf(0);
    EXPECT_NE(std::find(t.begin(), t.end(), "HELO sender.test"), t.end());

    list.SetStateIndex(0, kMarkChecked);
    settings.hostFromDomain = 0;
    settings.host = "given.host.test";
    RunToTheEnd();
    EXPECT_EQ(dispatcher.Signon(), "given.host.test");
}

TEST_F(CheckRunWorld, EveryConnectionGoesThroughTheProxy) {
    list.AppendRow(Row("alice@good.test"));
    list.AppendRow(Row("carol@good.test"));
    test::FakeSocksProxy proxy({}, 2);
    settings.proxyEnabled = true;
    settings.proxy.server = "127.0.0.1";
    settings.proxy.port = proxy.portText();
    RunToTheEnd();
    EXPECT_EQ(list.SubItem(0, 0), "[0] Valid E-mail Address!");
    EXPECT_EQ(list.SubItem(1, 0), "[550] Mailbox unavailable");
    proxy.Join();
    const std::string mx =
        world->hostAddress("mx.good.test") + ":" + std::to_string(world->smtpPort());
    EXPECT_EQ(proxy.Target(0), mx);
    EXPECT_EQ(proxy.Target(1), mx);
}

// A proxy that refuses or cannot be reached: every address ends with the
// proxy's error, never with the mail host's verdict, and says why.
TEST_F(CheckRunWorld, AFailingProxyEndsEveryAddressWithItsError) {
    test::FakeSocksProxy::Options refusing;
    refusing.connectStatus = 2;  // connection not allowed by ruleset
    test::FakeSocksProxy proxy(refusing, 2);
    const uint16_t nobody = test::UnusedTcpPort();
    struct Case {
        uint16_t port;
        const char* result;
        std::string line;
    };
    const Case cases[] = {
        {proxy.port(), "[20005] SOCKS proxy: connection not allowed by ruleset",
         "SOCKS proxy: connection not allowed by ruleset (error 20005)"},
        {nobody, "[10061] Conection refused or host is down. Try later",
         "SOCKS proxy 127.0.0.1:" + std::to_string(nobody) + ": Connection refused (error 10061)"},
    };
    for (const Case& c : cases) {
        list.Clear();
        list.AppendRow(Row("alice@good.test"));
        list.AppendRow(Row("bob@good.test"));
        settings.proxyEnabled = true;
        settings.proxy.server = "127.0.0.1";
        settings.proxy.port = std::to_string(c.port);
        RunToTheEnd();
        for (size_t row : {0u, 1u}) {
            EXPECT_EQ(list.SubItem(row, 0), c.result);
            const Transcript& t = list.TranscriptOf(row);
            EXPECT_NE(std::find(t.begin(), t.end(), c.line), t.end()) << c.line;
        }
        EXPECT_EQ(run.Good(), 0);
    }
}

TEST_F(CheckRunWorld, ACaptionWithoutAddressEndsAsBadSyntaxAtOnce) {
    list.AppendRow(Row("just a name"));
    RunToTheEnd();
    EXPECT_EQ(list.SubItem(0, 0), "[-1] Failed: Invalid Domain Name");
}

}  // namespace
}  // namespace mv

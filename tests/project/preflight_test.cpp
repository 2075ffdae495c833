// The pre-flight check against the fake mail world: each check passing and
// failing, the address checks skipped for a private address, and outgoing
// port 25 connecting, refused and (in a private network with nftables)
// dropped.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fake_world.h"
#include "platform/loop/epoll_loop.h"
#include "private_network.h"
#include "project/preflight/block_list_answer.h"
#include "project/preflight/outgoing_address.h"
#include "project/preflight/preflight_run.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

const char* const kWorld = R"(
host mx.good.test
host dead.test refuse
host hush.test silent
host helo.me.test
domain good.test   mx 10 mx.good.test
domain me.test     mx 10 mx.good.test
domain dead.test   mx 10 dead.test
domain hush.test   mx 10 hush.test
domain nomail.test nullmx
domain empty.test  empty
domain quiet.test  silent
record 7.100.51.198.in-addr.arpa ptr helo.me.test
record 8.100.51.198.in-addr.arpa ptr other.me.test
record 8.100.51.198.bl.test      a   127.0.0.2
record 9.100.51.198.bl.test      a   127.255.255.254
)";

// A UDP port that takes queries and never answers.
class SilentDnsServer {
  public:
    SilentDnsServer(const std::string& address, uint16_t port) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &a.sin_addr);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~SilentDnsServer() { close(fd_); }
    bool bound() const { return bound_; }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

class Preflight : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { world = new test::FakeWorld(kWorld); }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }

    // The world's DNS server's network with another last number.
    static std::string Neighbour(int last) {
        const std::string& dns = world->dnsServer();
        return dns.substr(0, dns.rfind('.') + 1) + std::to_string(last);
    }
    static PreflightSettings Settings(const test::FakeWorld& w = *world) {
        PreflightSettings s;
        s.from = "me@me.test";
        s.helo = "helo.me.test";
        s.dnsServers = {w.dnsServer()};
        s.dnsPort = std::to_string(w.dnsPort());
        s.smtpPort = std::to_string(w.smtpPort());
        s.blockLists = {"bl.test"};
        s.domains = {"good.test"};
        s.dnsTryMs = 300;
        s.connectLimitMs = 500;
        s.greetingLimitMs = 400;
        return s;
    }
    // Runs the whole check; the items by name.
    static std::map<std::string, PreflightItem> Run(const PreflightSettings& s) {
        EpollLoop loop;
        PreflightRun run(loop, s);
        bool finished = false;
        run.OnFinished = [&] { finished = true; };
        run.Start();
        EXPECT_TRUE(test::RunUntil(loop, [&] { return finished; }));
        std::map<std::string, PreflightItem> byName;
        for (const PreflightItem& item : run.Items())
            byName[item.name] = item;
        return byName;
    }

    static test::FakeWorld* world;
};

test::FakeWorld* Preflight::world = nullptr;

struct Case {
    const char* what;
    std::function<void(PreflightSettings&)> change;
    const char* check;
    PreflightStatus status;
    const char* advice;  // a part of the advice
};

TEST_F(Preflight, EachCheckPassesAndFails) {
    const auto port = [](PreflightSettings& s) { s.blockLists.clear(); };
    const auto ptr = [](const char* address) {
        return [address](PreflightSettings& s) { s.publicAddress = address; };
    };
    const Case cases[] = {
        {"all well", nullptr, "DNS servers", PreflightStatus::kOk, "answers"},
        {"all well", nullptr, "From address", PreflightStatus::kOk, "mail hosts: mx.good.test"},
        {"all well", nullptr, "HELO name", PreflightStatus::kOk, "helo.me.test resolves to"},
        {"null MX", [](PreflightSettings& s) { s.from = "a@nomail.test"; }, "From address",
         PreflightStatus::kFailed, "null MX"},
        {"no MX", [](PreflightSettings& s) { s.from = "a@empty.test"; }, "From address",
         PreflightStatus::kWarning, "no MX records"},
        {"no domain", [](PreflightSettings& s) { s.from = "a@nosuch.test"; }, "From address",
         PreflightStatus::kFailed, "does not exist"},
        {"no sender", [](PreflightSettings& s) { s.from = ""; }, "From address",
         PreflightStatus::kFailed, "no sender address"},
        {"no answer", [](PreflightSettings& s) { s.from = "a@quiet.test"; }, "From address",
         PreflightStatus::kWarning, "did not answer"},
        {"no answer", [](PreflightSettings& s) { s.from = "a@quiet.test"; }, "DNS servers",
         PreflightStatus::kOk, "answers"},
        {"HELO unknown", [](PreflightSettings& s) { s.helo = "gone.me.test"; }, "HELO name",
         PreflightStatus::kFailed, "does not resolve"},
        {"HELO bare", [](PreflightSettings& s) { s.helo = "localhost"; }, "HELO name",
         PreflightStatus::kFailed, "not a full domain name"},
        {"HELO provider", [](PreflightSettings& s) { s.helo = "mx.GMail.com"; }, "HELO name",
         PreflightStatus::kWarning,
         "HELO mx.GMail.com belongs to a mail provider; receivers treat it as forged. Give this "
         "computer's own name (the reverse name of its public address) with --helo or Tools | "
         "Options."},
        {"HELO elsewhere", ptr("198.51.100.7"), "HELO name", PreflightStatus::kWarning,
         "not to 198.51.100.7"},
        {"PTR match", ptr("198.51.100.7"), "Reverse name (PTR)", PreflightStatus::kOk,
         "198.51.100.7 is helo.me.test, the HELO name"},
        {"PTR mismatch", ptr("198.51.100.8"), "Reverse name (PTR)", PreflightStatus::kWarning,
         "is other.me.test, but HELO gives helo.me.test"},
        {"no PTR", ptr("198.51.100.9"), "Reverse name (PTR)", PreflightStatus::kFailed,
         "has no reverse name"},
        {"not listed", ptr("198.51.100.7"), "Block list bl.test", PreflightStatus::kOk,
         "not listed"},
        {"listed", ptr("198.51.100.8"), "Block list bl.test", PreflightStatus::kFailed,
         "source of spam (127.0.0.2)"},
        {"zone refuses", ptr("198.51.100.9"), "Block list bl.test", PreflightStatus::kWarning,
         "public or open resolvers"},
        {"private", nullptr, "Reverse name (PTR)", PreflightStatus::kSkipped,
         "private address (behind a router)"},
        {"private", nullptr, "Block list bl.test", PreflightStatus::kSkipped, "private address"},
        {"port open", port, "Outgoing port ", PreflightStatus::kOk, "good.test connected"},
    };
    for (const Case& c : cases) {
        PreflightSettings s = Settings();
        if (c.change) c.change(s);
        std::map<std::string, PreflightItem> items = Run(s);
        std::string name = c.check;
        if (name == "Outgoing port ") name += s.smtpPort;
        ASSERT_TRUE(items.count(name)) << c.what << ": " << name;
        const PreflightItem& item = items[name];
        EXPECT_EQ(item.status, c.status) << c.what << ": " << item.advice;
        EXPECT_NE(item.advice.find(c.advice), std::string::npos) << c.what << ": " << item.advice;
    }
}

TEST_F(Preflight, DnsServersThatDoNotAnswer) {
    SilentDnsServer silent(Neighbour(250), world->dnsPort());
    ASSERT_TRUE(silent.bound());
    PreflightSettings s = Settings();
    s.dnsServers = {Neighbour(250), world->dnsServer()};
    auto items = Run(s);
    EXPECT_EQ(items["DNS servers"].status, PreflightStatus::kWarning)
        << items["DNS servers"].advice;
    EXPECT_EQ(items["From address"].status, PreflightStatus::kOk) << "the next server is asked";

    s.dnsServers = {Neighbour(250)};
    items = Run(s);
    EXPECT_EQ(items["DNS servers"].status, PreflightStatus::kFailed);
    EXPECT_NE(items["DNS servers"].advice.find("no answer within"), std::string::npos);
    EXPECT_EQ(items["HELO name"].status, PreflightStatus::kWarning);
}

TEST_F(Preflight, Port25ConnectedRefusedAndMixedAreToldApart) {
    const std::pair<std::vector<std::string>, PreflightStatus> cases[] = {
        {{"good.test"}, PreflightStatus::kOk},
        {{"dead.test"}, PreflightStatus::kFailed},
        {{"good.test", "dead.test", "nomail.test", "hush.test"}, PreflightStatus::kWarning},
        {{}, PreflightStatus::kSkipped},
        {{"hush.test"}, PreflightStatus::kWarning},
    };
    for (const auto& [domains, status] : cases) {
        PreflightSettings s = Settings();
        s.domains = domains;
        auto items = Run(s);
        const PreflightItem& item = items["Outgoing port " + s.smtpPort];
        EXPECT_EQ(item.status, status) << item.advice;
        if (domains.size() == 4) {
            EXPECT_EQ(item.advice.substr(0, item.advice.find(':')),
                      "good.test connected (220 mx.good.test ESMTP fakeworld), dead.test "
                      "refused, nomail.test takes no mail, hush.test connected, but no SMTP "
                      "greeting within 0.4 s (the provider may intercept port 25)");
        }
    }
}

// The probes leave from the source address, and the address checks are about
// it unless a public address is given; one that is not this computer's fails
// the port check with advice instead of probing.
TEST_F(Preflight, TheSourceAddressIsUsed) {
    test::FakeWorld own(kWorld);  // its statistics end it
    const struct {
        const char* source;
        const char* publicAddress;
        PreflightStatus port;
        const char* portAdvice;
        const char* ptrAdvice;
    } cases[] = {
        {"127.0.0.2", "", PreflightStatus::kOk, "fakeworld) (from 127.0.0.2)",
         "127.0.0.2 is a private address"},
        {"127.0.0.2", "198.51.100.7", PreflightStatus::kOk, "connected",
         "198.51.100.7 is helo.me.test"},
        {"192.0.2.7", "", PreflightStatus::kFailed,
         "the source address 192.0.2.7 is not an address of this computer",
         "the source address 192.0.2.7 cannot be used"},
    };
    for (const auto& c : cases) {
        PreflightSettings s = Settings(own);
        s.sourceAddress = c.source;
        s.publicAddress = c.publicAddress;
        auto items = Run(s);
        const PreflightItem& port = items["Outgoing port " + s.smtpPort];
        EXPECT_EQ(port.status, c.port) << c.source << ": " << port.advice;
        EXPECT_NE(port.advice.find(c.portAdvice), std::string::npos) << port.advice;
        const PreflightItem& ptr = items["Reverse name (PTR)"];
        EXPECT_NE(ptr.advice.find(c.ptrAdvice), std::string::npos) << ptr.advice;
    }
    own.Stop();
    EXPECT_NE(own.statistics().find(" clients=127.0.0.2\n"), std::string::npos) << own.statistics();
}

TEST_F(Preflight, DnsServersThatRefuseOrFail) {
    test::FakeWorld::Options samePort;
    samePort.dnsPort = world->dnsPort();
    test::FakeWorld refusing("domain * refused", samePort), failing("domain * servfail", samePort);
    PreflightSettings s = Settings();
    s.dnsServers = {refusing.dnsServer()};
    EXPECT_EQ(Run(s)["DNS servers"].advice.find(refusing.dnsServer() + " refuses (REFUSED): every"),
              0u);
    s.dnsServers = {failing.dnsServer(), world->dnsServer()};
    EXPECT_EQ(Run(s)["DNS servers"].status, PreflightStatus::kWarning);
}

// Runs in a private network whose firewall drops every SYN to the mail host.
std::string DroppedPortTimesOut() {
    test::FakeWorld dropWorld(kWorld);
    test::TempDir dir;
    test::WriteFile(dir / "rules.nft",
                    "table ip firewall {\n  chain out {\n"
                    "    type filter hook output priority 0; policy accept;\n"
                    "    tcp dport " +
                        std::to_string(dropWorld.smtpPort()) +
                        " tcp flags & (syn | ack) == syn drop\n  }\n}\n");
    const auto nft = test::RunProgram({test::NftPath(), "-f", (dir / "rules.nft")});
    if (nft.exitCode != 0) return "nft failed: " + nft.err;
    PreflightSettings s;
    s.from = "me@me.test";
    s.helo = "helo.me.test";
    s.dnsServers = {dropWorld.dnsServer()};
    s.dnsPort = std::to_string(dropWorld.dnsPort());
    s.smtpPort = std::to_string(dropWorld.smtpPort());
    s.domains = {"good.test", "me.test"};
    s.connectLimitMs = 300;
    EpollLoop loop;
    PreflightRun run(loop, s);
    bool finished = false;
    run.OnFinished = [&] { finished = true; };
    run.Start();
    if (!test::RunUntil(loop, [&] { return finished; })) return "the check did not end";
    const PreflightItem port = run.Items()[3];
    if (port.status != PreflightStatus::kFailed ||
        port.advice.find("good.test timed out, me.test timed out: outgoing port") != 0)
        return "port: " + std::string(PreflightStatusName(port.status)) + " " + port.advice;
    return {};
}

TEST(PreflightFirewall, ADroppedPort25TimesOutAndIsCalledBlocked) {
    if (test::NftPath().empty()) GTEST_SKIP() << "nft is not installed (Debian package nftables)";
    bool skipped = false;
    const std::string failures = test::InPrivateNetworkChild(DroppedPortTimesOut, &skipped);
    if (skipped) GTEST_SKIP() << failures;
    EXPECT_EQ(failures, "");
}

TEST(PreflightAddresses, PrivateAddressesAndBlockListCodes) {
    for (const char* a : {"10.1.2.3", "172.31.0.1", "192.168.1.1", "100.64.0.1", "127.0.0.1",
                          "169.254.9.9", "0.1.2.3"})
        EXPECT_TRUE(IsPrivateAddress(a)) << a;
    for (const char* a : {"172.32.0.1", "100.128.0.1", "198.51.100.7", "8.8.8.8", "nonsense"})
        EXPECT_FALSE(IsPrivateAddress(a)) << a;
    EXPECT_EQ(ReversedOctets("198.51.100.7"), "7.100.51.198");

    const std::pair<std::vector<std::string>, PreflightStatus> answers[] = {
        {{}, PreflightStatus::kOk},
        {{"127.0.0.10"}, PreflightStatus::kFailed},
        {{"127.0.0.99"}, PreflightStatus::kFailed},
        {{"127.255.255.252"}, PreflightStatus::kWarning},
        {{"127.255.255.254", "127.0.0.4"}, PreflightStatus::kFailed},
        {{"192.0.2.1"}, PreflightStatus::kWarning},
    };
    for (const auto& [addresses, status] : answers)
        EXPECT_EQ(ReadBlockListAnswer(addresses).status, status)
            << (addresses.empty() ? "" : addresses.front());
}

}  // namespace
}  // namespace mv

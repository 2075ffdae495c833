// A mail host behind a firewall that silently drops connection attempts: its
// connect fails with 10060 within the connect limit, and the session goes on
// to the domain's next mail host instead of timing out. IPv6 mail hosts: one
// on ::1 is checked over IPv6, one this computer has no route to ends as
// no-ipv4-host.
//
// The drops need a network of the test's own: a child process enters a new
// network namespace (only its loopback exists there), has nftables drop every
// SYN to the first host and runs the check against the fake mail world. Where
// namespaces are not allowed or nft is missing the test is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "kernel_probes.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "private_network.h"
#include "subprocess.h"
#include "test_support.h"
#include "world_run.h"

namespace mv {
namespace {

const char* const kWorld = R"(
host walled.test   accept
host open.test     accept
domain backup.test mx 10 walled.test 20 open.test
domain walled.test mx walled.test
)";

// Runs inside the namespace; an empty text when all went as it should.
std::string CheckBehindFirewall() {
    test::FakeWorld world(kWorld);
    test::TempDir dir;
    test::WriteFile(dir / "rules.nft",
                    "table ip firewall {\n"
                    "  chain out {\n"
                    "    type filter hook output priority 0; policy accept;\n"
                    "    ip daddr " +
                        world.hostAddress("walled.test") +
                        " tcp flags & (syn | ack) == syn drop\n"
                        "  }\n"
                        "}\n");
    const test::ProcessResult nft = test::RunProgram({test::NftPath(), "-f", (dir / "rules.nft")});
    if (nft.exitCode != 0) return "nft failed: " + nft.err;

    network_layer::SetLookupServers(world.dnsServer() + ":" + std::to_string(world.dnsPort()));
    EpollLoop loop;
    TSmtpRelayServer d(loop);
    d.SetDns(world.dnsServer());
    d.SetDnsPort(std::to_string(world.dnsPort()));
    d.SetSmtpPort(std::to_string(world.smtpPort()));
    d.SetFrom("checker@probe.test");
    d.SetTimeOut(2);
    d.SetConnectTimeOutMs(300);  // the same rule as the 21 s of the default, sooner
    d.SetRecipients({{"a@backup.test", 0}, {"a@walled.test", 1}});
    d.SetConnections(2);
    std::map<int, std::pair<int, std::vector<std::string>>> reports;
    bool finished = false;
    d.OnEMailProcessed = [&](TSmtpRelayServer*, int i, int err, const std::vector<std::string>& log,
                             const TResultInfo&) {
        reports[i] = {err, log};
    };
    d.OnFinished = [&](TSmtpRelayServer*, bool) { finished = true; };
    d.Verify();
    if (!test::RunUntil(
            loop, [&] { return finished; }, std::chrono::seconds(20)))
        return "the run did not finish";
    const auto& [backupCode, backupLog] = reports[0];
    std::string failures;
    if (backupCode != 0)
        failures += "backup.test: " + std::to_string(backupCode) + " instead of 0\n";
    if (std::count(backupLog.begin(), backupLog.end(), "Opening Connection") != 2)
        failures += "backup.test: not both hosts were tried\n";
    if (reports[1].first != 10060)
        failures += "walled.test: " + std::to_string(reports[1].first) + " instead of 10060\n";
    return failures;
}

// Runs inside the namespace, where IPv6 reaches ::1 alone.
std::string CheckIpv6Hosts() {
    if (!test::Ipv6LoopbackUsable()) return "::1 cannot be bound";
    test::FakeWorld world(
        "host v6.test ipv6\nhost far6.test no-ipv4\nrecord far6.test aaaa 2001:db8::25\n"
        "domain v6.test mx v6.test\ndomain far6.test mx far6.test\n");
    EpollLoop loop;
    test::WorldRun run(loop);
    run.Point(world);
    std::string failures;
    for (const bool prefer : {false, true}) {
        run.d.SetPreferIPv6(prefer);
        if (!run.Check({"x@v6.test", "x@far6.test"}, 2)) return "the run did not finish";
        if (run.Final(0).code != 0) failures += "v6.test: " + std::to_string(run.Final(0).code);
        const TResultInfo& far = run.Final(1).info;
        if (run.Final(1).code != 10051 || far.finding.reason != Reason::kNoIpv4Host)
            failures += " far6.test: " + std::to_string(run.Final(1).code) + " " +
                        std::string(ReasonName(far.finding.reason));
    }
    return failures;
}

TEST(EngineIpv6, AHostOnLoopbackIsCheckedAndOneWithoutARouteIsNoIpv4Host) {
    bool skipped = false;
    const std::string failures = test::InPrivateNetworkChild(CheckIpv6Hosts, &skipped);
    if (skipped || failures == "::1 cannot be bound") GTEST_SKIP() << failures;
    EXPECT_EQ(failures, "");
}

TEST(EngineFirewall, AHostThatDropsConnectionAttemptsFailsAndTheNextHostIsTried) {
    if (test::NftPath().empty()) GTEST_SKIP() << "nft is not installed (Debian package nftables)";
    bool skipped = false;
    const std::string failures = test::InPrivateNetworkChild(CheckBehindFirewall, &skipped);
    if (skipped) GTEST_SKIP() << failures;
    EXPECT_EQ(failures, "");
}

}  // namespace
}  // namespace mv

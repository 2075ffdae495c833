// mailvetter-cli check through a real SOCKS server (danted), in a private
// network namespace that the test makes: the fake mail world, a danted that
// relays and one that refuses, all on the namespace's own loopback.
#include <gtest/gtest.h>

#include "dante_server.h"
#include "fake_world.h"
#include "private_network.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

constexpr uint16_t kRelayingPort = 1080;
constexpr uint16_t kRefusingPort = 1081;

// Each line's text that must appear, per proxy; "" when all did.
std::string Expect(const test::ProcessResult& r, const std::vector<std::string>& texts) {
    std::string missing;
    for (const std::string& t : texts) {
        if (r.out.find(t) == std::string::npos) missing += "missing: " + t + "\n";
    }
    if (r.exitCode != 0) missing += "exit " + std::to_string(r.exitCode) + "\n";
    return missing.empty() ? "" : missing + r.out + r.err;
}

// Runs inside the namespace; returns what went wrong.
std::string CheckThroughDante() {
    test::FakeWorld world(
        "host mx.good.test users=alice\n"
        "host mx.other.test accept\n"
        "domain good.test mx 10 mx.good.test\n"
        "domain other.test mx 10 mx.other.test\n");
    const test::DanteServer relaying(kRelayingPort, true);
    const test::DanteServer refusing(kRefusingPort, false);
    if (!relaying.WaitListening() || !refusing.WaitListening())
        return "danted did not start:\n" + relaying.Log() + refusing.Log();
    test::TempDir config;
    const auto check = [&](uint16_t proxyPort) {
        return test::RunProgram({test::CliPath(), "check",
                                 "--dns",         world.dnsServer(),
                                 "--dns-port",    std::to_string(world.dnsPort()),
                                 "--smtp-port",   std::to_string(world.smtpPort()),
                                 "--timeout",     "5",
                                 "--per-server",  "0",
                                 "--from",        "me@checker.test",
                                 "--socks",       "127.0.0.1:" + std::to_string(proxyPort),
                                 "--format",      "jsonl",
                                 "--transcripts", "-"},
                                "alice@good.test\ncarol@good.test\nbob@other.test\n",
                                {"XDG_CONFIG_HOME=" + config.path().string()}, 30000);
    };
    std::string failure = Expect(check(kRelayingPort), {
                                                           R"("row":0,)",
                                                           R"("code":0,)",
                                                           R"("code":550,)",
                                                           R"("row":2,)",
                                                       });
    if (!failure.empty()) return "through the relaying danted:\n" + failure + relaying.Log();
    const std::string refusal = "SOCKS proxy: connection not allowed by ruleset (error 20005)";
    const test::ProcessResult refused = check(kRefusingPort);
    size_t lines = 0;
    for (size_t at = refused.out.find(R"("code":20005,)"); at != std::string::npos;
         at = refused.out.find(R"("code":20005,)", at + 1))
        ++lines;
    failure = Expect(refused, {refusal});
    if (lines != 3) failure += std::to_string(lines) + " addresses ended with 20005\n";
    return failure.empty() ? "" : "through the refusing danted:\n" + failure + refused.out;
}

TEST(CheckSocks, ARunThroughARelayingAndARefusingDanted) {
    if (!test::DanteServer::Installed())
        GTEST_SKIP() << "danted is not installed (Debian package dante-server)";
    bool skipped = false;
    const std::string failure = test::InPrivateNetworkChild(CheckThroughDante, &skipped);
    if (skipped) GTEST_SKIP() << failure;
    EXPECT_EQ(failure, "");
}

}  // namespace
}  // namespace mv

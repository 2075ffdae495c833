// mailvetter-cli smtp through the fake SOCKS proxy, run as a user would.
#include <gtest/gtest.h>

#include "fake_smtp_server.h"
#include "fake_socks_proxy.h"
#include "subprocess.h"

namespace mv {
namespace {

using test::CliPath;
using test::FakeSocksProxy;
using test::RunProgram;

std::vector<std::string> Probe(uint16_t port, const std::vector<std::string>& extra) {
    std::vector<std::string> argv = {
        CliPath(),       "smtp",   "127.0.0.1",      "--port", std::to_string(port), "--from",
        "me@probe.test", "--rcpt", "user@fake.test", "--helo", "probe.test"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

TEST(SmtpSocks, ProbesThroughEachLevelWithAndWithoutUserCode) {
    struct Case {
        std::vector<std::string> options;
        const char* user;
        const char* password;
    };
    const std::vector<Case> cases = {
        {{}, "", ""},
        {{"--socks-level", "4"}, "", ""},
        {{"--socks-level", "4a", "--socks-user", "ann"}, "ann", ""},
        {{"--socks-user", "ann", "--socks-password", "pw"}, "ann", "pw"},
    };
    for (const Case& c : cases) {
        test::FakeSmtpServer server({}, "220 fake ready");
        FakeSocksProxy::Options options;
        options.user = c.user;
        options.password = c.password;
        FakeSocksProxy proxy(options);
        std::vector<std::string> extra = {"--socks", "127.0.0.1:" + proxy.portText()};
        extra.insert(extra.end(), c.options.begin(), c.options.end());
        const auto r = RunProgram(Probe(server.port(), extra));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("< 220 fake ready\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("result\t0\n"), std::string::npos) << r.out;
        EXPECT_EQ(proxy.Target(), "127.0.0.1:" + server.portText());
    }
}

TEST(SmtpSocks, ARefusalByTheProxyIsShownAndIsTheResult) {
    FakeSocksProxy::Options options;
    options.connectStatus = 2;
    FakeSocksProxy proxy(options);
    const auto r = RunProgram(Probe(25, {"--socks", "127.0.0.1:" + proxy.portText()}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("proxy: connection not allowed by ruleset (error 20005)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("result\t20005\n"), std::string::npos) << r.out;
}

TEST(SmtpSocks, UsageErrors) {
    for (const auto& extra : std::vector<std::vector<std::string>>{
             {"--socks", "127.0.0.1"},
             {"--socks", ":1080"},
             {"--socks", "127.0.0.1:0"},
             {"--socks", "127.0.0.1:1080", "--socks-level", "6"},
             {"--socks", "127.0.0.1:1080", "--socks-password", "pw"},
             {"--socks", "127.0.0.1:1080", "--socks-level", "4", "--socks-user", "a",
              "--socks-password", "pw"},
             {"--socks-level", "5"},
         }) {
        const auto r = RunProgram(Probe(25, extra));
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(extra);
        EXPECT_NE(r.err.find("Usage: mailvetter-cli smtp"), std::string::npos);
    }
    const auto help = RunProgram({CliPath(), "smtp", "--help"});
    EXPECT_NE(help.out.find("--socks HOST:PORT"), std::string::npos);
}

}  // namespace
}  // namespace mv

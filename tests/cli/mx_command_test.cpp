// mailvetter-cli mx, run as a user would, against a scripted DNS server.
#include <gtest/gtest.h>

#include "fake_dns_server.h"
#include "subprocess.h"

namespace mv {
namespace {

using test::CliPath;
using test::FakeDnsServer;
using test::RunProgram;

std::vector<std::string> Mx(const std::string& domain, const FakeDnsServer& server,
                            const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv = {CliPath(),   "mx",         domain,           "--dns",
                                     "127.0.0.1", "--dns-port", server.portText()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

TEST(MxCommand, PrintsExchangersInAnswerOrderWithPreferences) {
    FakeDnsServer server(
        FakeDnsServer::MxTable({{"example.test", {"b.example.test", "a.example.test"}}}));
    const auto r = RunProgram(Mx("example.test", server));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "b.example.test\t10\na.example.test\t20\n");
}

TEST(MxCommand, AnAnswerWithoutMxRecordsStillSucceeds) {
    FakeDnsServer server(FakeDnsServer::MxTable({{"empty.test", {}}}));
    auto r = RunProgram(Mx("empty.test", server));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    r = RunProgram(Mx("missing.test", server));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("no such domain"), std::string::npos);
}

TEST(MxCommand, AServerThatFailsOrRefusesSaysSoWithStatusOne) {
    for (const auto& [rcode, text] : std::vector<std::pair<uint8_t, std::string>>{
             {2, "DNS server failure (SERVFAIL)"}, {5, "DNS server refused the query (REFUSED)"}}) {
        FakeDnsServer server([rcode = rcode](const dnswire::Query& q) {
            return std::vector<FakeDnsServer::Datagram>{
                dnswire::ResponseBuilder::ReplyTo(q).Rcode(rcode).Build()};
        });
        const auto r = RunProgram(Mx("example.test", server));
        EXPECT_EQ(r.exitCode, 1) << text;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    }
}

TEST(MxCommand, SilenceEndsWithTheTimeOutAndStatusOne) {
    FakeDnsServer server(FakeDnsServer::Silent());
    const auto r = RunProgram(Mx("example.test", server, {"--timeout", "1"}), "", {}, 10000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no answer from DNS server 127.0.0.1 within 1 seconds"), std::string::npos)
        << r.err;
}

TEST(MxCommand, RefusedDomainAndUsageErrors) {
    FakeDnsServer server;
    auto r = RunProgram(Mx(std::string(70, 'x') + ".test", server));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("63"), std::string::npos) << r.err;

    for (const auto& argv : std::vector<std::vector<std::string>>{
             {CliPath(), "mx"},
             {CliPath(), "mx", "a.test", "b.test"},
             {CliPath(), "mx", "a.test", "--timeout", "zero"},
             {CliPath(), "mx", "a.test", "--bogus"},
             {CliPath(), "frobnicate"},
         }) {
        r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 2) << argv.back();
        EXPECT_FALSE(r.err.empty());
    }
    r = RunProgram({CliPath(), "--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("mailvetter-cli ", 0), 0u);
}

}  // namespace
}  // namespace mv

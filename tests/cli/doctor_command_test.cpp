// mailvetter-cli doctor as a user runs it, against the fake mail world: one
// line per check, the stored block-list zones, and the exit status.
#include <gtest/gtest.h>

#include "fake_world.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

using test::CliPath;
using test::RunProgram;

class DoctorCommand : public ::testing::Test {
  protected:
    std::vector<std::string> Env() const { return {"XDG_CONFIG_HOME=" + dir.path().string()}; }
    std::vector<std::string> Doctor(std::vector<std::string> extra) const {
        std::vector<std::string> argv = {CliPath(),     "doctor",
                                         "--dns",       world.dnsServer(),
                                         "--dns-port",  std::to_string(world.dnsPort()),
                                         "--smtp-port", std::to_string(world.smtpPort()),
                                         "--helo",      "helo.me.test"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return argv;
    }

    test::FakeWorld world{
        "host mx.me.test\n"
        "host helo.me.test\n"
        "domain me.test mx 10 mx.me.test\n"
        "domain nomail.test nullmx\n"
        "record 7.100.51.198.in-addr.arpa ptr helo.me.test\n"
        "record 7.100.51.198.bl.test a 127.0.0.2\n"};
    test::TempDir dir;
};

TEST_F(DoctorCommand, OneLinePerCheckAndExitStatusByFailures) {
    auto r = RunProgram(Doctor({"--from", "me@me.test", "--blocklists", "ok.test"}), "", Env());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string port = std::to_string(world.smtpPort());
    EXPECT_EQ(r.out,
              "OK       DNS servers: " + world.dnsServer() +
                  " answers\n"
                  "OK       From address: me.test has mail hosts: mx.me.test\n"
                  "OK       HELO name: helo.me.test resolves to " +
                  world.hostAddress("helo.me.test") +
                  "\n"
                  "OK       Outgoing port " +
                  port + ": me.test connected (220 mx.me.test ESMTP fakeworld)\n" +
                  "skipped  Reverse name (PTR): 127.0.0.1 is a private address (behind a "
                  "router): the receivers see the router's public address; give that address "
                  "to check it\n"
                  "skipped  Block list ok.test: 127.0.0.1 is a private address (behind a "
                  "router): the receivers see the router's public address; give that address "
                  "to check it\n");
    EXPECT_NE(r.err.find("checked in "), std::string::npos);

    // The stored zones when none are given; a listed address fails.
    ASSERT_EQ(
        RunProgram({CliPath(), "settings", "Checks/BlockLists", "bl.test"}, "", Env()).exitCode, 0);
    r = RunProgram(Doctor({"--from", "me@me.test", "--public-address", "198.51.100.7"}), "", Env());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("OK       Reverse name (PTR): 198.51.100.7 is helo.me.test"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("failed   Block list bl.test: listed as a source of spam (127.0.0.2)"),
              std::string::npos)
        << r.out;

    r = RunProgram(Doctor({"--from", "me@me.test", "--source-address", "192.0.2.7"}), "", Env());
    EXPECT_NE(r.out.find(port + ": the source address 192.0.2.7 is not"), std::string::npos);

    r = RunProgram(Doctor({"--from", "me@nomail.test", "me.test"}), "", Env());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("failed   From address: nomail.test has a null MX"), std::string::npos);

    r = RunProgram(Doctor({"--public-address", "router"}), "", Env());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--public-address needs an IPv4 address"), std::string::npos);
}

}  // namespace
}  // namespace mv

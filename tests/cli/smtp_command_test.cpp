// mailvetter-cli smtp, run as a user would, against scripted fake servers.
#include <gtest/gtest.h>

#include "fake_smtp_server.h"
#include "scripted_tcp_server.h"
#include "subprocess.h"

namespace mv {
namespace {

using test::CliPath;
using test::FakeSmtpServer;
using test::RunProgram;
using test::ScriptedTcpServer;
using test::TcpConnection;

std::vector<std::string> Probe(const std::string& port, const std::string& rcpt,
                               const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv = {CliPath(), "smtp",   "127.0.0.1",     "--port",
                                     port,      "--from", "me@probe.test", "--rcpt",
                                     rcpt,      "--helo", "probe.test"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

TEST(SmtpCommand, AcceptedRecipientShowsTheDialogueAndResultZero) {
    FakeSmtpServer server({}, "220 fake ready");
    const auto r = RunProgram(Probe(server.portText(), "user@fake.test"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "< 220 fake ready\n> HELO probe.test\n< 250 ok\n> MAIL FROM:<me@probe.test>\n"
              "< 250 ok\n> RCPT TO:<user@fake.test>\n< 250 ok\n> RSET\n< 250 ok\n> QUIT\n"
              "< 221 bye\nresult\t0\n");
    server.Join();
    EXPECT_TRUE(server.quitSeen());
}

TEST(SmtpCommand, RefusedRecipientGivesItsReplyCode) {
    FakeSmtpServer server(FakeSmtpServer::Rules{{"RCPT", "550 no such user"}}, "220 fake ready");
    const auto r = RunProgram(Probe(server.portText(), "nobody@fake.test"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("result\t550\n"), std::string::npos) << r.out;
    server.Join();
    EXPECT_TRUE(server.quitSeen());  // left politely
}

TEST(SmtpCommand, RefusedConnectionAndSilentServer) {
    auto r = RunProgram(Probe(std::to_string(test::UnusedTcpPort()), "a@b.test"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("result\t10061\n"), std::string::npos) << r.out;

    ScriptedTcpServer mute([](TcpConnection& c, int) { c.WaitForClose(10000); });
    r = RunProgram(Probe(mute.portText(), "a@b.test", {"--timeout", "1"}), "", {}, 15000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("result\t-2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("no reply from the server within 1 seconds"), std::string::npos);
}

TEST(SmtpCommand, AReplyThatNeverEndsTimesOutFromTheLastCompleteOne) {
    ScriptedTcpServer drip([](TcpConnection& c, int) {
        for (int i = 0; i < 75; ++i) {
            c.Send("220-still greeting\r\n");
            if (c.WaitForClose(200)) return;
        }
    });
    const auto r =
        RunProgram(Probe(drip.portText(), "a@b.test", {"--timeout", "1"}), "", {}, 15000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("result\t-2\n"), std::string::npos) << r.out;
}

TEST(SmtpCommand, UsageErrors) {
    for (const auto& argv : std::vector<std::vector<std::string>>{
             {CliPath(), "smtp"},
             {CliPath(), "smtp", "host", "--rcpt", "a@b"},
             {CliPath(), "smtp", "host", "--from", "a@b"},
             {CliPath(), "smtp", "host", "--from", "a@b", "--rcpt", "c@d", "--port", "70000"},
         }) {
        const auto r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 2);
    }
}

}  // namespace
}  // namespace mv

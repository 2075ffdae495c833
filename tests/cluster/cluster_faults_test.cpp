// What goes wrong on the cluster: bad addresses, refused logins, unknown
// runs, and a run stopped half-way.
#include <gtest/gtest.h>
#include <signal.h>

#include "cluster_world.h"

namespace mv::test {
namespace {

TEST_F(ClusterWorld, BadInputGetsAClearMessageAndStatus) {
    RedisServer redis({.appendOnly = false, .password = "s3cret"});
    const std::string list = MakeList(3, {"ok.test"});
    WriteFile(dir / "pw", "s3cret\n");
    WriteFile(dir / "bad-pw", "wrong\n");
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string message;
    };
    const std::string sock = redis.Url();
    const std::vector<Case> cases = {
        {{"cluster", "status", "--redis", "unix:///nowhere/redis.sock"}, 1, "unix:///nowhere"},
        {{"cluster", "status", "--redis", sock, "--redis-password-file", (dir / "bad-pw").string()},
         1,
         "the login was refused"},
        {{"cluster", "collect", "nosuch", "--redis", sock, "--redis-password-file",
          (dir / "pw").string()},
         1,
         "the run nosuch does not exist"},
        {{"cluster", "cancel", "nosuch", "--redis", sock, "--redis-password-file",
          (dir / "pw").string()},
         1,
         "the run nosuch does not exist"},
        {{"cluster", "status", "--redis", "redis://:s3cret@127.0.0.1:1"}, 1, "redis://127.0.0.1:1"},
        {{"cluster", "status", "--redis", "http://x"}, 2, "redis:// or unix://"},
        {{"cluster", "submit", list, "--redis", sock, "--output", "x"}, 2, "--output"},
        {{"worker", "--redis", sock, "--save"}, 2, "--save"},
        {{"check", "--cluster", sock, "--connections", "5", list}, 2, "belongs to the workers"},
        {{"cluster", "frobnicate"}, 2, "unknown cluster subcommand"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {CliPath()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto r = Run(argv);
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("s3cret"), std::string::npos) << "the password was printed";
    }
}

TEST_F(ClusterWorld, CtrlCCancelsARunOnTheClusterAndStillWritesItsResults) {
    const std::string list = MakeList(200, {"crawl.test"});
    RedisServer redis({.appendOnly = false, .password = ""});
    Subprocess check(
        {CliPath(), "check", "--cluster", redis.Url(), "--run", "c", "--format", "jsonl", list}, "",
        Env());
    ASSERT_TRUE(check.WaitForOutput("submitted", 30000));
    auto worker = StartWorker(redis, "w1", {"--connections", "10"});
    // Each check takes seconds: when the first results come, the next rows
    // have just begun.
    ASSERT_TRUE(check.WaitForOutput("@crawl.test", 30000, false));
    check.Signal(SIGINT);
    const auto r = check.Wait(60000);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    const auto rows = Results(r.out);
    const auto outcomes = Outcomes(rows);
    EXPECT_GT(outcomes.count("-8 unknown aborted"), 0u) << r.out;  // the rows in flight
    EXPECT_LT(rows.size(), 200u);                                  // the rest never began
    EXPECT_NE(redis.Cli({"HGET", "mailvetter:run:c", "state"}).find("cancelled"),
              std::string::npos);
    EXPECT_EQ(StopWorker(*worker).exitCode, 0);
}

}  // namespace
}  // namespace mv::test

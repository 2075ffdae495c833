// Runs on the cluster as users run them: mailvetter-cli workers against the
// fake mail world, submit and collect, a Redis server of the test's own.
#include "cluster_world.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace mv::test {
namespace {

TEST_F(ClusterWorld, ThreeWorkersGiveEachRowOneResultAsALocalCheckDoes) {
    constexpr int kRows = 3000;
    const std::string list =
        MakeList(kRows, {"ok.test", "no.test", "dead.test", "gone.test", "full.test"});
    auto local = Run(Engine({"check", "--connections", "200", "--format", "jsonl", list}));
    ASSERT_EQ(local.exitCode, 0) << local.err;

    RedisServer redis({});
    // Entries no submit makes: outside the run, and without a row. The
    // workers skip them and say so; no row is lost for them.
    Submit(redis, list, {"--run", "big"});
    redis.Cli({"XADD", "mailvetter:run:big:work", "*", "row", "999999", "address", "a@ok.test"});
    redis.Cli({"XADD", "mailvetter:run:big:work", "*", "address", "b@ok.test"});
    std::vector<std::unique_ptr<Subprocess>> workers;
    for (const char* name : {"w1", "w2", "w3"})
        workers.push_back(StartWorker(redis, name, {"--connections", "60"}));
    auto collected =
        Run({CliPath(), "cluster", "collect", "big", "--redis", redis.Url(), "--format", "jsonl"});
    ASSERT_EQ(collected.exitCode, 0) << collected.err;
    EXPECT_NE(collected.err.find("lies outside the run"), std::string::npos) << collected.err;

    const auto rows = Results(collected.out);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));  // one line per row: no duplicates
    EXPECT_EQ(Outcomes(rows), Outcomes(Results(local.out)));

    // Later, and two at once: the same results.
    Subprocess first(
        {CliPath(), "cluster", "collect", "big", "--redis", redis.Url(), "--format", "jsonl"});
    Subprocess second(
        {CliPath(), "cluster", "collect", "big", "--redis", redis.Url(), "--format", "jsonl"});
    const auto a = first.Wait(60000);
    const auto b = second.Wait(60000);
    EXPECT_EQ(Results(a.out), rows);
    EXPECT_EQ(Results(b.out), rows);
    for (auto& w : workers)
        EXPECT_EQ(StopWorker(*w).exitCode, 0);
}

TEST_F(ClusterWorld, ARunOutlivesAKilledWorkerAndARestartedServer) {
    constexpr int kRows = 300;
    const std::string list = MakeList(kRows, {"slow.test"});
    for (bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "Redis restarted" : "a worker killed");
        RedisServer redis({.appendOnly = restart, .password = ""});
        Submit(redis, list, {"--run", "r", "--claim-after", "2"});
        // Killed: the first worker alone until its first result, so that it
        // surely holds rows in flight when it dies.
        std::vector<std::unique_ptr<Subprocess>> workers;
        const auto start = [&](const char* name) {
            workers.push_back(StartWorker(redis, name, {"--connections", "20"}));
        };
        start("w1");
        if (restart) {
            start("w2");
            start("w3");
        }
        Subprocess collect(
            {CliPath(), "cluster", "collect", "r", "--redis", redis.Url(), "--format", "jsonl"});
        ASSERT_TRUE(collect.WaitForOutput("@slow.test", 30000, false));
        if (restart) {
            redis.Restart();
        } else {
            workers[0]->Signal(SIGKILL);
            workers[0]->Wait();
            workers.clear();
            start("w2");
            start("w3");
        }
        const auto collected = collect.Wait(120000);
        ASSERT_EQ(collected.exitCode, 0) << collected.err;
        const auto rows = Results(collected.out);
        EXPECT_EQ(rows.size(), static_cast<size_t>(kRows));
        for (const auto& [row, outcome] : rows)
            EXPECT_EQ(outcome, "0 risky accept-all") << "row " << row;
        std::string said;
        for (auto& w : workers)
            said += StopWorker(*w).err;
        // The killed worker's rows were taken over.
        if (!restart) {
            EXPECT_NE(said.find("took over"), std::string::npos) << said;
        }
    }
}

TEST_F(ClusterWorld, DeferredRowsEndWithTheirRecheckAndNoRecheckIsTakenOver) {
    constexpr int kRows = 40;
    const std::string list = MakeList(kRows, {"grey.test"});
    RedisServer redis({});
    // Rechecks wait longer than claim-after: a waiting recheck that still
    // held its entry would be taken over.
    Submit(
        redis, list,
        {"--run", "g", "--recheck-deferred", "4", "--claim-after", "2", "--no-accept-all-probe"});
    auto w1 = StartWorker(redis, "w1", {});
    auto w2 = StartWorker(redis, "w2", {});
    auto collected =
        Run({CliPath(), "cluster", "collect", "g", "--redis", redis.Url(), "--format", "jsonl"});
    ASSERT_EQ(collected.exitCode, 0) << collected.err;
    const auto rows = Results(collected.out);
    EXPECT_EQ(rows.size(), static_cast<size_t>(kRows));
    for (const auto& [row, outcome] : rows)
        EXPECT_EQ(outcome, "0 deliverable accepted") << "row " << row;
    const std::string said = StopWorker(*w1).err + StopWorker(*w2).err;
    EXPECT_EQ(said.find("took over"), std::string::npos) << said;
    EXPECT_NE(redis.Cli({"HGET", "mailvetter:run:g", "duplicates"}).find('0'), std::string::npos);
}

}  // namespace
}  // namespace mv::test

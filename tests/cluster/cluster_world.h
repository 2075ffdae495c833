// The fixture of the cluster's end-to-end tests: one fake mail world for the
// suite, a settings folder per test, and the programs as a user runs them.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "fake_world.h"
#include "redis_server.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv::test {

class ClusterWorld : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!RedisServer::Available()) return;
        world = new FakeWorld(
            "host mx.ok.test accept\n"
            "host mx.no.test rcpt=550\n"
            "host dead.test refuse\n"
            "host mx.full.test rcpt=452\n"
            "host slow.test delay=100\n"
            "host crawl.test delay=400\n"
            "host grey.test greylist=1000\n"
            "domain ok.test mx 10 mx.ok.test\n"
            "domain no.test mx 10 mx.no.test\n"
            "domain dead.test mx 10 dead.test\n"
            "domain gone.test nxdomain\n"
            "domain full.test mx 10 mx.full.test\n"
            "domain slow.test mx 10 slow.test\n"
            "domain crawl.test mx 10 crawl.test\n"
            "domain grey.test mx 10 grey.test\n");
    }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }
    void SetUp() override {
        if (!RedisServer::Available())
            GTEST_SKIP() << "redis-server is not installed (scripts/install-deps.sh installs it)";
    }

    std::vector<std::string> Env() const { return {"XDG_CONFIG_HOME=" + dir.path().string()}; }
    // A command of this machine's engine, pointed at the world.
    std::vector<std::string> Engine(std::vector<std::string> args) const {
        args.insert(args.begin(), CliPath());
        for (std::string a : std::vector<std::string>{
                 "--dns", world->dnsServer(), "--dns-port", std::to_string(world->dnsPort()),
                 "--smtp-port", std::to_string(world->smtpPort()), "--from", "me@checker.test",
                 "--timeout", "5", "--per-server", "0"})
            args.push_back(std::move(a));
        return args;
    }
    ProcessResult Run(const std::vector<std::string>& argv) const {
        return RunProgram(argv, "", Env(), 120000);
    }
    // u0@D0, u1@D1, ... cycling through `domains`.
    std::string MakeList(int rows, const std::vector<std::string>& domains) const {
        std::string text;
        for (int i = 0; i < rows; ++i)
            text += "u" + std::to_string(i) + "@" + domains[i % domains.size()] + "\n";
        WriteFile(dir / "list.txt", text);
        return (dir / "list.txt").string();
    }
    void Submit(const RedisServer& redis, const std::string& list,
                std::vector<std::string> extra) const {
        std::vector<std::string> argv = {CliPath(), "cluster", "submit",
                                         list,      "--redis", redis.Url()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const auto r = Run(argv);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    std::unique_ptr<Subprocess> StartWorker(const RedisServer& redis, const std::string& name,
                                            const std::vector<std::string>& extra) const {
        auto argv = Engine({"worker", "--redis", redis.Url(), "--name", name});
        argv.insert(argv.end(), extra.begin(), extra.end());
        return std::make_unique<Subprocess>(argv, "", Env());
    }
    static ProcessResult StopWorker(Subprocess& worker) {
        worker.Signal(SIGTERM);
        return worker.Wait(60000);
    }
    // "code verdict reason" by row, from JSON Lines; a row twice fails the test.
    static std::map<size_t, std::string> Results(const std::string& jsonLines) {
        static const std::regex line(
            R"re("row":(\d+),.*"code":(-?\d+),.*"verdict":"([a-z]+)","reason":"([a-z-]*)")re");
        std::map<size_t, std::string> rows;
        for (auto it = std::sregex_iterator(jsonLines.begin(), jsonLines.end(), line);
             it != std::sregex_iterator(); ++it) {
            const auto& m = *it;
            const bool added =
                rows.emplace(std::stoul(m[1]), m.str(2) + " " + m.str(3) + " " + m.str(4)).second;
            if (!added) ADD_FAILURE() << "row " << m[1] << " came twice";
        }
        return rows;
    }
    static std::multiset<std::string> Outcomes(const std::map<size_t, std::string>& rows) {
        std::multiset<std::string> out;
        for (const auto& [row, outcome] : rows)
            out.insert(outcome);
        return out;
    }

    static FakeWorld* world;
    TempDir dir;
};

inline FakeWorld* ClusterWorld::world = nullptr;

}  // namespace mv::test

// The cluster against the fake mail world: checks per second with 1, 2 and 4
// workers, the Redis server's processor time per 1,000 checks, the
// processor time per check against a local check of the same list, and the
// submission of a million rows with the memory it takes in Redis.
//
//   mv_bench_cluster [--rows N] [--workers 1,2,4] [--connections C]
//                    [--submit-rows M] [--cli PATH]
//
// Every program runs as a user runs it (mailvetter-cli check, cluster
// submit, worker, cluster collect), against one Redis server on a Unix
// socket and the fake world in its own process; each worker is limited to
// --connections (default 200). Processor times are those of the child
// processes (user + system); Redis's comes from /proc.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fake_world.h"
#include "redis_server.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

constexpr int kHosts = 16;

struct Options {
    int rows = 20000;
    std::vector<int> workers = {1, 2, 4};
    int connections = 200;
    int submitRows = 1000000;
    std::string cli = test::CliPath();
};

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ChildrenCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A value of INFO ("process_id", "used_memory").
long long Info(const test::RedisServer& redis, const std::string& section, const std::string& key) {
    std::istringstream in(redis.Cli({"INFO", section}));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::atoll(line.c_str() + key.size() + 1);
    return -1;
}

double ProcessCpu(long long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string f;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i)
        if (i == 14 || i == 15) ticks += std::atof(f.c_str());
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string World() {
    std::string w;
    for (int h = 0; h < kHosts; ++h) {
        const std::string n = std::to_string(h);
        w.append("host mx").append(n).append(".bench users=valid\ndomain d").append(n);
        w.append(".bench mx 10 mx").append(n).append(".bench\n");
    }
    return w;
}

// Half valid, half refused, spread over the hosts.
std::string WriteList(const test::TempDir& dir, int rows, const std::string& name) {
    std::string text;
    text.reserve(static_cast<size_t>(rows) * 24);
    for (int i = 0; i < rows; ++i)
        text += (i % 2 == 0 ? "valid" : "u" + std::to_string(i)) + "@d" +
                std::to_string(i % kHosts) + ".bench\n";
    test::WriteFile(dir / name, text);
    return (dir / name).string();
}

std::vector<std::string> Engine(const Options& o, const test::FakeWorld& world,
                                std::vector<std::string> args) {
    args.insert(args.begin(), o.cli);
    for (std::string a : std::vector<std::string>{
             "--dns", world.dnsServer(), "--dns-port", std::to_string(world.dnsPort()),
             "--smtp-port", std::to_string(world.smtpPort()), "--from", "me@checker.test",
             "--per-server", "0", "--connections", std::to_string(o.connections)})
        args.push_back(std::move(a));
    return args;
}

void Fail(const std::string& what, const test::ProcessResult& r) {
    std::fprintf(stderr, "%s failed (%d): %s\n", what.c_str(), r.exitCode, r.err.c_str());
    std::exit(1);
}

void RunWorkers(const Options& o, const test::FakeWorld& world, const std::string& list, int count,
                double localCpuPerCheck, const std::vector<std::string>& env) {
    test::RedisServer redis({.appendOnly = false, .password = ""});
    const long long pid = Info(redis, "server", "process_id");
    auto s = test::RunProgram({o.cli, "cluster", "submit", list, "--redis", redis.Url(), "--run",
                               "b", "--no-accept-all-probe"},
                              "", env, 600000);
    if (s.exitCode != 0) Fail("submit", s);
    const double cpu0 = ChildrenCpu();
    const double redis0 = ProcessCpu(pid);
    const double t0 = Now();
    std::vector<std::unique_ptr<test::Subprocess>> workers;
    workers.reserve(static_cast<size_t>(count));
    for (int w = 0; w < count; ++w)
        workers.push_back(std::make_unique<test::Subprocess>(
            Engine(o, world, {"worker", "--redis", redis.Url(), "--name", "w" + std::to_string(w)}),
            "", env));
    auto c = test::RunProgram(
        {o.cli, "cluster", "collect", "b", "--redis", redis.Url(), "--output", "/dev/null"}, "",
        env, 600000);
    const double wall = Now() - t0;
    if (c.exitCode != 0) Fail("collect", c);
    const double redisCpu = ProcessCpu(pid) - redis0;
    for (auto& w : workers) {
        w->Signal(SIGTERM);
        w->Wait(60000);
    }
    const double cpu = ChildrenCpu() - cpu0;
    std::printf(
        "%d worker(s)   %8.0f checks/s   Redis %6.3f s CPU per 1,000 checks   "
        "workers+collect %7.1f us CPU per check (local %7.1f us, overhead %+7.1f us)\n",
        count, o.rows / wall, redisCpu * 1000.0 / o.rows, cpu * 1e6 / o.rows,
        localCpuPerCheck * 1e6, (cpu / o.rows - localCpuPerCheck) * 1e6);
}

void SubmitMillion(const Options& o, const test::TempDir& dir,
                   const std::vector<std::string>& env) {
    if (o.submitRows <= 0) return;
    const std::string list = WriteList(dir, o.submitRows, "million.txt");
    test::RedisServer redis({.appendOnly = false, .password = ""});
    const long long before = Info(redis, "memory", "used_memory");
    const double t0 = Now();
    auto s = test::RunProgram({o.cli, "cluster", "submit", list, "--redis", redis.Url()}, "", env,
                              600000);
    const double wall = Now() - t0;
    if (s.exitCode != 0) Fail("submit", s);
    const long long after = Info(redis, "memory", "used_memory");
    std::printf(
        "submit of %d rows: %.2f s (reading the list included), Redis memory %+.1f MB "
        "(%.0f bytes per row)\n",
        o.submitRows, wall, (after - before) / 1048576.0,
        static_cast<double>(after - before) / o.submitRows);
}

std::vector<int> Numbers(const std::string& text) {
    std::vector<int> out;
    std::istringstream in(text);
    for (std::string n; std::getline(in, n, ',');)
        out.push_back(std::atoi(n.c_str()));
    return out;
}

}  // namespace
}  // namespace mv

int main(int argc, char** argv) {
    using namespace mv;
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rows")
            o.rows = std::atoi(argv[i + 1]);
        else if (a == "--workers")
            o.workers = Numbers(argv[i + 1]);
        else if (a == "--connections")
            o.connections = std::atoi(argv[i + 1]);
        else if (a == "--submit-rows")
            o.submitRows = std::atoi(argv[i + 1]);
        else if (a == "--cli")
            o.cli = argv[i + 1];
    }
    if (!test::RedisServer::Available()) {
        std::fprintf(stderr, "redis-server is not installed\n");
        return 1;
    }
    test::TempDir dir;
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.path().string()};
    test::FakeWorld world(World());
    const std::string list = WriteList(dir, o.rows, "list.txt");
    const double cpu0 = ChildrenCpu();
    const double t0 = Now();
    auto local = test::RunProgram(
        Engine(o, world, {"check", "--no-accept-all-probe", "--output", "/dev/null", list}), "",
        env, 600000);
    if (local.exitCode != 0) Fail("check", local);
    const double localCpu = (ChildrenCpu() - cpu0) / o.rows;
    std::printf("%d rows, %d connections per checker; local check: %.0f checks/s\n", o.rows,
                o.connections, o.rows / (Now() - t0));
    for (int w : o.workers)
        RunWorkers(o, world, list, w, localCpu, env);
    SubmitMillion(o, dir, env);
    return 0;
}

// Throughput and memory of the checking engine against the fake mail world
// running in its own process.
//
//   mv_bench_engine [--addresses N] [--connections 1,50,200,1000] [--held N]
//                   [--cli PATH] [--loop epoll|qt|qt-per-socket] [--probe-at C]
//                   [--client PATH [--rounds R] [--pin 0|1]]
//
// For each number of connections it checks N addresses (half valid, half
// refused with 550) and prints checks per second, the checker's processor time
// (user + system) per 1,000 checks and per check, and the peak memory of the
// process. These rows run without the accept-all probe, as the plain
// conversation; one more row runs at --probe-at connections (default 200, 0
// skips it) with the probe on, where every valid address costs one more
// RCPT TO (each address has a domain of its own, so no answer is learnt for
// another). Then it holds --held sessions at once against servers that never
// greet, prints the memory per session and checks that every one of them ends
// as a time-out. With --cli it also runs "mailvetter-cli check
// --no-accept-all-probe" over the same addresses at 200 connections and
// compares its processor time with the engine's. With --client (the fake
// world's minimal client, mv-fakeworld-probe) it runs the same number of
// checks at 200 in flight through that client and through the engine, one
// after the other in one child, and compares their processor time per check;
// --rounds repeats that R times (each in a child of its own, the order of the
// two alternating) and prints the median ratio; --pin 1 keeps the engine
// and the client on processor 0 and their fake worlds on processor 1, so
// that where the system happens to place them does not change the figures.
//
// Every measurement runs in a child process inside a network namespace of
// its own (where the system allows it), with a fake world of its own: tens of
// thousands of connections leave the kernel full of TIME_WAIT entries, which
// would slow down the measurements that come after.
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_loops.h"
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "platform/process/resource_limits.h"
#include "platform/resolver/host_resolver.h"
#include "private_network.h"

namespace mv {
namespace {

// The addresses are spread over several mail hosts, each on its own loopback
// address, as a real list is spread over many servers.
constexpr int kHosts = 16;

std::string g_loop = "epoll";  // the backend the engine runs on

std::string BenchWorld() {
    std::string world = "host mute.held silent\ndomain *.held mx 10 mute.held\n";
    for (int h = 0; h < kHosts; ++h) {
        const std::string n = std::to_string(h);
        world.append("host mx").append(n).append(".bench users=valid\n");
        world.append("domain *.b").append(n).append(" mx 10 mx").append(n).append(".bench\n");
    }
    return world;
}

double CpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return CpuSeconds(u);
}

long CurrentRssKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct RunResult {
    int reports = 0;
    std::map<int, int> codes;
    double seconds = 0;
    double cpu = 0;
};

RunResult RunChecks(const test::FakeWorld& world, const TRecipientList& list, int connections,
                    int timeOut, bool probe = false,
                    const std::function<void()>& whileRunning = nullptr) {
    const std::unique_ptr<MessageLoop> owned = bench::MakeBenchLoop(g_loop);
    MessageLoop& loop = *owned;
    TSmtpRelayServer d(loop);
    d.SetDns(world.dnsServer());
    d.SetDnsPort(std::to_string(world.dnsPort()));
    d.SetSmtpPort(std::to_string(world.smtpPort()));
    d.SetFrom("bench@checker.test");
    d.SetSignon("checker.test");
    d.SetTimeOut(timeOut);
    d.SetConnections(connections);
    d.SetAcceptAllProbe(probe);
    d.SetRecipients(list);
    RunResult r;
    d.OnEMailProcessed = [&](TSmtpRelayServer*, int, int err, const std::vector<std::string>&,
                             const TResultInfo&) {
        ++r.reports;
        ++r.codes[err];
    };
    d.OnFinished = [&](TSmtpRelayServer*, bool) { loop.Quit(); };
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    d.Verify();
    MessageLoop::TimerId sampler = 0;
    if (whileRunning) sampler = loop.StartTimer(500, whileRunning);
    loop.Run();
    if (sampler != 0) loop.StopTimer(sampler);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.cpu = CpuSeconds() - cpu0;
    return r;
}

// Runs `measure` in a child process with a private network and a fake world
// of its own and returns the child's lines of output.
std::string IsolatedText(const std::function<std::string(const test::FakeWorld&)>& measure) {
    int out[2];
    if (pipe(out) != 0) return "(no pipe for the child)\n";
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        std::string why;
        std::string text;
        if (!test::EnterPrivateNetwork(&why)) text = "(shared network: " + why + ")\n";
        {
            test::FakeWorld world(BenchWorld());
            network_layer::SetLookupServers(world.dnsServer() + ":" +
                                            std::to_string(world.dnsPort()));
            text += measure(world);
        }
        [[maybe_unused]] ssize_t n = write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return text;
}

// The same, with the child's lines printed as they are.
void Isolated(const std::function<std::string(const test::FakeWorld&)>& measure) {
    std::fputs(IsolatedText(measure).c_str(), stdout);
    std::fflush(stdout);
}

TRecipientList BenchAddresses(int count) {
    TRecipientList list;
    for (int i = 0; i < count; ++i) {
        const std::string user = i % 2 == 0 ? "valid" : "nobody";
        list.push_back({user + "@d" + std::to_string(i) + ".b" + std::to_string(i % kHosts), i});
    }
    return list;
}

std::string Format(const char* format, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

std::string MeasureConnections(const test::FakeWorld& world, const TRecipientList& list, int c,
                               bool probe) {
    const RunResult r = RunChecks(world, list, c, 30, probe);
    const int n = static_cast<int>(list.size());
    const bool right = r.reports == n && r.codes.count(0) && r.codes.at(0) == (n + 1) / 2 &&
                       r.codes.count(550) && r.codes.at(550) == n / 2;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::string codes;
    for (const auto& [code, count] : r.codes)
        codes += Format(" %d:%d", code, count);
    return Format("%12s %12.0f %16.3f %14.1f %14.1f%s\n",
                  (std::to_string(c) + (probe ? " +probe" : "")).c_str(), r.reports / r.seconds,
                  r.cpu * 1000.0 / r.reports, r.cpu * 1e6 / r.reports, u.ru_maxrss / 1024.0,
                  right ? "" : ("  (unexpected results, code:count" + codes + ")").c_str());
}

// Runs mailvetter-cli check over the addresses (on standard input); returns
// its processor time and wall time in seconds.
std::pair<double, double> RunCli(const std::string& cli, const test::FakeWorld& world,
                                 const TRecipientList& list) {
    int in[2];
    if (pipe(in) != 0) return {0, 0};
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        close(in[1]);
        if (freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
        if (freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
        const std::string dnsPort = std::to_string(world.dnsPort());
        const std::string smtpPort = std::to_string(world.smtpPort());
        execl(cli.c_str(), cli.c_str(), "check", "--from", "bench@checker.test", "--dns",
              world.dnsServer().c_str(), "--dns-port", dnsPort.c_str(), "--smtp-port",
              smtpPort.c_str(), "--connections", "200", "--timeout", "30", "--no-accept-all-probe",
              "--per-server", "0", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    std::string text;
    for (const TRecipientEntry& e : list)
        text += e.Text + "\n";
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(in[1], text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(in[1]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return {CpuSeconds(usage), wall};
}

std::string MeasureCli(const test::FakeWorld& world, const TRecipientList& list,
                       const std::string& cli) {
    const RunResult engine = RunChecks(world, list, 200, 30);
    const auto [cliCpu, cliWall] = RunCli(cli, world, list);
    const double n = static_cast<double>(list.size());
    return Format(
        "\nmailvetter-cli check at 200 connections: %.0f checks/s, %.1f us CPU/check; "
        "the engine alone: %.1f us CPU/check (the program adds %.1f %%)\n",
        n / cliWall, cliCpu * 1e6 / n, engine.cpu * 1e6 / n, (cliCpu / engine.cpu - 1.0) * 100.0);
}

// Keeps process `pid` (0: this one) on processor `cpu`.
void PinTo(pid_t pid, int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    if (sched_setaffinity(pid, sizeof set, &set) != 0) std::perror("sched_setaffinity");
}

// The minimal client's processor time for `checks` checks at `parallel` in
// flight (it starts a fake world of its own); 0 when it failed.
double RunClient(const std::string& client, long checks, int parallel, bool pin) {
    const std::string command = client + " --fakeworld " + test::FakeWorld::DefaultTool().string() +
                                " --checks " + std::to_string(checks) + " --parallel " +
                                std::to_string(parallel) + (pin ? " --pin 1" : "") + " 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr) return 0;
    char line[512];
    double cpu = 0;
    while (std::fgets(line, sizeof line, out) != nullptr) {
        if (const char* at = std::strstr(line, "probe-cpu=")) cpu = std::atof(at + 10);
    }
    pclose(out);
    return cpu;
}

// One round of the comparison: the engine and the minimal client over the
// same number of checks, in the order `clientFirst` says (the second run
// meets the first one's TIME_WAIT entries, so rounds alternate the order).
// Prints "engine=US client=US", or nothing when the client did not run.
std::string MeasureAgainstClient(const test::FakeWorld& world, const TRecipientList& list,
                                 const std::string& client, bool clientFirst, bool pin) {
    const double n = static_cast<double>(list.size());
    const auto checks = static_cast<long>(list.size());
    if (pin) {
        PinTo(0, 0);
        PinTo(world.pid(), 1);
    }
    double clientCpu = clientFirst ? RunClient(client, checks, 200, pin) : 0;
    const RunResult engine = RunChecks(world, list, 200, 30);
    if (!clientFirst) clientCpu = RunClient(client, checks, 200, pin);
    if (clientCpu <= 0) return {};
    return Format("engine=%.2f client=%.2f", engine.cpu * 1e6 / n, clientCpu * 1e6 / n);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Runs `rounds` rounds, each in a fresh namespace, and prints every round's
// figures and the median ratio: on a shared machine one round can be off by
// a fifth either way.
void CompareWithClient(const TRecipientList& list, const std::string& client, int rounds,
                       bool pin) {
    std::printf("\nCPU per check at 200 in flight, the engine against the minimal client%s:\n",
                pin ? " (each on processor 0, its fake world on processor 1)" : "");
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const std::string text = IsolatedText([&](const test::FakeWorld& w) {
            return MeasureAgainstClient(w, list, client, round % 2 == 0, pin);
        });
        double engine = 0;
        double minimal = 0;
        if (std::sscanf(text.c_str(), "engine=%lf client=%lf", &engine, &minimal) != 2 ||
            minimal <= 0) {
            std::printf("  round %d: the minimal client did not run\n", round + 1);
            continue;
        }
        ratios.push_back(engine / minimal);
        std::printf("  round %d: the engine %.1f us, the minimal client %.1f us: %.2f x\n",
                    round + 1, engine, minimal, engine / minimal);
        std::fflush(stdout);
    }
    if (!ratios.empty())
        std::printf("  median of %zu rounds: %.2f x\n", ratios.size(), Median(ratios));
}

std::string MeasureHeld(const test::FakeWorld& world, int held) {
    TRecipientList mute;
    for (int i = 0; i < held; ++i)
        mute.push_back({"x@h" + std::to_string(i) + ".held", i});
    const long before = CurrentRssKiB();
    long during = before;
    RunResult r =
        RunChecks(world, mute, held, 3, false, [&] { during = std::max(during, CurrentRssKiB()); });
    return Format("\nheld load: %d sessions against servers that never greet\n", held) +
           Format("  memory per session: %.1f KiB (resident %ld KiB before, %ld KiB at peak)\n",
                  static_cast<double>(during - before) / held, before, during) +
           Format("  ended as time-out (-2): %d of %d\n", r.codes[ResultTimeOut], held);
}

std::vector<int> ParseList(const char* text) {
    std::vector<int> out;
    std::stringstream s(text);
    std::string item;
    while (std::getline(s, item, ','))
        out.push_back(std::atoi(item.c_str()));
    return out;
}

int Main(int argc, char** argv) {
    int addresses = 20000;
    int held = 5000;
    int probeAt = 200;
    int rounds = 1;
    bool pin = false;
    std::string cli;
    std::string client;
    std::vector<int> connections = {1, 50, 200, 1000};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--addresses")) addresses = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--held")) held = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--connections")) connections = ParseList(argv[i + 1]);
        if (!std::strcmp(argv[i], "--cli")) cli = argv[i + 1];
        if (!std::strcmp(argv[i], "--client")) client = argv[i + 1];
        if (!std::strcmp(argv[i], "--loop")) g_loop = argv[i + 1];
        if (!std::strcmp(argv[i], "--probe-at")) probeAt = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--pin")) pin = std::atoi(argv[i + 1]) != 0;
    }
    if (!bench::HasBenchLoop(g_loop)) {
        std::fprintf(stderr, "unknown loop \"%s\" (this build has: %s)\n", g_loop.c_str(),
                     bench::BenchLoopNames());
        return 2;
    }
    std::printf("open-file limit raised to %ld\n", RaiseOpenFileLimit());
    const TRecipientList list = BenchAddresses(addresses);
    std::printf("\n%d addresses, half valid, half refused (550), over %d hosts, on the %s loop\n",
                addresses, kHosts, g_loop.c_str());
    std::printf("%12s %12s %16s %14s %14s\n", "connections", "checks/s", "CPU s/1000 chk",
                "CPU us/check", "peak RSS MB");
    std::fflush(stdout);
    for (int c : connections)
        Isolated([&](const test::FakeWorld& w) { return MeasureConnections(w, list, c, false); });
    if (probeAt > 0)
        Isolated(
            [&](const test::FakeWorld& w) { return MeasureConnections(w, list, probeAt, true); });
    if (!cli.empty()) Isolated([&](const test::FakeWorld& w) { return MeasureCli(w, list, cli); });
    if (!client.empty()) CompareWithClient(list, client, rounds, pin);
    if (held > 0) Isolated([&](const test::FakeWorld& w) { return MeasureHeld(w, held); });
    return 0;
}

}  // namespace
}  // namespace mv

int main(int argc, char** argv) {
    return mv::Main(argc, argv);
}

// Throughput and memory of the checking engine against the fake mail world
// running in its own process.
//
//   mv_bench_engine [--addresses N] [--connections 1,50,200,1000] [--held N]
//
// For each number of connections it checks N addresses (half valid, half
// refused with 550) and prints checks per second, the checker's processor time
// (user + system) per 1,000 checks and per check, and the peak memory of the
// process. Then it holds --held sessions at once against servers that never
// greet, prints the memory per session and checks that every one of them ends
// as a time-out.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "platform/epoll_loop.h"
#include "platform/host_resolver.h"
#include "platform/resource_limits.h"

namespace mv {
namespace {

const char* const kWorld = R"(
host mx.bench     users=valid
host mute.held    silent
domain *.bench    mx 10 mx.bench
domain *.held     mx 10 mute.held
)";

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
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
                    int timeOut, const std::function<void()>& whileRunning = nullptr) {
    EpollLoop loop;
    TSmtpRelayServer d(loop);
    d.SetDns(world.dnsServer());
    d.SetDnsPort(std::to_string(world.dnsPort()));
    d.SetSmtpPort(std::to_string(world.smtpPort()));
    d.SetFrom("bench@checker.test");
    d.SetSignon("checker.test");
    d.SetTimeOut(timeOut);
    d.SetConnections(connections);
    d.SetRecipients(list);
    RunResult r;
    bool finished = false;
    d.OnEMailProcessed = [&](TSmtpRelayServer*, int, int err, const std::vector<std::string>&) {
        ++r.reports;
        ++r.codes[err];
    };
    d.OnFinished = [&](TSmtpRelayServer*, bool) {
        finished = true;
        loop.Quit();
    };
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    d.Verify();
    if (whileRunning) {
        const auto probe = loop.StartTimer(500, whileRunning);
        loop.Run();
        loop.StopTimer(probe);
    } else {
        loop.Run();
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.cpu = CpuSeconds() - cpu0;
    (void)finished;
    return r;
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
    std::vector<int> connections = {1, 50, 200, 1000};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--addresses")) addresses = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--held")) held = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--connections")) connections = ParseList(argv[i + 1]);
    }
    std::printf("open-file limit raised to %ld\n", RaiseOpenFileLimit());
    test::FakeWorld world(kWorld);
    network_layer::SetLookupServers(world.dnsServer() + ":" + std::to_string(world.dnsPort()));

    TRecipientList list;
    for (int i = 0; i < addresses; ++i) {
        const std::string user = i % 2 == 0 ? "valid" : "nobody";
        list.push_back({user + "@d" + std::to_string(i) + ".bench", i});
    }
    std::printf("\n%d addresses, half valid, half refused (550)\n", addresses);
    std::printf("%12s %12s %16s %14s %14s\n", "connections", "checks/s", "CPU s/1000 chk",
                "CPU us/check", "peak RSS MB");
    for (int c : connections) {
        RunResult r = RunChecks(world, list, c, 30);
        const bool right = r.reports == addresses && r.codes[0] == (addresses + 1) / 2 &&
                           r.codes[550] == addresses / 2;
        std::printf("%12d %12.0f %16.3f %14.1f %14.1f%s\n", c, r.reports / r.seconds,
                    r.cpu * 1000.0 / r.reports, r.cpu * 1e6 / r.reports, PeakRssKiB() / 1024.0,
                    right ? "" : "  (unexpected results!)");
    }

    if (held > 0) {
        TRecipientList mute;
        for (int i = 0; i < held; ++i)
            mute.push_back({"x@h" + std::to_string(i) + ".held", i});
        const long before = CurrentRssKiB();
        long during = before;
        RunResult r =
            RunChecks(world, mute, held, 3, [&] { during = std::max(during, CurrentRssKiB()); });
        std::printf("\nheld load: %d sessions against servers that never greet\n", held);
        std::printf("  memory per session: %.1f KiB (resident %ld KiB before, %ld KiB at peak)\n",
                    static_cast<double>(during - before) / held, before, during);
        std::printf("  ended as time-out (-2): %d of %d; other results: %zu kinds\n",
                    r.codes[ResultTimeOut], held, r.codes.size() - (r.codes.count(-2) ? 1 : 0));
    }
    world.Stop();
    std::printf("\nfake world:\n%s", world.statistics().c_str());
    return 0;
}

}  // namespace
}  // namespace mv

int main(int argc, char** argv) {
    return mv::Main(argc, argv);
}

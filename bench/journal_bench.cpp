// What the run journal costs, and what it saves.
//
//   mv_bench_journal [--addresses N] [--rounds R] [--crashes K]
//
// 1. The processor time of a check run (CheckRun over a recipient list, as
//    the window and check --save drive it) against the fake mail world, with
//    the journal written and without, R rounds of each taken in turn (default
//    N = 20,000 addresses, half valid, half refused with 550, at 200
//    connections; R = 3). Each round runs in a child process with a private
//    network and a fake world of its own. It prints the CPU per check of each
//    round, the medians, and the journal's share of a run's processor time.
// 2. K (default 50) runs of "mailvetter-cli check --save" killed with SIGKILL
//    after a number of results from a fixed seed, each resumed with
//    "check --resume --save" and judged: every result in the journal is in
//    the recovered project, none is asked again, none is damaged.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_world.h"
#include "fake_world.h"
#include "journal_crash.h"
#include "platform/loop/epoll_loop.h"
#include "platform/process/resource_limits.h"
#include "platform/resolver/host_resolver.h"
#include "private_network.h"
#include "project/journal/journal_writer.h"
#include "project/run/check_run.h"
#include "test_support.h"

namespace mv {
namespace {

using bench::BenchAddress;
using bench::BenchWorld;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One run of `addresses` checks; its CPU microseconds per check, or a
// negative number when the results were not as expected.
double MeasureRun(int addresses, bool journal) {
    test::FakeWorld world(BenchWorld());
    network_layer::SetLookupServers(world.dnsServer() + ":" + std::to_string(world.dnsPort()));
    RecipientList list;
    for (int i = 0; i < addresses; ++i)
        list.AppendRow(BenchAddress(i), {}, kIconNotChecked, kMarkChecked);
    EpollLoop loop;
    TSmtpRelayServer dispatcher(loop);
    dispatcher.SetDnsPort(std::to_string(world.dnsPort()));
    dispatcher.SetSmtpPort(std::to_string(world.smtpPort()));
    CheckRun run(list, dispatcher);
    test::TempDir dir;
    JournalWriter writer(loop, dir / "bench.mlt.journal");
    if (journal) run.SetJournal(&writer);
    run.OnRunningChanged = [&](bool running) {
        if (!running) loop.Quit();
    };
    CheckSettings settings;
    settings.from = "bench@checker.test";
    settings.dnsPrimary = world.dnsServer();
    settings.connections = 200;
    settings.perServer = 0;
    settings.acceptAllProbe = false;
    const double cpu0 = CpuSeconds();
    run.Start(settings);
    loop.Run();
    const double cpu = CpuSeconds() - cpu0;
    const bool right = run.Good() == (addresses + 1) / 2 && run.Bad() == addresses / 2 &&
                       (!journal || writer.LinesWritten() == static_cast<size_t>(addresses));
    return right ? cpu * 1e6 / addresses : -1;
}

// MeasureRun in a child process with a network of its own.
double Isolated(int addresses, bool journal) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        test::EnterPrivateNetwork();
        const double us = MeasureRun(addresses, journal);
        [[maybe_unused]] const ssize_t n = write(out[1], &us, sizeof us);
        _exit(0);
    }
    close(out[1]);
    double us = -1;
    if (read(out[0], &us, sizeof us) != sizeof us) us = -1;
    close(out[0]);
    waitpid(child, nullptr, 0);
    return us;
}

// The journal alone: CPU microseconds per result appended (the line formatted
// and written, the flushes included), over the rows of a checked list.
double MeasureAppends(int results) {
    RecipientList list;
    for (int i = 0; i < results; ++i) {
        const std::string result =
            i % 2 == 0 ? "[0] Valid E-mail Address!" : "[550] Mailbox unavailable";
        const std::string_view texts[] = {result};
        const size_t row = list.AppendRow("nobody@d" + std::to_string(i) + ".b3", texts,
                                          kIconFailed, kMarkChecked);
        ResultFinding finding;
        finding.verdict = Verdict::kUndeliverable;
        finding.reason = Reason::kMailboxUnknown;
        finding.enhanced = "5.1.1";
        finding.host = "mx3.bench";
        finding.hostsTried = {"mx3.bench"};
        finding.reply = "550 5.1.1 Mailbox unavailable";
        list.SetFinding(row, finding);
    }
    EpollLoop loop;
    test::TempDir dir;
    JournalWriter writer(loop, dir / "bench.mlt.journal");
    const double cpu0 = CpuSeconds();
    for (int i = 0; i < results; ++i) {
        writer.Append(list, static_cast<size_t>(i));
        if (i % 1000 == 999) writer.Sync();  // a flush per second at 1,000 results a second
    }
    writer.Sync();
    return (CpuSeconds() - cpu0) * 1e6 / results;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void MeasureCost(int addresses, int rounds) {
    std::printf("%d addresses, half valid, half refused (550), 200 connections, over %d hosts\n",
                addresses, bench::kBenchHosts);
    std::printf("%8s %18s %18s\n", "round", "no journal us/chk", "journal us/chk");
    std::vector<double> off;
    std::vector<double> on;
    for (int r = 0; r < rounds; ++r) {
        off.push_back(Isolated(addresses, false));
        on.push_back(Isolated(addresses, true));
        std::printf("%8d %18.1f %18.1f\n", r + 1, off.back(), on.back());
        std::fflush(stdout);
    }
    const double a = Median(off);
    const double b = Median(on);
    std::printf("median %17.1f %18.1f   the journal's share of the run's CPU: %.1f %%\n", a, b,
                (b - a) / b * 100.0);
    const double append = MeasureAppends(addresses);
    std::printf("the journal alone: %.2f us CPU per result, %.1f %% of a check without it\n\n",
                append, append / a * 100.0);
}

void MeasureCrashes(int crashes) {
    test::FakeWorld world(test::kSlowWorld);
    std::mt19937 moments(27);
    int kept = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < crashes; ++i) {
        test::TempDir dir;
        const size_t killAfter = moments() % 50;
        const std::string failure = test::CrashAndResume(world, dir.path(), 60, killAfter);
        if (failure.empty())
            ++kept;
        else
            std::printf("crash %d (killed after %zu results): %s", i + 1, killAfter,
                        failure.c_str());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf(
        "%d of %d killed runs recovered with every journaled result and none asked "
        "again (%.1f s)\n",
        kept, crashes, seconds);
}

int Main(int argc, char** argv) {
    int addresses = 20000;
    int rounds = 3;
    int crashes = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--addresses")) addresses = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--crashes")) crashes = std::atoi(argv[i + 1]);
    }
    RaiseOpenFileLimit();
    if (rounds > 0) MeasureCost(addresses, rounds);
    if (crashes > 0) MeasureCrashes(crashes);
    return 0;
}

}  // namespace
}  // namespace mv

int main(int argc, char** argv) {
    return mv::Main(argc, argv);
}

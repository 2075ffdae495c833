// A check run in the window (offscreen) against the fake mail world running
// in its own process, and mailvetter-cli check over the same list:
//  - the longest time the window's event loop went without handling events
//    during the run (a 2-ms timer that records the gaps between its ticks),
//    and the most processor time the window's thread spent inside one such
//    gap: on a loaded machine a gap is mostly time the thread was not given
//    the processor at all (MV_BENCH_GAPS=1 lists every gap over 30 ms),
//  - checks per second of the window and of mailvetter-cli, and their ratio,
//  - the window's memory and processor time.
//
//   mv_bench_window_run [--rows N] [--connections N] [--timeout S] [--cli PATH]
//
// A DNS datagram lost in a burst of a thousand queries costs its check a
// whole time-out (there is no retry), so the time-out is short (5 s) and the
// checks that ended as a time-out are counted: compare runs without them.
// Each program runs in a child process with a network namespace and a fake
// world of its own (where the system allows it): a run leaves the kernel full
// of TIME_WAIT entries that would slow down the next one.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "../bench_world.h"
#include "common/application.h"
#include "fake_world.h"
#include "main_window/main_form.h"
#include "platform/process/resource_limits.h"
#include "private_network.h"
#include "project/stream/project_stream.h"
#include "settings/tini.h"
#include "test_support.h"
#include "ui_test_support.h"

namespace {

using mv::bench::BenchAddress;
using mv::bench::BenchWorld;

// Half valid, half refused (550), spread over the hosts.
void WriteList(const std::filesystem::path& file, int rows) {
    mv::RecipientList list;
    list.BeginUpdate();
    for (int i = 0; i < rows; ++i) {
        const std::string caption = BenchAddress(i);
        const std::string_view subItems[] = {""};
        list.AppendRow(caption, subItems, mv::kIconNotChecked, mv::kMarkChecked);
    }
    list.EndUpdate();
    mv::SaveProjectFile(list, file);
}

double CpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

qint64 ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

struct Options {
    int rows = 100000;
    int connections = 1000;
    int timeOut = 5;
    std::string cli;
};

// Runs `measure` in a child with a private network and a fake world of its
// own; prints what it returns.
void Isolated(const std::function<std::string(const mv::test::FakeWorld&)>& measure) {
    int out[2];
    if (pipe(out) != 0) return;
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        std::string why;
        std::string text;
        if (!mv::test::EnterPrivateNetwork(&why)) text = "(shared network: " + why + ")\n";
        {
            mv::test::FakeWorld world(BenchWorld());
            text += measure(world);
        }
        [[maybe_unused]] ssize_t n = write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        std::fwrite(buf, 1, n, stdout);
    close(out[0]);
    waitpid(child, nullptr, 0);
    std::fflush(stdout);
}

std::string Format(const char* format, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

std::string MeasureWindow(const mv::test::FakeWorld& world, const Options& o, int argc,
                          char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    mv::ui::Application app(argc, argv);
    mv::test::TempDir dir;
    WriteList(dir / "list.mlt", o.rows);
    mv::test::WindowLoop loop;
    mv::ui::CheckOverrides overrides;
    overrides.dns = world.dnsServer();
    overrides.dnsPort = world.dnsPort();
    overrides.smtpPort = world.smtpPort();
    mv::TINI ini(dir / "config");
    ini.ilFrom.SetText("bench@checker.test");
    ini.ilConnections.SetAsInteger(o.connections);
    ini.ilTimeOut.SetAsInteger(o.timeOut);
    ini.ilPerServer.SetAsInteger(0);  // figures comparable with those before the limit
    mv::ui::TProject project(loop.loop(), overrides);
    mv::ui::TMainForm form(ini, project);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fputs("the window was not shown\n", stderr);
    form.OpenProject(QString::fromStdString((dir / "list.mlt").string()));

    // The event loop's pulse: the longest gap between two ticks of a 2-ms timer.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    qint64 lastCpu = 0;
    qint64 longestBusyGap = 0;  // the processor time of the thread inside one gap
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - last);
        const qint64 cpu = ThreadCpuNs();
        if (now - last > 30000000 && std::getenv("MV_BENCH_GAPS"))
            std::fprintf(stderr, "gap %.1f ms (%.1f ms on the processor) at %.3f s\n",
                         (now - last) / 1e6, (cpu - lastCpu) / 1e6, last / 1e9);
        longestBusyGap = std::max(longestBusyGap, cpu - lastCpu);
        lastCpu = cpu;
        last = now;
    });
    QEventLoop waiting;
    QTimer finished;
    QObject::connect(&finished, &QTimer::timeout, [&] {
        if (!form.Running()) waiting.quit();
    });

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    clock.start();
    lastCpu = ThreadCpuNs();
    pulse.start(2);
    const qint64 startNs = clock.nsecsElapsed();
    form.findChild<QAction*>("acStart")->trigger();
    const double startMs = static_cast<double>(clock.nsecsElapsed() - startNs) / 1e6;
    finished.start(20);
    waiting.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    pulse.stop();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    form.SetModified(false);

    size_t valid = 0;
    size_t timeOuts = 0;
    for (size_t row = 0; row < form.List().RowCount(); ++row) {
        valid += form.List().ImageIndex(row) == mv::kIconValid ? 1 : 0;
        timeOuts += form.List().SubItem(row, 0).starts_with("[-2]") ? 1 : 0;
    }
    return Format(
        "window: %d rows at %d connections in %.1f s: %.0f checks/s (%zu valid, "
        "%zu time-outs); longest event-loop stall %.1f ms (the most processor time "
        "inside one: %.1f ms); CPU %.1f us/check; "
        "peak RSS %.1f MB; \"&Check\" itself took %.1f ms\n",
        o.rows, o.connections, seconds, o.rows / seconds, valid, timeOuts,
        static_cast<double>(longestGap) / 1e6 - 2.0, static_cast<double>(longestBusyGap) / 1e6,
        (CpuSeconds(after) - CpuSeconds(before)) * 1e6 / o.rows,
        static_cast<double>(after.ru_maxrss) / 1024.0, startMs);
}

std::string MeasureCli(const mv::test::FakeWorld& world, const Options& o) {
    mv::test::TempDir dir;
    WriteList(dir / "list.mlt", o.rows);
    const std::string list = (dir / "list.mlt").string();
    const std::string config = (dir / "config").string();
    const std::string output = (dir / "out.csv").string();
    const std::string connections = std::to_string(o.connections);
    const std::string timeOut = std::to_string(o.timeOut);
    const std::string dnsPort = std::to_string(world.dnsPort());
    const std::string smtpPort = std::to_string(world.smtpPort());
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        if (freopen(output.c_str(), "w", stdout) == nullptr) _exit(127);
        if (freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
        execl(o.cli.c_str(), o.cli.c_str(), "check", "--from", "bench@checker.test", "--dns",
              world.dnsServer().c_str(), "--dns-port", dnsPort.c_str(), "--smtp-port",
              smtpPort.c_str(), "--connections", connections.c_str(), "--timeout", timeOut.c_str(),
              "--per-server", "0", list.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::ifstream results(output);
    size_t valid = 0;
    size_t timeOuts = 0;
    for (std::string line; std::getline(results, line);) {
        // ...,valid,verdict,reason: the verdict columns follow "valid".
        valid += line.find(",true,") != std::string::npos ? 1 : 0;
        timeOuts += line.find(",-2,") != std::string::npos ? 1 : 0;
    }
    return Format(
        "mailvetter-cli: %d rows at %d connections in %.1f s: %.0f checks/s "
        "(%zu valid, %zu time-outs, exit %d); CPU %.1f us/check\n",
        o.rows, o.connections, seconds, o.rows / seconds, valid, timeOuts, WEXITSTATUS(status),
        CpuSeconds(usage) * 1e6 / o.rows);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rows")) o.rows = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--connections")) o.connections = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--timeout")) o.timeOut = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--cli")) o.cli = argv[i + 1];
    }
    std::printf("open-file limit raised to %ld\n", mv::RaiseOpenFileLimit());
    std::fflush(stdout);
    Isolated([&](const mv::test::FakeWorld& w) { return MeasureWindow(w, o, argc, argv); });
    if (!o.cli.empty()) Isolated([&](const mv::test::FakeWorld& w) { return MeasureCli(w, o); });
    return 0;
}

// The message loop backends side by side: descriptor ping-pong over many
// socket pairs (one busy among many idle watches, and all busy), chains of
// posted callbacks and many short timers.
//
//   mv_bench_loop [--pairs N] [--messages N] [--posts N] [--loops a,b,...]
//
// Every descriptor handler does what the socket layer does with each event:
// it reads a byte, then asks for writability, writes the byte back when it
// comes and asks for readability again, so every message also changes the
// interest twice. Each backend runs in a child process of its own; the
// figures are wall time and the process's processor time per event.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_loops.h"
#include "platform/process/resource_limits.h"

namespace mv {
namespace {

struct Figures {
    double wall = 0;
    double cpu = 0;
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Figures Measure(const std::function<void()>& run) {
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    run();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
            CpuSeconds() - cpu0};
}

// `pairs` socket pairs, both ends watched; a byte goes back and forth in the
// first `busy` of them until `messages` bytes have been read in all.
Figures PingPong(MessageLoop& loop, int pairs, int busy, long messages) {
    std::vector<int> fds(2 * static_cast<size_t>(pairs), -1);
    std::vector<MessageLoop::WatchId> ids(fds.size(), 0);
    long read = 0;
    for (int p = 0; p < pairs; ++p)
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, &fds[2 * static_cast<size_t>(p)]);
    for (size_t e = 0; e < fds.size(); ++e) {
        ids[e] = loop.WatchFd(fds[e], kFdReadable, [&, e](unsigned ready) {
            char byte = 0;
            if (ready & kFdReadable) {
                if (::read(fds[e], &byte, 1) != 1) return;
                if (++read >= messages) loop.Quit();
                loop.SetFdInterest(ids[e], kFdWritable);
            } else if (ready & kFdWritable) {
                [[maybe_unused]] ssize_t n = ::write(fds[e], "x", 1);
                loop.SetFdInterest(ids[e], kFdReadable);
            }
        });
    }
    const Figures f = Measure([&] {
        for (int p = 0; p < busy; ++p)
            [[maybe_unused]] ssize_t n = ::write(fds[2 * static_cast<size_t>(p)], "x", 1);
        loop.Run();
    });
    for (size_t e = 0; e < fds.size(); ++e) {
        loop.UnwatchFd(ids[e], true);
        close(fds[e]);
    }
    return f;
}

Figures PostedChain(MessageLoop& loop, long posts) {
    long left = posts;
    std::function<void()> step = [&] {
        if (--left > 0)
            loop.Post(step);
        else
            loop.Quit();
    };
    return Measure([&] {
        loop.Post(step);
        loop.Run();
    });
}

// `count` repeating 1 ms timers for one second; returns the ticks.
long Timers(MessageLoop& loop, int count, Figures* f) {
    long ticks = 0;
    std::vector<MessageLoop::TimerId> ids;
    ids.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        ids.push_back(loop.StartTimer(1, [&] { ++ticks; }));
    const auto end = loop.StartTimer(1000, [&] { loop.Quit(); });
    *f = Measure([&] { loop.Run(); });
    for (auto id : ids)
        loop.StopTimer(id);
    loop.StopTimer(end);
    return ticks;
}

std::string Line(const char* backend, const char* what, long events, const Figures& f) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%-14s %-38s %9ld %8.3f %12.0f %10.2f\n", backend, what, events,
                  f.wall, events / f.wall, f.cpu * 1e6 / events);
    return buf;
}

std::string RunBackend(const std::string& name, int pairs, long messages, long posts) {
    std::unique_ptr<MessageLoop> loop = bench::MakeBenchLoop(name);
    if (!loop) return name + ": not in this build\n";
    const char* n = name.c_str();
    const std::string many = std::to_string(pairs);
    std::string out;
    out += Line(n, ("ping-pong, 1 busy of " + many + " pairs").c_str(), messages / 10,
                PingPong(*loop, pairs, 1, messages / 10));
    out += Line(n, ("ping-pong, all " + many + " pairs busy").c_str(), messages,
                PingPong(*loop, pairs, pairs, messages));
    out += Line(n, "posted callbacks, each posts the next", posts, PostedChain(*loop, posts));
    Figures f;
    const long ticks = Timers(*loop, 100, &f);
    out += Line(n, "100 timers of 1 ms for 1 s (ticks)", ticks, f);
    return out;
}

// Runs `text()` in a child process and prints what it returns.
void InChild(const std::function<std::string()>& text) {
    int out[2];
    if (pipe(out) != 0) return;
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        const std::string s = text();
        [[maybe_unused]] ssize_t n = write(out[1], s.data(), s.size());
        _exit(0);
    }
    close(out[1]);
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        std::fwrite(buf, 1, static_cast<size_t>(n), stdout);
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::fflush(stdout);
}

int Main(int argc, char** argv) {
    int pairs = 1000;
    long messages = 1000000;
    long posts = 1000000;
    std::string loops = "epoll,qt,qt-per-socket";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--pairs")) pairs = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--messages")) messages = std::atol(argv[i + 1]);
        if (!std::strcmp(argv[i], "--posts")) posts = std::atol(argv[i + 1]);
        if (!std::strcmp(argv[i], "--loops")) loops = argv[i + 1];
    }
    RaiseOpenFileLimit();
    std::printf("backends this build has: %s\n\n", bench::BenchLoopNames());
    std::printf("%-14s %-38s %9s %8s %12s %10s\n", "backend", "work", "events", "wall s",
                "events/s", "CPU us/ev");
    std::stringstream list(loops);
    for (std::string name; std::getline(list, name, ',');)
        InChild([&] { return RunBackend(name, pairs, messages, posts); });
    return 0;
}

}  // namespace
}  // namespace mv

int main(int argc, char** argv) {
    return mv::Main(argc, argv);
}

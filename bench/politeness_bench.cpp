// The politeness per mail server against the fake mail world: what a limit of
// connections per server costs, and what the sessions waiting for one busy
// server cost the other domains of a list.
//
//   mv_bench_politeness [--addresses N] [--per-server L] [--delay MS] [--connections C]
//
// Defaults: 10,000 addresses, a limit of 5, 50 ms before every reply of every
// server, 200 connections (the stored default). It measures, each with a
// fake world of its own:
//  1. one conversation: 20 addresses at the busy domain, one at a time;
//  2. N addresses at the busy domain through the limit, against the ideal
//     N x (one conversation) / L, with the most connections the server saw
//     open at once;
//  3. N/2 addresses spread over 100 other domains (100 servers), alone;
//  4. the mixed list: the N/2 busy-domain addresses and the N/2 others taken
//     alternately, and when the last of the others is done compared to 3.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/smtp_relay_server.h"
#include "fake_world.h"
#include "platform/loop/epoll_loop.h"
#include "platform/process/resource_limits.h"
#include "platform/resolver/host_resolver.h"
#include "private_network.h"

namespace mv {
namespace {

constexpr int kOtherDomains = 100;

struct Options {
    int addresses = 10000;
    int perServer = 5;
    int delayMs = 50;
    int connections = 200;
};

std::string World(int delayMs) {
    const std::string delay = " delay=" + std::to_string(delayMs) + "\n";
    std::string world = "host mx.busy.test" + delay + "domain busy.test mx mx.busy.test\n";
    for (int i = 0; i < kOtherDomains; ++i) {
        const std::string n = std::to_string(i);
        world.append("host mx.d").append(n).append(".test").append(delay);
        world.append("domain d").append(n).append(".test mx mx.d").append(n).append(".test\n");
    }
    return world;
}

TRecipientEntry Busy(int i) {
    return {"user" + std::to_string(i) + "@busy.test", i};
}

TRecipientEntry Other(int i) {
    return {"user" + std::to_string(i) + "@d" + std::to_string(i % kOtherDomains) + ".test", i};
}

struct Run {
    double seconds = 0;
    double lastOtherSeconds = 0;  // when the last address at another domain was done
    int reports = 0;
    int failures = 0;
    long long peakOpen = 0;
};

Run Check(const TRecipientList& list, int connections, int perServer, const Options& o) {
    test::FakeWorld world(World(o.delayMs));
    network_layer::SetLookupServers(world.dnsServer() + ":" + std::to_string(world.dnsPort()));
    EpollLoop loop;
    TSmtpRelayServer d(loop);
    d.SetDns(world.dnsServer());
    d.SetDnsPort(std::to_string(world.dnsPort()));
    d.SetSmtpPort(std::to_string(world.smtpPort()));
    d.SetFrom("bench@checker.test");
    d.SetSignon("checker.test");
    d.SetTimeOut(30);
    d.SetConnections(connections);
    d.SetPerServer(perServer);
    d.SetRecipients(list);
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    d.OnEMailProcessed = [&](TSmtpRelayServer*, int i, int err, const std::vector<std::string>&,
                             const TResultInfo&) {
        ++r.reports;
        if (err != 0) ++r.failures;
        if (list[static_cast<size_t>(i)].Text.find("@busy.test") == std::string::npos)
            r.lastOtherSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    d.OnFinished = [&](TSmtpRelayServer*, bool) { loop.Quit(); };
    d.Verify();
    loop.Run();
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakOpen = world.Statistic("peak-open");
    network_layer::SetLookupServers("");
    return r;
}

void Report(const char* what, const Run& r) {
    std::printf("%-44s %8.1f s  %6d checks  %4d failed  peak %lld open at one server\n", what,
                r.seconds, r.reports, r.failures, r.peakOpen);
    std::fflush(stdout);
}

int Main(const Options& o) {
    RaiseOpenFileLimit();
    std::string why;
    if (!test::EnterPrivateNetwork(&why))
        std::printf("(no private network: %s; the host's loopback is used)\n", why.c_str());
    std::printf("%d addresses, %d ms per reply, limit %d per server, %d connections\n\n",
                o.addresses, o.delayMs, o.perServer, o.connections);

    TRecipientList one;
    for (int i = 0; i < 20; ++i)
        one.push_back(Busy(i));
    const Run single = Check(one, 1, 0, o);
    const double conversation = single.seconds / 20;
    std::printf("one conversation: %.0f ms\n", conversation * 1000);

    TRecipientList busy;
    for (int i = 0; i < o.addresses; ++i)
        busy.push_back(Busy(i));
    const Run limited = Check(busy, o.connections, o.perServer, o);
    const double ideal = o.addresses * conversation / o.perServer;
    Report("one domain through the limit", limited);
    std::printf("  ideal %.1f s: the run took %.3f x the ideal\n\n", ideal,
                limited.seconds / ideal);

    const int half = o.addresses / 2;
    TRecipientList others;
    TRecipientList mixed;
    for (int i = 0; i < half; ++i) {
        others.push_back({Other(i).Text, i});
        mixed.push_back({Busy(i).Text, 2 * i});
        mixed.push_back({Other(i).Text, 2 * i + 1});
    }
    const Run alone = Check(others, o.connections, o.perServer, o);
    Report("the other domains alone", alone);
    const Run both = Check(mixed, o.connections, o.perServer, o);
    Report("mixed list", both);
    std::printf(
        "  the other domains were done after %.1f s instead of %.1f s: %.2f x their time alone\n",
        both.lastOtherSeconds, alone.seconds, both.lastOtherSeconds / alone.seconds);
    std::printf("  the busy half alone would take about %.1f s (ideal)\n",
                half * conversation / o.perServer);
    return 0;
}

}  // namespace
}  // namespace mv

int main(int argc, char** argv) {
    mv::Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--addresses"))
            o.addresses = value;
        else if (!std::strcmp(argv[i], "--per-server"))
            o.perServer = value;
        else if (!std::strcmp(argv[i], "--delay"))
            o.delayMs = value;
        else if (!std::strcmp(argv[i], "--connections"))
            o.connections = value;
        else {
            std::fprintf(stderr,
                         "usage: mv_bench_politeness [--addresses N] [--per-server L] "
                         "[--delay MS] [--connections C]\n");
            return 2;
        }
    }
    return mv::Main(o);
}

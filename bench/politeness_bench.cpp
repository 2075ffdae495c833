// The politeness per mail server against the fake mail world: what a limit of
// connections per server costs, what one busy server costs the other domains
// of a list, and what several addresses on one connection gain.
//
//   mv_bench_politeness [--addresses N] [--per-server L] [--delay MS] [--connections C]
//                       [--provider N] [--skip-rate 1]
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
//     alternately, and when the last of the others is done compared to 3;
//  5. 3 and 4 again with a rate of 60 new connections a minute per server
//     (N/10 addresses; the run stops once the others are done);
//  6. one provider: --provider addresses (default 2,000) over 50 domains
//     whose MX lists both name the provider's two servers (one group), at
//     the limit, with 1, 5 and 20 addresses per connection: checks per
//     second and connections per address.
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
    int provider = 2000;
    bool skipRate = false;
};

// How one run is made.
struct Mode {
    int perServer = 0;
    int rate = 0;
    int perConnection = 1;
    bool stopAfterOthers = false;  // abort once every other domain's address is done
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
    long long connections = 0;
};

Run Check(const std::string& worldText, const TRecipientList& list, int connections,
          const Mode& mode) {
    test::FakeWorld world(worldText);
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
    d.SetPerServer(mode.perServer);
    d.SetPerServerRate(mode.rate);
    d.SetAddressesPerConnection(mode.perConnection);
    d.SetRecipients(list);
    int others = 0;
    for (const TRecipientEntry& e : list)
        others += e.Text.find("@busy.test") == std::string::npos ? 1 : 0;
    int othersDone = 0;
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    d.OnEMailProcessed = [&](TSmtpRelayServer*, int i, int err, const std::vector<std::string>&,
                             const TResultInfo&) {
        ++r.reports;
        if (err != 0) ++r.failures;
        if (list[static_cast<size_t>(i)].Text.find("@busy.test") != std::string::npos) return;
        r.lastOtherSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (++othersDone == others && mode.stopAfterOthers) loop.Post([&d] { d.Abort(); });
    };
    d.OnFinished = [&](TSmtpRelayServer*, bool) { loop.Quit(); };
    d.Verify();
    loop.Run();
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakOpen = world.Statistic("peak-open");
    r.connections = world.Statistic("connections");
    network_layer::SetLookupServers("");
    return r;
}

void Report(const char* what, const Run& r) {
    std::printf("%-44s %8.1f s  %6d checks  %4d failed  peak %lld open at one server\n", what,
                r.seconds, r.reports, r.failures, r.peakOpen);
    std::fflush(stdout);
}

// The mixed list and the other domains alone, with `mode`.
void CompareMixed(const Options& o, int addresses, const Mode& mode, const char* what) {
    const int half = addresses / 2;
    TRecipientList others;
    TRecipientList mixed;
    for (int i = 0; i < half; ++i) {
        others.push_back({Other(i).Text, i});
        mixed.push_back({Busy(i).Text, 2 * i});
        mixed.push_back({Other(i).Text, 2 * i + 1});
    }
    const Run alone = Check(World(o.delayMs), others, o.connections, mode);
    Report("the other domains alone", alone);
    const Run both = Check(World(o.delayMs), mixed, o.connections, mode);
    Report("mixed list", both);
    std::printf(
        "  %s: the other domains were done after %.1f s instead of %.1f s: %.2f x their time "
        "alone\n\n",
        what, both.lastOtherSeconds, alone.seconds, both.lastOtherSeconds / alone.seconds);
}

std::string ProviderWorld(int delayMs) {
    const std::string delay = " delay=" + std::to_string(delayMs) + "\n";
    return "host mx1.prov.test" + delay + "host mx2.prov.test" + delay +
           "domain *.tenants.test mx 10 mx1.prov.test 20 mx2.prov.test\n";
}

void MeasureProvider(const Options& o) {
    TRecipientList list;
    for (int i = 0; i < o.provider; ++i)
        list.push_back(
            {"user" + std::to_string(i) + "@d" + std::to_string(i % 50) + ".tenants.test", i});
    std::printf("one provider, two servers, %d addresses over 50 domains, limit %d:\n", o.provider,
                o.perServer);
    double single = 0;
    for (int n : {1, 5, 20}) {
        Mode mode;
        mode.perServer = o.perServer;
        mode.perConnection = n;
        const Run r = Check(ProviderWorld(o.delayMs), list, o.connections, mode);
        const double rate = r.reports / r.seconds;
        if (n == 1) single = rate;
        std::printf(
            "  %2d per connection: %7.0f checks/s (%.2f x one per connection), %.3f "
            "connections per address, peak %lld open, %d failed\n",
            n, rate, rate / single, static_cast<double>(r.connections) / r.reports, r.peakOpen,
            r.failures);
        std::fflush(stdout);
    }
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
    const Run single = Check(World(o.delayMs), one, 1, Mode{});
    const double conversation = single.seconds / 20;
    std::printf("one conversation: %.0f ms\n", conversation * 1000);

    TRecipientList busy;
    for (int i = 0; i < o.addresses; ++i)
        busy.push_back(Busy(i));
    Mode limited;
    limited.perServer = o.perServer;
    const Run through = Check(World(o.delayMs), busy, o.connections, limited);
    const double ideal = o.addresses * conversation / o.perServer;
    Report("one domain through the limit", through);
    std::printf("  ideal %.1f s: the run took %.3f x the ideal\n\n", ideal,
                through.seconds / ideal);

    CompareMixed(o, o.addresses, limited, "limit");
    const int busyHalf = o.addresses / 2;
    std::printf("  the busy half alone would take about %.1f s (ideal)\n\n",
                busyHalf * conversation / o.perServer);
    if (!o.skipRate) {
        Mode rated = limited;
        rated.rate = 60;
        rated.stopAfterOthers = true;
        CompareMixed(o, o.addresses / 10, rated, "limit and 60 a minute");
    }
    if (o.provider > 0) MeasureProvider(o);
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
        else if (!std::strcmp(argv[i], "--provider"))
            o.provider = value;
        else if (!std::strcmp(argv[i], "--skip-rate"))
            o.skipRate = value != 0;
        else {
            std::fprintf(stderr,
                         "usage: mv_bench_politeness [--addresses N] [--per-server L] "
                         "[--delay MS] [--connections C] [--provider N] [--skip-rate 1]\n");
            return 2;
        }
    }
    return mv::Main(o);
}

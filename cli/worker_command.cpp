// mailvetter-cli worker: checks rows of the cluster's runs with this
// machine's engine until it is told to stop.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "address/address_knowledge.h"
#include "cli_args.h"
#include "cluster/cluster_keys.h"
#include "cluster/cluster_worker.h"
#include "cluster_options.h"
#include "commands.h"
#include "interrupts.h"
#include "net/socket/local_host_name.h"
#include "platform/loop/epoll_loop.h"
#include "platform/process/resource_limits.h"
#include "project/run/host_lookups.h"
#include "sender_options.h"

namespace mv::cli {

int RunWorker(const ParsedArgs& args) {
    if (!args.Positional().empty()) throw UsageError("worker takes no operands");
    TINI ini;
    const cluster::RedisUrl url = ClusterRedisUrl(args, "redis", ini);
    cluster::WorkerOptions options;
    options.settings = CheckSettingsFor(args, ini);
    options.host = LocalHostName();
    options.name = args.ValueOr("name", options.host);
    if (!cluster::ValidRunName(options.name))
        throw UsageError("a worker name is 1 to 64 letters, digits, '-', '_' or '.'");
    if (auto v = args.Number("smtp-port", 1, 65535)) options.smtpPort = std::to_string(*v);
    if (auto v = args.Number("dns-port", 1, 65535)) options.dnsPort = std::to_string(*v);
    RaiseOpenFileLimit();

    EpollLoop loop;
    try {
        // The same refusals as check, before anything is taken; the mail
        // providers' rules for the probe as check has them.
        options.providers = &AddressKnowledge::Installed().Providers();
        TSmtpRelayServer probe(loop);
        cluster::ApplyCheckSettings(options.settings, probe);
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    if (!options.dnsPort.empty()) PointHostLookups(options.settings, options.dnsPort);
    cluster::ClusterWorker worker(loop, url, options);
    const std::string who = "worker " + options.name + ": ";
    worker.OnMessage = [&](const std::string& m) { PrintError(who + m); };
    worker.OnFatal = [&](const std::string& m) {
        PrintError(who + m);
        loop.Quit(kExitFailure);
    };
    worker.OnStopped = [&] { loop.Quit(kExitOk); };
    InterruptWatch interrupts(loop, [&] { worker.Stop(); });
    worker.Start([&](const std::string& error) {
        PrintError(error);
        loop.Quit(kExitFailure);
    });
    return loop.Run();
}

}  // namespace mv::cli

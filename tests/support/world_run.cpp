#include "world_run.h"

#include <gtest/gtest.h>

#include "platform/resolver/host_resolver.h"
#include "test_support.h"

namespace mv::test {

WorldRun::~WorldRun() {
    network_layer::SetLookupServers("");
}

void WorldRun::Point(const FakeWorld& world, int timeOutSeconds) {
    network_layer::SetLookupServers(world.dnsServer() + ":" + std::to_string(world.dnsPort()));
    d.SetDns(world.dnsServer());
    d.SetDnsPort(std::to_string(world.dnsPort()));
    d.SetSmtpPort(std::to_string(world.smtpPort()));
    d.SetFrom("checker@probe.test");
    d.SetSignon("probe.test");
    d.SetTimeOut(timeOutSeconds);
    d.OnGetData = [this](TSmtpRelayServer*, int i) {
        events.push_back("get " + std::to_string(i));
        ++begun[i];
        ++begunTotal;
    };
    d.OnEMailProcessed = [this](TSmtpRelayServer*, int i, int err,
                                const std::vector<std::string>& log, const TResultInfo& info) {
        events.push_back("report " + std::to_string(i));
        // Only a report that is not final (a deferral checked again) may have a successor.
        EXPECT_TRUE(last.count(i) == 0 || !last[i].info.final)
            << "address " << i << " reported after its final report";
        reports[i].push_back({err, log, info});
        last[i] = reports[i].back();
        if (onReport) onReport(i);
    };
    d.OnFinished = [this](TSmtpRelayServer*, bool wasAborted) {
        events.push_back(wasAborted ? "finished aborted" : "finished");
        ++finished;
        aborted = wasAborted;
    };
}

void WorldRun::Begin(const std::vector<std::string>& addresses, int connections) {
    reports.clear();
    last.clear();
    begun.clear();
    events.clear();
    begunTotal = finished = 0;
    aborted = false;
    TRecipientList list;
    for (size_t i = 0; i < addresses.size(); ++i)
        list.push_back({addresses[i], static_cast<int>(i)});
    d.SetRecipients(list);
    d.SetConnections(connections);
    d.Verify();
}

bool WorldRun::Check(const std::vector<std::string>& addresses, int connections,
                     std::chrono::milliseconds limit) {
    Begin(addresses, connections);
    return RunUntil(
        loop, [&] { return finished > 0; }, limit);
}

}  // namespace mv::test

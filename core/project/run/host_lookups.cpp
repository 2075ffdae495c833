#include "project/run/host_lookups.h"

#include "engine/smtp_relay_server.h"
#include "platform/resolver/host_resolver.h"
#include "platform/text/text_trim.h"
#include "project/run/check_run.h"

namespace mv {

void PointHostLookups(const std::vector<std::string>& servers, const std::string& port) {
    std::string joined;
    for (const std::string& s : servers) {
        if (!joined.empty()) joined += ',';
        joined.append(s).append(":").append(port);
    }
    network_layer::SetLookupServers(joined);
}

void PointHostLookups(const TSmtpRelayServer& dispatcher, const std::string& port) {
    PointHostLookups(dispatcher.DnsServerList(), port);
}

void PointHostLookups(const CheckSettings& settings, const std::string& port) {
    PointHostLookups(TSmtpRelayServer::SplitServers(
                         TrimBlanks(settings.dnsPrimary + " " + settings.dnsSecondary)),
                     port);
}

}  // namespace mv

#include "project/run/host_lookups.h"

#include "engine/smtp_relay_server.h"
#include "platform/resolver/host_resolver.h"

namespace mv {

void PointHostLookups(const TSmtpRelayServer& dispatcher, const std::string& port) {
    std::string servers;
    for (const std::string& s : dispatcher.DnsServerList()) {
        if (!servers.empty()) servers += ',';
        servers.append(s).append(":").append(port);
    }
    network_layer::SetLookupServers(servers);
}

}  // namespace mv

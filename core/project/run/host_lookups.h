// Where the names of the mail exchangers are looked up during a run. When
// the DNS servers answer on a port of their own (a test world, a tunnel), the
// exchangers' addresses must come from there too, not from the system's
// resolver: both front ends ask for this after a run has started.
#pragma once

#include <string>
#include <vector>

namespace mv {

struct CheckSettings;
class TSmtpRelayServer;

// Sends every host-name lookup to `servers` at `port` (none: the system's
// resolver).
void PointHostLookups(const std::vector<std::string>& servers, const std::string& port);
// The run's DNS servers: the dispatcher's list, settled when the run started.
void PointHostLookups(const TSmtpRelayServer& dispatcher, const std::string& port);
// The DNS servers of the settings, for runs that start later (a worker's).
void PointHostLookups(const CheckSettings& settings, const std::string& port);

}  // namespace mv

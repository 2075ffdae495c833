// Where the names of the mail exchangers are looked up during a run. When
// the DNS servers answer on a port of their own (a test world, a tunnel), the
// exchangers' addresses must come from there too, not from the system's
// resolver: both front ends ask for this after a run has started.
#pragma once

#include <string>

namespace mv {

class TSmtpRelayServer;

// Sends every host-name lookup to the run's DNS servers (the dispatcher's
// list, settled when the run started) at `port`.
void PointHostLookups(const TSmtpRelayServer& dispatcher, const std::string& port);

}  // namespace mv

// Asynchronous host-name lookup over the resolver library (c-ares), driven by
// the thread's message loop: no threads, /etc/hosts and /etc/resolv.conf
// honoured. The result always arrives as a later callback from the loop.
//
// The hosts file is read into a table (again when it changes) and answers
// from the DNS are kept for the time their records allow, as the resolver of
// an operating system does: a checker connects to the same mail exchangers
// over and over.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/resolver/hosts_file.h"

struct ares_channeldata;
struct hostent;

namespace mv {

class HostResolver {
  public:
    // wsaError 0: `results` holds the addresses (dotted quads) of a forward
    // lookup, or the one host name of a reverse lookup.
    using Callback = std::function<void(int wsaError, const std::vector<std::string>& results)>;

    // `servers`: "host[:port]" entries separated by commas; empty for the
    // system's configuration.
    HostResolver(MessageLoop& loop, const std::string& servers);
    ~HostResolver();
    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    // Returns the lookup's handle, or 0 when it could not be started.
    uint64_t LookupForward(const std::string& name, Callback cb);
    uint64_t LookupReverse(const std::string& dottedAddress, Callback cb);
    // No callback comes for a cancelled lookup. True when it was pending.
    bool Cancel(uint64_t handle);
    bool SetServers(const std::string& servers);

  private:
    struct Request;
    static void OnSocketState(void* data, int fd, int readable, int writable);
    static void OnHostResult(void* arg, int status, int timeouts, ::hostent* host);
    static void OnAddressAnswer(void* arg, int status, int timeouts, unsigned char* answer,
                                int length);
    void Complete(uint64_t id, int wsaError, std::vector<std::string> results);
    void Reschedule();
    void WatchRefused(int err);
    int LookupError(int status) const;

    MessageLoop& loop_;
    ares_channeldata* channel_ = nullptr;
    uint64_t nextId_ = 1;
    std::unordered_map<uint64_t, Callback> pending_;
    // Names being asked for, with the lookups waiting for their answer.
    std::unordered_map<std::string, std::vector<uint64_t>> inFlight_;
    std::unordered_map<int, MessageLoop::WatchId> watches_;
    MessageLoop::TimerId timer_ = 0;
    int refusedWatchError_ = 0;  // while the lookups are cancelled for it
    HostsFile hosts_;
    LookupCache cache_;
    WeakToken token_;
};

// The network layer of the calling thread. The first socket starts it and the
// last one stops it; the resolver exists while it runs.
namespace network_layer {
void Acquire();
void Release();
int LiveSockets();
// The thread's resolver (created on first use over the current loop).
HostResolver& Resolver();
// Name servers for this thread's host lookups ("host[:port]" entries separated
// by commas; empty for the system's). Applies to the running resolver too.
void SetLookupServers(const std::string& servers);
const std::string& LookupServers();
}  // namespace network_layer

}  // namespace mv

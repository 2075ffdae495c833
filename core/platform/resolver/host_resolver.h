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
#include "platform/resolver/host_addresses.h"
#include "platform/resolver/hosts_file.h"

struct ares_addrinfo;
struct ares_channeldata;
struct hostent;

namespace mv {

class HostResolver {
  public:
    // wsaError 0: `results` holds the addresses (dotted quads) of a forward
    // lookup, or the one host name of a reverse lookup.
    using Callback = std::function<void(int wsaError, const std::vector<std::string>& results)>;
    // wsaError 0: `addresses` holds at least one address of either family.
    using HostCallback = std::function<void(int wsaError, const HostAddresses& addresses)>;

    // `servers`: "host[:port]" entries separated by commas; empty for the
    // system's configuration.
    HostResolver(MessageLoop& loop, const std::string& servers);
    ~HostResolver();
    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    // Returns the lookup's handle, or 0 when it could not be started.
    // The IPv4 addresses (A records) of a name; a name that has none fails
    // with 11004, whatever IPv6 addresses it has.
    uint64_t LookupForward(const std::string& name, Callback cb);
    // The IPv4 and the IPv6 addresses (A and AAAA records) of a name; a
    // numeric address of either family is its own answer.
    uint64_t LookupHost(const std::string& name, HostCallback cb);
    // The name of a dotted quad or an IPv6 address.
    uint64_t LookupReverse(const std::string& address, Callback cb);
    // No callback comes for a cancelled lookup. True when it was pending.
    bool Cancel(uint64_t handle);
    bool SetServers(const std::string& servers);

  private:
    struct Request;
    // What a lookup finds: addresses, or the name of a reverse lookup.
    struct Answer {
        HostAddresses addresses;
        std::string name;
    };
    using Done = std::function<void(int wsaError, const Answer& answer)>;

    uint64_t Forward(const std::string& name, bool withIPv6, Done done);
    void Finished(const Request& req, int status, const HostAddresses& found, uint32_t ttl);
    static void OnSocketState(void* data, int fd, int readable, int writable);
    static void OnHostResult(void* arg, int status, int timeouts, ::hostent* host);
    static void OnAddressAnswer(void* arg, int status, int timeouts, unsigned char* answer,
                                int length);
    static void OnAddrInfo(void* arg, int status, int timeouts, ares_addrinfo* info);
    void Complete(uint64_t id, int wsaError, Answer answer);
    void Reschedule();
    void WatchRefused(int err);
    int LookupError(int status) const;

    MessageLoop& loop_;
    ares_channeldata* channel_ = nullptr;
    uint64_t nextId_ = 1;
    std::unordered_map<uint64_t, Done> pending_;
    // Names being asked for (IPv4 alone, or both families), with the lookups
    // waiting for their answer.
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

#include "platform/resolver/host_resolver.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

#include "platform/error/exception.h"
#include "platform/error/winsock_errors.h"

namespace mv {

namespace {

bool IsLocalhostName(const std::string& name) {
    std::string n = LowerCase(name);
    if (!n.empty() && n.back() == '.') n.pop_back();
    return n == "localhost" || (n.size() > 10 && n.compare(n.size() - 10, 10, ".localhost") == 0);
}

// The key of a name being asked for: the same name asked for IPv4 alone and
// for both families are two different questions.
std::string FlightKey(const std::string& name, bool withIPv6) {
    return (withIPv6 ? "6 " : "4 ") + LowerCase(name);
}

}  // namespace

struct HostResolver::Request {
    HostResolver* self;
    uint64_t id;
    bool reverse;
    std::string name;
    bool withIPv6 = false;
};

HostResolver::HostResolver(MessageLoop& loop, const std::string& servers) : loop_(loop) {
    ares_options opts{};
    opts.sock_state_cb = [](void* data, ares_socket_t fd, int r, int w) {
        OnSocketState(data, fd, r, w);
    };
    opts.sock_state_cb_data = this;
    // The hosts file is consulted here, from a table; the library only asks
    // the DNS, over sockets it keeps open between lookups.
    char dnsOnly[] = "b";
    opts.lookups = dnsOnly;
    opts.flags = ARES_FLAG_STAYOPEN;
    if (ares_init_options(&channel_, &opts,
                          ARES_OPT_SOCK_STATE_CB | ARES_OPT_LOOKUPS | ARES_OPT_FLAGS) !=
        ARES_SUCCESS)
        throw Exception("cannot start the host-name resolver");
    if (!servers.empty()) SetServers(servers);
}

HostResolver::~HostResolver() {
    pending_.clear();  // callbacks of the destruction below are dropped
    inFlight_.clear();
    ares_destroy(channel_);
    for (auto& [fd, watch] : watches_)
        loop_.UnwatchFd(watch);
    if (timer_ != 0) loop_.StopTimer(timer_);
}

bool HostResolver::SetServers(const std::string& servers) {
    cache_.Clear();
    if (servers.empty()) return true;
    return ares_set_servers_ports_csv(channel_, servers.c_str()) == ARES_SUCCESS;
}

uint64_t HostResolver::LookupForward(const std::string& name, Callback cb) {
    return Forward(name, false, [cb = std::move(cb)](int error, const Answer& answer) {
        // A name with IPv6 addresses alone has no address for this question.
        const bool none = error == 0 && answer.addresses.ipv4.empty();
        if (cb) cb(none ? wsa::kNoData : error, answer.addresses.ipv4);
    });
}

uint64_t HostResolver::LookupHost(const std::string& name, HostCallback cb) {
    HostAddresses numeric;
    if (numeric.AddNumeric(name)) {
        const uint64_t id = nextId_++;
        pending_.emplace(id, [cb = std::move(cb)](int error, const Answer& answer) {
            if (cb) cb(error, answer.addresses);
        });
        Complete(id, 0, {std::move(numeric), {}});
        return id;
    }
    return Forward(name, true, [cb = std::move(cb)](int error, const Answer& answer) {
        if (cb) cb(error, answer.addresses);
    });
}

uint64_t HostResolver::Forward(const std::string& name, bool withIPv6, Done done) {
    const uint64_t id = nextId_++;
    pending_.emplace(id, std::move(done));
    const HostAddresses* known = hosts_.Addresses(name);
    // The hosts file answers a name it gives an address of the family asked.
    if (known != nullptr && (withIPv6 || !known->ipv4.empty())) {
        HostAddresses found = *known;
        // Loopback names have both loopback addresses, whatever the file says.
        if (withIPv6 && found.ipv6.empty() && IsLocalhostName(name)) found.ipv6.emplace_back("::1");
        Complete(id, 0, {std::move(found), {}});
    } else if (IsLocalhostName(name)) {
        // Loopback names never leave the machine, hosts file or not.
        HostAddresses loopback{{"127.0.0.1"}, {}};
        if (withIPv6) loopback.ipv6.emplace_back("::1");
        Complete(id, 0, {std::move(loopback), {}});
    } else if (const auto* cached = cache_.Find(name, withIPv6)) {
        Complete(id, 0, {*cached, {}});
    } else {
        // Lookups of a name that is already being asked for wait for the same
        // answer: a thousand sessions starting at once send one query.
        auto& waiting = inFlight_[FlightKey(name, withIPv6)];
        waiting.push_back(id);
        if (waiting.size() == 1) {
            auto* req = new Request{this, id, false, name, withIPv6};
            if (withIPv6) {
                ares_addrinfo_hints hints{};
                hints.ai_family = AF_UNSPEC;
                hints.ai_flags = ARES_AI_NOSORT;  // answer order, as for IPv4 alone
                ares_getaddrinfo(channel_, name.c_str(), nullptr, &hints, &HostResolver::OnAddrInfo,
                                 req);
            } else {
                ares_search(channel_, name.c_str(), 1 /* IN */, 1 /* A */,
                            &HostResolver::OnAddressAnswer, req);
            }
            Reschedule();
        }
    }
    return id;
}

uint64_t HostResolver::LookupReverse(const std::string& address, Callback cb) {
    HostAddresses numeric;
    if (!numeric.AddNumeric(address)) return 0;
    const uint64_t id = nextId_++;
    pending_.emplace(id, [cb = std::move(cb)](int error, const Answer& answer) {
        if (cb)
            cb(error,
               error == 0 ? std::vector<std::string>{answer.name} : std::vector<std::string>{});
    });
    const std::string canonical = numeric.Preferred(false);
    if (const std::string* known = hosts_.NameOf(canonical)) {
        Complete(id, 0, {{}, *known});
        return id;
    }
    const bool v6 = numeric.ipv4.empty();
    unsigned char bytes[16];
    inet_pton(v6 ? AF_INET6 : AF_INET, canonical.c_str(), bytes);
    ares_gethostbyaddr(channel_, bytes, v6 ? 16 : 4, v6 ? AF_INET6 : AF_INET,
                       &HostResolver::OnHostResult, new Request{this, id, true, address});
    Reschedule();
    return id;
}

void HostResolver::OnAddressAnswer(void* arg, int status, int /*timeouts*/, unsigned char* answer,
                                   int length) {
    std::unique_ptr<Request> req(static_cast<Request*>(arg));
    if (status == ARES_EDESTRUCTION) return;
    HostAddresses found;
    uint32_t ttl = LookupCache::kMaxTtlSeconds;
    if (status == ARES_SUCCESS) {
        hostent* host = nullptr;
        ares_addrttl ttls[64];
        int count = 64;
        status = ares_parse_a_reply(answer, length, &host, ttls, &count);
        if (status == ARES_SUCCESS) {
            for (int i = 0; i < count; ++i) {
                char text[INET_ADDRSTRLEN];
                if (inet_ntop(AF_INET, &ttls[i].ipaddr, text, sizeof text) != nullptr)
                    found.ipv4.emplace_back(text);
                ttl = std::min(ttl, static_cast<uint32_t>(std::max(ttls[i].ttl, 0)));
            }
        }
        if (host != nullptr) ares_free_hostent(host);
    }
    req->self->Finished(*req, status, found, ttl);
}

void HostResolver::OnAddrInfo(void* arg, int status, int /*timeouts*/, ares_addrinfo* info) {
    std::unique_ptr<Request> req(static_cast<Request*>(arg));
    HostAddresses found;
    uint32_t ttl = LookupCache::kMaxTtlSeconds;
    for (auto* node = info != nullptr ? info->nodes : nullptr; node != nullptr;
         node = node->ai_next) {
        char text[INET6_ADDRSTRLEN];
        const bool v6 = node->ai_family == AF_INET6;
        if (!v6 && node->ai_family != AF_INET) continue;
        const void* bytes =
            v6 ? static_cast<const void*>(
                     &reinterpret_cast<sockaddr_in6*>(node->ai_addr)->sin6_addr)
               : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(node->ai_addr)->sin_addr);
        if (inet_ntop(node->ai_family, bytes, text, sizeof text) == nullptr) continue;
        auto& family = v6 ? found.ipv6 : found.ipv4;
        if (std::find(family.begin(), family.end(), text) == family.end())
            family.emplace_back(text);
        ttl = std::min(ttl, static_cast<uint32_t>(std::max(node->ai_ttl, 0)));
    }
    if (info != nullptr) ares_freeaddrinfo(info);
    if (status == ARES_EDESTRUCTION) return;
    req->self->Finished(*req, status, found, ttl);
}

// Every lookup that waited for the name's answer gets it.
void HostResolver::Finished(const Request& req, int status, const HostAddresses& found,
                            uint32_t ttl) {
    if (status == ARES_SUCCESS && found.Empty()) status = ARES_ENODATA;
    if (status == ARES_SUCCESS) cache_.Store(req.name, found, req.withIPv6, ttl);
    const auto waiting = inFlight_.extract(FlightKey(req.name, req.withIPv6));
    if (waiting.empty()) return;
    for (uint64_t id : waiting.mapped())
        Complete(id, LookupError(status), {found, {}});
}

bool HostResolver::Cancel(uint64_t handle) {
    return pending_.erase(handle) > 0;
}

void HostResolver::OnHostResult(void* arg, int status, int /*timeouts*/, ::hostent* host) {
    std::unique_ptr<Request> req(static_cast<Request*>(arg));
    if (status == ARES_EDESTRUCTION) return;
    Answer answer;
    if (status == ARES_SUCCESS) {
        if (host != nullptr && host->h_name != nullptr) answer.name = host->h_name;
        if (answer.name.empty()) status = ARES_ENODATA;
    }
    req->self->Complete(req->id, req->self->LookupError(status), std::move(answer));
}

int HostResolver::LookupError(int status) const {
    if (status == ARES_ECANCELLED && refusedWatchError_ != 0) return refusedWatchError_;
    return WsaErrorFromLookupStatus(status);
}

void HostResolver::Complete(uint64_t id, int wsaError, Answer answer) {
    // Always a later notification: the library may answer inside the call
    // that started the lookup (a hosts-file hit, a bad name).
    loop_.Post([this, id, wsaError, answer = std::move(answer), alive = token_.Weak()] {
        if (alive.expired()) return;
        auto it = pending_.find(id);
        if (it == pending_.end()) return;  // cancelled
        Done done = std::move(it->second);
        pending_.erase(it);
        if (done) done(wsaError, answer);
    });
}

void HostResolver::OnSocketState(void* data, int fd, int readable, int writable) {
    auto* self = static_cast<HostResolver*>(data);
    const unsigned interest =
        (readable ? unsigned{kFdReadable} : 0u) | (writable ? unsigned{kFdWritable} : 0u);
    auto it = self->watches_.find(fd);
    if (interest == kFdNone) {
        if (it != self->watches_.end()) {
            self->loop_.UnwatchFd(it->second);
            self->watches_.erase(it);
        }
        return;
    }
    if (it != self->watches_.end()) {
        if (const int err = self->loop_.SetFdInterest(it->second, interest))
            self->WatchRefused(err);
        return;
    }
    const MessageLoop::WatchId watch = self->loop_.WatchFd(fd, interest, [self, fd](unsigned r) {
        const bool err = (r & kFdError) != 0;
        const ares_socket_t none = ARES_SOCKET_BAD;
        ares_process_fd(self->channel_, (r & kFdReadable) || err ? fd : none,
                        (r & kFdWritable) || err ? fd : none);
        self->Reschedule();
    });
    if (watch == 0) return self->WatchRefused(errno);
    self->watches_[fd] = watch;
}

void HostResolver::WatchRefused(int err) {
    // No answer could ever be read: the lookups end now with the system's
    // reason instead of running into the library's time-outs. Later, because
    // the library is in the middle of a call here.
    loop_.Post([this, err, alive = token_.Weak()] {
        if (alive.expired()) return;
        refusedWatchError_ = WsaErrorFromErrno(err);
        ares_cancel(channel_);
        refusedWatchError_ = 0;
    });
}

void HostResolver::Reschedule() {
    if (timer_ != 0) loop_.StopTimer(timer_);
    timer_ = 0;
    timeval tv{};
    if (ares_timeout(channel_, nullptr, &tv) == nullptr) return;  // nothing outstanding
    long ms = tv.tv_sec * 1000 + (tv.tv_usec + 999) / 1000;
    if (ms < 1) ms = 1;
    timer_ = loop_.StartTimer(static_cast<uint32_t>(ms), [this] {
        ares_process_fd(channel_, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        Reschedule();
    });
}

namespace network_layer {

namespace {
struct ThreadState {
    int live = 0;
    std::unique_ptr<HostResolver> resolver;
    std::string servers;
};
thread_local ThreadState t_state;
}  // namespace

void Acquire() {
    if (t_state.live++ == 0) {
        const int rc = ares_library_init(ARES_LIB_INIT_ALL);
        if (rc != ARES_SUCCESS) {
            t_state.live = 0;
            throw Exception(std::string("libcares: WSAStartup error #") + std::to_string(rc));
        }
    }
}

void Release() {
    if (t_state.live <= 0) return;
    if (--t_state.live == 0) {
        t_state.resolver.reset();
        ares_library_cleanup();
    }
}

int LiveSockets() {
    return t_state.live;
}

HostResolver& Resolver() {
    if (!t_state.resolver)
        t_state.resolver = std::make_unique<HostResolver>(MessageLoop::Current(), t_state.servers);
    return *t_state.resolver;
}

void SetLookupServers(const std::string& servers) {
    t_state.servers = servers;
    if (t_state.resolver) t_state.resolver->SetServers(servers);
}

const std::string& LookupServers() {
    return t_state.servers;
}

}  // namespace network_layer

}  // namespace mv

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

}  // namespace

struct HostResolver::Request {
    HostResolver* self;
    uint64_t id;
    bool reverse;
    std::string name;
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
    const uint64_t id = nextId_++;
    pending_.emplace(id, std::move(cb));
    if (const auto* known = hosts_.Addresses(name)) {
        Complete(id, 0, *known);
    } else if (IsLocalhostName(name)) {
        // Loopback names never leave the machine, hosts file or not.
        Complete(id, 0, {"127.0.0.1"});
    } else if (const auto* cached = cache_.Find(name)) {
        Complete(id, 0, *cached);
    } else {
        // Lookups of a name that is already being asked for wait for the same
        // answer: a thousand sessions starting at once send one query.
        auto& waiting = inFlight_[LowerCase(name)];
        waiting.push_back(id);
        if (waiting.size() == 1) {
            ares_search(channel_, name.c_str(), 1 /* IN */, 1 /* A */,
                        &HostResolver::OnAddressAnswer, new Request{this, id, false, name});
            Reschedule();
        }
    }
    return id;
}

uint64_t HostResolver::LookupReverse(const std::string& dottedAddress, Callback cb) {
    in_addr addr{};
    if (inet_aton(dottedAddress.c_str(), &addr) == 0) return 0;
    const uint64_t id = nextId_++;
    pending_.emplace(id, std::move(cb));
    if (const std::string* known = hosts_.NameOf(inet_ntoa(addr))) {
        Complete(id, 0, {*known});
        return id;
    }
    ares_gethostbyaddr(channel_, &addr, sizeof addr, AF_INET, &HostResolver::OnHostResult,
                       new Request{this, id, true, dottedAddress});
    Reschedule();
    return id;
}

void HostResolver::OnAddressAnswer(void* arg, int status, int /*timeouts*/, unsigned char* answer,
                                   int length) {
    std::unique_ptr<Request> req(static_cast<Request*>(arg));
    if (status == ARES_EDESTRUCTION) return;
    std::vector<std::string> results;
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
                    results.emplace_back(text);
                ttl = std::min(ttl, static_cast<uint32_t>(std::max(ttls[i].ttl, 0)));
            }
        }
        if (host != nullptr) ares_free_hostent(host);
        if (status == ARES_SUCCESS && results.empty()) status = ARES_ENODATA;
    }
    HostResolver& self = *req->self;
    if (status == ARES_SUCCESS) self.cache_.Store(req->name, results, ttl);
    const auto waiting = self.inFlight_.extract(LowerCase(req->name));
    if (waiting.empty()) return;
    for (uint64_t id : waiting.mapped())
        self.Complete(id, self.LookupError(status), results);
}

bool HostResolver::Cancel(uint64_t handle) {
    return pending_.erase(handle) > 0;
}

void HostResolver::OnHostResult(void* arg, int status, int /*timeouts*/, ::hostent* host) {
    std::unique_ptr<Request> req(static_cast<Request*>(arg));
    if (status == ARES_EDESTRUCTION) return;
    std::vector<std::string> results;
    if (status == ARES_SUCCESS && host != nullptr) {
        if (req->reverse) {
            if (host->h_name != nullptr) results.emplace_back(host->h_name);
        } else if (host->h_addrtype == AF_INET) {
            for (char** p = host->h_addr_list; p != nullptr && *p != nullptr; ++p) {
                char text[INET_ADDRSTRLEN];
                if (inet_ntop(AF_INET, *p, text, sizeof text) != nullptr)
                    results.emplace_back(text);
            }
        }
        if (results.empty()) status = ARES_ENODATA;
    }
    req->self->Complete(req->id, req->self->LookupError(status), std::move(results));
}

int HostResolver::LookupError(int status) const {
    if (status == ARES_ECANCELLED && refusedWatchError_ != 0) return refusedWatchError_;
    return WsaErrorFromLookupStatus(status);
}

void HostResolver::Complete(uint64_t id, int wsaError, std::vector<std::string> results) {
    // Always a later notification: the library may answer inside the call
    // that started the lookup (a hosts-file hit, a bad name).
    loop_.Post([this, id, wsaError, results = std::move(results), alive = token_.Weak()] {
        if (alive.expired()) return;
        auto it = pending_.find(id);
        if (it == pending_.end()) return;  // cancelled
        Callback cb = std::move(it->second);
        pending_.erase(it);
        if (cb) cb(wsaError, results);
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

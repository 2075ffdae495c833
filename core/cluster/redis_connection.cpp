#include "cluster/redis_connection.h"

#include <arpa/inet.h>
#include <hiredis/async.h>

#include <chrono>
#include <cstdio>

#include "platform/resolver/host_resolver.h"

namespace mv::cluster {

namespace {

bool IsAddress(const std::string& host) {
    in_addr v4{};
    in6_addr v6{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

// "redis_version:7.0.15" in the reply of INFO server.
std::string VersionOf(const std::string& info) {
    constexpr std::string_view kKey = "redis_version:";
    const size_t at = info.find(kKey);
    if (at == std::string::npos) return {};
    const size_t end = info.find_first_of("\r\n", at);
    return info.substr(at + kKey.size(), end == std::string::npos ? end : end - at - kKey.size());
}

RedisConnection* Self(const redisAsyncContext* ac) {
    return static_cast<RedisConnection*>(ac->data);
}

}  // namespace

uint64_t MonotonicMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

bool VersionAtLeast(const std::string& version, int major, int minor) {
    int ma = 0;
    int mi = 0;
    if (std::sscanf(version.c_str(), "%d.%d", &ma, &mi) != 2) return false;
    return ma > major || (ma == major && mi >= minor);
}

RedisConnection::RedisConnection(MessageLoop& loop) : loop_(loop) {}

RedisConnection::~RedisConnection() {
    Close();
    if (timer_ != 0) loop_.StopTimer(timer_);
}

void RedisConnection::Connect(const RedisUrl& url, ConnectHandler done, uint32_t limitMs) {
    Close();
    url_ = url;
    connectDone_ = std::move(done);
    connectDeadline_ = MonotonicMs() + limitMs;
    if (timer_ == 0) timer_ = loop_.StartTimer(250, [this] { OnTick(); });
    if (url.IsUnix() || IsAddress(url.host)) {
        loop_.Post([this, alive = token_.Weak()] {
            if (!alive.expired() && connectDone_) Open(url_.IsUnix() ? "" : url_.host);
        });
        return;
    }
    // hiredis would look the name up with a blocking call: the program's
    // own resolver does it on the loop.
    if (!resolver_) resolver_ = std::make_unique<HostResolver>(loop_, "");
    lookup_ = resolver_->LookupForward(
        url.host, [this](int error, const std::vector<std::string>& addresses) {
            lookup_ = 0;
            if (error != 0 || addresses.empty())
                return Fail("cannot find the address of " + url_.host);
            Open(addresses.front());
        });
    if (lookup_ == 0) Fail("cannot look up " + url_.host);
}

void RedisConnection::Open(const std::string& address) {
    ac_ = url_.IsUnix() ? redisAsyncConnectUnix(url_.socketPath.c_str())
                        : redisAsyncConnect(address.c_str(), url_.port);
    if (ac_ == nullptr) return Fail("out of memory");
    if (ac_->err != 0) {
        const std::string message = ac_->errstr;
        redisAsyncFree(ac_);
        ac_ = nullptr;
        return Fail(message);
    }
    Attach();
}

void RedisConnection::Attach() {
    ac_->data = this;
    ac_->ev.data = this;
    ac_->ev.addRead = &AddRead;
    ac_->ev.delRead = &DelRead;
    ac_->ev.addWrite = &AddWrite;
    ac_->ev.delWrite = &DelWrite;
    ac_->ev.cleanup = &Cleanup;
    redisAsyncSetConnectCallback(ac_, &OnConnected);
    redisAsyncSetDisconnectCallback(ac_, &OnDisconnected);
    watch_ = loop_.WatchFd(ac_->c.fd, kFdNone, [this](unsigned r) { OnReady(r); });
    if (watch_ == 0) return Fail("cannot watch the connection");
    AddWrite(this);  // the connect finishes with the first writable
}

void RedisConnection::OnConnected(const redisAsyncContext* ac, int status) {
    RedisConnection* self = Self(ac);
    if (self == nullptr) return;
    if (status != REDIS_OK) {
        // hiredis frees the context after this call.
        const std::string message = ac->errstr != nullptr ? ac->errstr : "connect failed";
        self->loop_.Post([self, message, alive = self->token_.Weak()] {
            if (!alive.expired()) self->Fail(message);
        });
        return;
    }
    self->LogIn();
}

void RedisConnection::LogIn() {
    auto step = [this](const RedisValue& reply, const char* what) {
        if (reply.IsError()) HandshakeDone(std::string(what) + ": " + reply.text);
        return !reply.IsError();
    };
    if (!url_.password.empty()) {
        std::vector<std::string> auth = {"AUTH"};
        if (!url_.user.empty()) auth.push_back(url_.user);
        auth.push_back(url_.password);
        Send(
            auth, [step](const RedisValue& r) { step(r, "the login was refused"); }, 0);
    }
    if (url_.db != 0)
        Send(
            {"SELECT", std::to_string(url_.db)},
            [step](const RedisValue& r) { step(r, "cannot select the database"); }, 0);
    Send(
        {"INFO", "server"},
        [this, step](const RedisValue& r) {
            if (!connectDone_ || !step(r, "the server refused INFO")) return;
            version_ = VersionOf(r.text);
            if (!VersionAtLeast(version_, 6, 2))
                return HandshakeDone(
                    "the server is Redis " +
                    (version_.empty() ? std::string("of an unknown version") : version_) +
                    "; the cluster needs 6.2 or later");
            HandshakeDone("");
        },
        0);
}

void RedisConnection::HandshakeDone(const std::string& error) {
    if (!connectDone_) return;  // an earlier step failed already
    if (!error.empty()) return Fail(error);
    ready_ = true;
    ConnectHandler done = std::move(connectDone_);
    connectDone_ = nullptr;
    done("");
}

void RedisConnection::Fail(const std::string& message) {
    Close();
    if (!connectDone_) return;
    ConnectHandler done = std::move(connectDone_);
    connectDone_ = nullptr;
    done(url_.Display() + ": " + message);
}

bool RedisConnection::Command(const std::vector<std::string>& args, ReplyHandler handler,
                              uint32_t limitMs) {
    if (!ready_) return false;
    return Send(args, std::move(handler), limitMs == 0 ? kDefaultLimitMs : limitMs);
}

bool RedisConnection::Send(const std::vector<std::string>& args, ReplyHandler handler,
                           uint32_t limitMs) {
    if (ac_ == nullptr) return false;
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    argv.reserve(args.size());
    lengths.reserve(args.size());
    for (const std::string& a : args) {
        argv.push_back(a.data());
        lengths.push_back(a.size());
    }
    if (redisAsyncCommandArgv(ac_, &OnReply, this, static_cast<int>(args.size()), argv.data(),
                              lengths.data()) != REDIS_OK)
        return false;
    // The handshake's commands run under the connect's own limit.
    const uint64_t deadline = limitMs == 0 ? connectDeadline_ : MonotonicMs() + limitMs;
    pending_.push_back({std::move(handler), deadline});
    return true;
}

void RedisConnection::OnReply(redisAsyncContext* ac, void* reply, void* /*privdata*/) {
    RedisConnection* self = Self(ac);
    // No reply: the context is being freed; its owner hears of it otherwise.
    if (self == nullptr || reply == nullptr || self->pending_.empty()) return;
    Pending p = std::move(self->pending_.front());
    self->pending_.pop_front();
    if (p.handler) p.handler(FromHiredisReply(static_cast<const redisReply*>(reply)));
}

void RedisConnection::OnDisconnected(const redisAsyncContext* ac, int /*status*/) {
    RedisConnection* self = Self(ac);
    if (self == nullptr) return;  // closed on purpose
    const std::string message = ac->errstr != nullptr && ac->err != 0
                                    ? std::string(ac->errstr)
                                    : std::string("the server closed the connection");
    self->ready_ = false;
    self->pending_.clear();
    // From the loop: the owner may connect again at once.
    self->loop_.Post([self, message, alive = self->token_.Weak()] {
        if (alive.expired()) return;
        if (self->connectDone_) return self->Fail(message);
        if (self->OnLost) self->OnLost(self->url_.Display() + ": " + message);
    });
}

void RedisConnection::Close() {
    if (lookup_ != 0 && resolver_) resolver_->Cancel(lookup_);
    lookup_ = 0;
    ready_ = false;
    pending_.clear();
    if (ac_ == nullptr) return;
    // The context is cut loose first: inside a hiredis callback it is freed
    // only once that returns, and nothing of it may reach this object then.
    redisAsyncContext* ac = ac_;
    ac_ = nullptr;
    if (watch_ != 0) loop_.UnwatchFd(watch_);
    watch_ = 0;
    interest_ = 0;
    ac->data = nullptr;
    ac->ev.data = nullptr;
    redisAsyncFree(ac);
}

void RedisConnection::Drop() {
    Close();
    if (OnLost) OnLost(url_.Display() + ": no reply in time");
}

void RedisConnection::OnTick() {
    const uint64_t now = MonotonicMs();
    if (connectDone_ && now > connectDeadline_) return Fail("no connection in time");
    if (ready_ && !pending_.empty() && now > pending_.front().deadline) Drop();
}

void RedisConnection::OnReady(unsigned readiness) {
    if (ac_ == nullptr) return;
    const bool connecting = (ac_->c.flags & REDIS_CONNECTED) == 0;
    if ((readiness & kFdError) != 0 && connecting) readiness |= kFdWritable;
    if ((readiness & (kFdReadable | kFdError)) != 0 && !connecting) redisAsyncHandleRead(ac_);
    if (ac_ != nullptr && (readiness & kFdWritable) != 0) redisAsyncHandleWrite(ac_);
}

void RedisConnection::UpdateInterest() {
    if (watch_ != 0 && loop_.SetFdInterest(watch_, interest_) != 0) {
        loop_.Post([this, alive = token_.Weak()] {
            if (!alive.expired()) Drop();
        });
    }
}

void RedisConnection::AddRead(void* self) {
    auto* c = static_cast<RedisConnection*>(self);
    if (c == nullptr) return;
    c->interest_ |= kFdReadable;
    c->UpdateInterest();
}

void RedisConnection::DelRead(void* self) {
    auto* c = static_cast<RedisConnection*>(self);
    if (c == nullptr) return;
    c->interest_ &= ~static_cast<unsigned>(kFdReadable);
    c->UpdateInterest();
}

void RedisConnection::AddWrite(void* self) {
    auto* c = static_cast<RedisConnection*>(self);
    if (c == nullptr) return;
    c->interest_ |= kFdWritable;
    c->UpdateInterest();
}

void RedisConnection::DelWrite(void* self) {
    auto* c = static_cast<RedisConnection*>(self);
    if (c == nullptr) return;
    c->interest_ &= ~static_cast<unsigned>(kFdWritable);
    c->UpdateInterest();
}

// hiredis frees the context: the descriptor closes right afterwards.
void RedisConnection::Cleanup(void* self) {
    auto* c = static_cast<RedisConnection*>(self);
    if (c == nullptr) return;
    if (c->watch_ != 0) c->loop_.UnwatchFd(c->watch_, true);
    c->watch_ = 0;
    c->interest_ = 0;
    c->ac_ = nullptr;
}

}  // namespace mv::cluster

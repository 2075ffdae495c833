// One connection to a Redis server, driven by the thread's message loop:
// hiredis's asynchronous context with its read and write hooks on a watch of
// the loop. No thread and no loop of its own.
//
// hiredis 0.14 has no time-outs and looks host names up with a blocking
// call, so this class does both itself: a name is looked up with the
// program's own resolver and hiredis gets the address; the connect with its
// login, and every command, must finish within its time limit, or the
// connection is dropped and reported lost.
//
// Connect logs in (AUTH, with an ACL user when one is given), selects the
// database and makes sure the server is 6.2 or later. Replies come in the
// order the commands were sent. When the connection is lost, the handlers of
// the commands still out are not called; OnLost is, once. The object must not
// be destroyed inside one of its own callbacks (DeleteLater it).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cluster/redis_url.h"
#include "cluster/redis_value.h"
#include "platform/loop/message_loop.h"

struct redisAsyncContext;

namespace mv {
class HostResolver;
}

namespace mv::cluster {

class RedisConnection {
  public:
    using ReplyHandler = std::function<void(const RedisValue& reply)>;
    // An empty message: connected and logged in.
    using ConnectHandler = std::function<void(const std::string& error)>;

    static constexpr uint32_t kDefaultLimitMs = 10000;

    explicit RedisConnection(MessageLoop& loop = MessageLoop::Current());
    ~RedisConnection();
    RedisConnection(const RedisConnection&) = delete;
    RedisConnection& operator=(const RedisConnection&) = delete;

    // Connects and logs in; `done` comes later from the loop, with a message
    // that names the server by its URL without the password.
    void Connect(const RedisUrl& url, ConnectHandler done, uint32_t limitMs = kDefaultLimitMs);
    bool Connected() const { return ready_; }
    // Sends a command; its handler gets the reply (an error reply too). A
    // reply must come within `limitMs` (a blocking command adds its own wait).
    // False, with nothing sent, when not connected.
    bool Command(const std::vector<std::string>& args, ReplyHandler handler,
                 uint32_t limitMs = kDefaultLimitMs);
    size_t Outstanding() const { return pending_.size(); }
    // Drops the connection without OnLost; commands still out get no reply.
    void Close();

    // The connection broke, or a reply did not come in time.
    std::function<void(const std::string& message)> OnLost;

    // The server's version ("7.0.15") once connected.
    const std::string& ServerVersion() const { return version_; }

  private:
    struct Pending {
        ReplyHandler handler;
        uint64_t deadline;  // milliseconds of the monotonic clock
    };

    void Open(const std::string& address);
    void Attach();
    void LogIn();
    void HandshakeDone(const std::string& error);
    void Fail(const std::string& message);
    void Drop();
    void OnReady(unsigned readiness);
    void OnTick();
    void UpdateInterest();
    bool Send(const std::vector<std::string>& args, ReplyHandler handler, uint32_t limitMs);

    static void OnConnected(const redisAsyncContext* ac, int status);
    static void OnDisconnected(const redisAsyncContext* ac, int status);
    static void OnReply(redisAsyncContext* ac, void* reply, void* privdata);
    static void AddRead(void* self);
    static void DelRead(void* self);
    static void AddWrite(void* self);
    static void DelWrite(void* self);
    static void Cleanup(void* self);

    MessageLoop& loop_;
    RedisUrl url_;
    ConnectHandler connectDone_;
    uint64_t connectDeadline_ = 0;
    redisAsyncContext* ac_ = nullptr;
    MessageLoop::WatchId watch_ = 0;
    unsigned interest_ = 0;
    MessageLoop::TimerId timer_ = 0;
    std::unique_ptr<HostResolver> resolver_;
    uint64_t lookup_ = 0;
    std::deque<Pending> pending_;
    bool ready_ = false;
    std::string version_;
    WeakToken token_;
};

// Milliseconds of the monotonic clock (time limits, pauses).
uint64_t MonotonicMs();

// "7.0.15" is at least 6.2.
bool VersionAtLeast(const std::string& version, int major, int minor);

}  // namespace mv::cluster

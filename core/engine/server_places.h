// Politeness towards each mail server of a run: at most `PerServer`
// connections open at once to one server address, and at most `PerMinute`
// new connections a minute to it, spaced evenly. A session asks for a place
// before it connects and gives it back once its connection is closed; a
// session that finds no place waits in line (first come, first served) and is
// told later, from the message loop, that it has one. Nothing blocks: the
// other sessions go on meanwhile.
//
// A server that says it has too many connections gets its limit halved (not
// below 1) for the rest of the run. The connections that were opened under
// the old limit and are refused as well do not halve it again: a burst of
// refusals is one answer.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>

#include "platform/loop/message_loop.h"

namespace mv {

class ServerPlaces {
  public:
    using Granted = std::function<void()>;
    // What a session holds while it waits: 0 = nothing.
    using Ticket = uint64_t;

    explicit ServerPlaces(MessageLoop& loop);
    ~ServerPlaces();
    ServerPlaces(const ServerPlaces&) = delete;
    ServerPlaces& operator=(const ServerPlaces&) = delete;

    // Forgets every server and every waiting session (the start of a run).
    // `perServer` 0: no limit; `perMinute` 0: no rate limit.
    void Reset(int perServer, int perMinute);
    // Whether either limit is set; when neither is, sessions connect at once.
    bool Active() const { return perServer_ > 0 || perMinute_ > 0; }

    // Asks for a place at `server` (its address). Returns 0 when the place is
    // taken at once; otherwise the session waits, and `granted` is called
    // later, from the loop, with the place taken for it.
    Ticket Request(const std::string& server, Granted granted);
    // A waiting session gives up (a time-out, an abort). A place granted to
    // it whose news has not reached it yet is given back.
    void Cancel(Ticket ticket);
    // A place is free again: its connection is closed.
    void Release(const std::string& server);
    // How many times the limit of `server` has been lowered; a session keeps
    // the figure of the moment its place was granted.
    uint32_t Generation(const std::string& server) const;
    // The server answered "too many connections" to a connection granted at
    // `generation`: its limit is halved unless that happened since.
    void TooMany(const std::string& server, uint32_t generation);

    int LimitOf(const std::string& server) const;  // 0: none
    int OpenAt(const std::string& server) const;
    size_t WaitingAt(const std::string& server) const;

  private:
    struct Server {
        int limit = 0;
        int open = 0;
        uint32_t generation = 0;
        bool started = false;  // a connection has been started (lastStart is valid)
        uint32_t lastStart = 0;
        std::deque<Ticket> waiting;
        MessageLoop::TimerId rateTimer = 0;
    };
    struct Waiter {
        std::string server;
        Granted granted;
        bool placeTaken = false;  // granted; the news is on its way
    };

    bool HasRoom(const Server& s) const;
    // Milliseconds until the rate limit lets the next connection start.
    uint32_t RateWait(const Server& s) const;
    void Take(Server& s);
    void Pump(const std::string& name);
    void ArmRateTimer(const std::string& name, Server& s, uint32_t wait);
    void Deliver(Ticket ticket);
    void StopTimers();

    MessageLoop& loop_;
    int perServer_ = 0;
    int perMinute_ = 0;
    std::unordered_map<std::string, Server> servers_;
    std::unordered_map<Ticket, Waiter> waiters_;
    Ticket nextTicket_ = 1;
    WeakToken token_;
};

}  // namespace mv

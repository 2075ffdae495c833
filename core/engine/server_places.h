// Politeness towards each mail server group of a run (the registered domain
// of its host names, server_group.h): at most `PerServer` connections open at
// once to one group, at most `PerMinute` new connections a minute to it,
// spaced evenly, and pauses that belong to the group, not to a session.
//
// A place is taken when an address of the group is taken (a reservation) or
// before a connection to one of its hosts, and given back once the connection
// is closed, or when the address ends without one. The scheduler asks with
// TryTake and never waits; a session falling back to another host may wait in
// line (Request) and is told later, from the message loop, that it has one.
// OnRoom tells when a group that turned someone away may have room again: a
// place given back, the rate timer, the end of a pause.
//
// A group that says it has too many connections gets its limit halved (not
// below 1) for the rest of the run and is paused; the connections that were
// opened under the old limit and are refused as well do not halve it again:
// a burst of refusals is one answer. After 2 x limit failures in a row
// (time-outs, "too many connections", reputation refusals) without a success
// the group is dead: paused for a back-off of 5 minutes, doubled at every
// death up to 30. A group that refuses this computer itself (a block list) is
// dead at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>

#include "engine/result_verdict.h"
#include "platform/loop/message_loop.h"

namespace mv {

// What killed a group: its last failure, for the addresses it leaves unchecked.
struct GroupFailure {
    int code = 0;
    SmtpStage stage = SmtpStage::kNone;
    std::string reply;
    int inARow = 0;         // failures in a row
    bool blocking = false;  // it refused this computer (a block list)
};

class ServerPlaces {
  public:
    using Granted = std::function<void()>;
    // What a session holds while it waits: 0 = nothing.
    using Ticket = uint64_t;

    static constexpr uint32_t kFirstBackOffMs = 5 * 60 * 1000;
    static constexpr uint32_t kLongestBackOffMs = 30 * 60 * 1000;

    explicit ServerPlaces(MessageLoop& loop);
    ~ServerPlaces();
    ServerPlaces(const ServerPlaces&) = delete;
    ServerPlaces& operator=(const ServerPlaces&) = delete;

    // Forgets every group and every waiting session (the start of a run).
    // `perServer` 0: no limit; `perMinute` 0: no rate limit.
    void Reset(int perServer, int perMinute);
    // Whether either limit is set; when neither is, sessions connect at once.
    bool Active() const { return perServer_ > 0 || perMinute_ > 0; }
    // The first back-off of a dead group (tests shorten it).
    void SetBackOffMs(uint32_t ms) { backOffMs_ = ms; }

    // Takes a place at once when the group has room, its rate allows a new
    // connection, it is not paused and nobody waits in line; otherwise false,
    // and OnRoom follows once that may have changed.
    bool TryTake(const std::string& group);
    // Asks for a place, waiting in line when there is none. Returns 0 when
    // the place is taken at once; otherwise `granted` is called later, from
    // the loop, with the place taken.
    Ticket Request(const std::string& group, Granted granted);
    // A waiting session gives up. A place granted to it whose news has not
    // reached it yet is given back.
    void Cancel(Ticket ticket);
    // A place is free again: its connection is closed, or never opened.
    void Release(const std::string& group);

    // How many times the limit of `group` has been lowered; a session keeps
    // the figure of the moment its place was granted.
    uint32_t Generation(const std::string& group) const;
    // The group answered "too many connections" to a connection granted at
    // `generation`: its limit is halved unless that happened since.
    void TooMany(const std::string& group, uint32_t generation);
    // Stops new connections to the group for `ms`.
    void Pause(const std::string& group, uint32_t ms);
    // A conversation got past HELO: the failures in a row start again.
    void Success(const std::string& group);
    // A failure of the group; true when it made the group dead.
    bool Failure(const std::string& group, const GroupFailure& failure);
    // The group refuses this computer: dead at once; true when it was not yet.
    bool Block(const std::string& group, const GroupFailure& failure);
    bool Dead(const std::string& group) const;
    const GroupFailure* LastFailure(const std::string& group) const;

    int LimitOf(const std::string& group) const;  // 0: none
    int OpenAt(const std::string& group) const;
    size_t WaitingAt(const std::string& group) const;
    bool HasRoom(const std::string& group) const;

    // A group that turned a caller away may have room again.
    std::function<void(const std::string& group)> OnRoom;

  private:
    struct Server {
        int limit = 0;
        int open = 0;
        uint32_t generation = 0;
        bool started = false;  // a connection has been started (lastStart is valid)
        uint32_t lastStart = 0;
        bool pausedUntilSet = false;
        uint32_t pausedUntil = 0;
        bool dead = false;
        uint32_t backOffMs = 0;  // the next death's back-off
        GroupFailure last;
        bool turnedAway = false;  // TryTake said no: tell OnRoom
        std::deque<Ticket> waiting;
        MessageLoop::TimerId timer = 0;  // rate or pause
    };
    struct Waiter {
        std::string group;
        Granted granted;
        bool placeTaken = false;  // granted; the news is on its way
    };

    Server& At(const std::string& group);
    bool Room(const Server& s) const;
    // Milliseconds until the group may start a connection: its pause, then
    // its rate; 0 when it may now.
    uint32_t Wait(const Server& s) const;
    void Take(Server& s);
    void Pump(const std::string& name);
    void ArmTimer(const std::string& name, Server& s, uint32_t wait);
    void TellRoom(const std::string& name, Server& s);
    void Deliver(Ticket ticket);
    void StopTimers();

    MessageLoop& loop_;
    int perServer_ = 0;
    int perMinute_ = 0;
    uint32_t backOffMs_ = kFirstBackOffMs;
    std::unordered_map<std::string, Server> servers_;
    std::unordered_map<Ticket, Waiter> waiters_;
    Ticket nextTicket_ = 1;
    WeakToken token_;
};

}  // namespace mv

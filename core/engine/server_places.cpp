#include "engine/server_places.h"

#include <algorithm>

#include "platform/time/tick_count.h"

namespace mv {

namespace {

// Without a limit of connections, failures are counted as if it were the
// default one.
constexpr int kDefaultLimit = 5;

}  // namespace

ServerPlaces::ServerPlaces(MessageLoop& loop) : loop_(loop) {}

ServerPlaces::~ServerPlaces() {
    StopTimers();
}

void ServerPlaces::StopTimers() {
    for (auto& [name, s] : servers_) {
        if (s.timer != 0) loop_.StopTimer(s.timer);
        s.timer = 0;
    }
}

void ServerPlaces::Reset(int perServer, int perMinute) {
    StopTimers();
    servers_.clear();
    waiters_.clear();
    token_.Renew();  // news still on its way belongs to the last run
    perServer_ = std::max(perServer, 0);
    perMinute_ = std::max(perMinute, 0);
}

ServerPlaces::Server& ServerPlaces::At(const std::string& group) {
    auto [it, fresh] = servers_.try_emplace(group);
    if (fresh) {
        it->second.limit = perServer_;
        it->second.backOffMs = backOffMs_;
    }
    return it->second;
}

bool ServerPlaces::Room(const Server& s) const {
    return s.limit == 0 || s.open < s.limit;
}

uint32_t ServerPlaces::Wait(const Server& s) const {
    const uint32_t now = GetTickCount();
    if (s.pausedUntilSet && TickDiff(s.pausedUntil, now) > 0)
        return static_cast<uint32_t>(TickDiff(s.pausedUntil, now));
    if (perMinute_ == 0 || !s.started) return 0;
    const auto spacing = static_cast<int32_t>((60000 + perMinute_ - 1) / perMinute_);
    const int32_t since = TickDiff(now, s.lastStart);
    return since >= spacing ? 0 : static_cast<uint32_t>(spacing - std::max(since, 0));
}

void ServerPlaces::Take(Server& s) {
    ++s.open;
    s.started = true;
    s.lastStart = GetTickCount();
}

bool ServerPlaces::HasRoom(const std::string& group) const {
    const auto it = servers_.find(group);
    if (it == servers_.end()) return true;
    const Server& s = it->second;
    return s.waiting.empty() && Room(s) && Wait(s) == 0;
}

bool ServerPlaces::TryTake(const std::string& group) {
    Server& s = At(group);
    if (s.waiting.empty() && Room(s)) {
        const uint32_t wait = Wait(s);
        if (wait == 0) {
            Take(s);
            return true;
        }
        ArmTimer(group, s, wait);
    }
    s.turnedAway = true;
    return false;
}

ServerPlaces::Ticket ServerPlaces::Request(const std::string& group, Granted granted) {
    Server& s = At(group);
    if (s.waiting.empty() && Room(s) && Wait(s) == 0) {
        Take(s);
        return 0;
    }
    const Ticket ticket = nextTicket_++;
    waiters_.emplace(ticket, Waiter{group, std::move(granted)});
    s.waiting.push_back(ticket);
    Pump(group);  // a rate wait or a pause needs its timer
    return ticket;
}

void ServerPlaces::Cancel(Ticket ticket) {
    const auto w = waiters_.find(ticket);
    if (w == waiters_.end()) return;
    const std::string group = std::move(w->second.group);
    const bool placeTaken = w->second.placeTaken;
    waiters_.erase(w);
    if (placeTaken) return Release(group);
    const auto s = servers_.find(group);
    if (s == servers_.end()) return;
    auto& line = s->second.waiting;
    line.erase(std::remove(line.begin(), line.end(), ticket), line.end());
    if (line.empty()) TellRoom(group, s->second);
}

void ServerPlaces::Release(const std::string& group) {
    const auto s = servers_.find(group);
    if (s == servers_.end() || s->second.open == 0) return;
    --s->second.open;
    Pump(group);
}

// Gives the free places to the first waiting sessions; their news goes
// through the loop, so that no session's step runs inside another's. With
// nobody in line, the callers turned away hear of the room.
void ServerPlaces::Pump(const std::string& name) {
    Server& s = servers_[name];
    while (!s.waiting.empty() && Room(s)) {
        const uint32_t wait = Wait(s);
        if (wait > 0) return ArmTimer(name, s, wait);
        const Ticket ticket = s.waiting.front();
        s.waiting.pop_front();
        Take(s);
        waiters_.at(ticket).placeTaken = true;
        loop_.Post([this, ticket, alive = token_.Weak()] {
            if (!alive.expired()) Deliver(ticket);
        });
    }
    if (s.waiting.empty() && Room(s)) {
        const uint32_t wait = Wait(s);
        if (wait > 0 && s.turnedAway) return ArmTimer(name, s, wait);
        TellRoom(name, s);
    }
}

void ServerPlaces::TellRoom(const std::string& name, Server& s) {
    if (!s.turnedAway || !Room(s) || Wait(s) > 0) return;
    s.turnedAway = false;
    if (OnRoom) OnRoom(name);
}

void ServerPlaces::ArmTimer(const std::string& name, Server& s, uint32_t wait) {
    if (s.timer != 0) return;
    s.timer = loop_.StartTimer(std::max<uint32_t>(wait, 1), [this, name] {
        Server& server = servers_[name];
        loop_.StopTimer(server.timer);
        server.timer = 0;
        Pump(name);
    });
}

void ServerPlaces::Deliver(Ticket ticket) {
    const auto w = waiters_.find(ticket);
    if (w == waiters_.end()) return;  // cancelled meanwhile; the place went back then
    Granted granted = std::move(w->second.granted);
    waiters_.erase(w);
    granted();
}

uint32_t ServerPlaces::Generation(const std::string& group) const {
    const auto s = servers_.find(group);
    return s == servers_.end() ? 0 : s->second.generation;
}

void ServerPlaces::TooMany(const std::string& group, uint32_t generation) {
    const auto it = servers_.find(group);
    if (it == servers_.end() || it->second.generation != generation) return;
    Server& s = it->second;
    // Without a limit of its own, the group has just shown how many it takes.
    const int base = s.limit > 0 ? s.limit : s.open;
    s.limit = std::max(1, base / 2);
    ++s.generation;
}

void ServerPlaces::Pause(const std::string& group, uint32_t ms) {
    Server& s = At(group);
    const uint32_t until = GetTickCount() + std::max<uint32_t>(ms, 1);
    // A pause never shortens a longer one (a dead group's back-off).
    if (s.pausedUntilSet && TickDiff(s.pausedUntil, until) >= 0) return;
    s.pausedUntilSet = true;
    s.pausedUntil = until;
    if (s.timer != 0) loop_.StopTimer(s.timer);
    s.timer = 0;
    ArmTimer(group, s, ms);
}

void ServerPlaces::Success(const std::string& group) {
    Server& s = At(group);
    s.last.inARow = 0;
    if (!s.dead || s.last.blocking) return;
    s.dead = false;
    s.backOffMs = backOffMs_;
}

bool ServerPlaces::Failure(const std::string& group, const GroupFailure& failure) {
    Server& s = At(group);
    const int inARow = s.last.inARow + 1;
    const bool blocking = s.last.blocking;
    s.last = failure;
    s.last.inARow = inARow;
    s.last.blocking = blocking;
    // The limit as set, not as halved: a busy server is not dead.
    const int limit = perServer_ > 0 ? perServer_ : kDefaultLimit;
    if (s.dead || inARow < 2 * limit) return false;
    s.dead = true;
    Pause(group, s.backOffMs);
    s.backOffMs = std::min(s.backOffMs * 2, kLongestBackOffMs);
    return true;
}

bool ServerPlaces::Block(const std::string& group, const GroupFailure& failure) {
    Server& s = At(group);
    const bool was = s.dead;
    const int inARow = s.last.inARow + 1;
    s.last = failure;
    s.last.inARow = inARow;
    s.last.blocking = true;
    if (was) return false;
    s.dead = true;
    Pause(group, s.backOffMs);
    s.backOffMs = std::min(s.backOffMs * 2, kLongestBackOffMs);
    return true;
}

bool ServerPlaces::Dead(const std::string& group) const {
    const auto s = servers_.find(group);
    return s != servers_.end() && s->second.dead;
}

const GroupFailure* ServerPlaces::LastFailure(const std::string& group) const {
    const auto s = servers_.find(group);
    return s == servers_.end() ? nullptr : &s->second.last;
}

int ServerPlaces::LimitOf(const std::string& group) const {
    const auto s = servers_.find(group);
    return s == servers_.end() ? perServer_ : s->second.limit;
}

int ServerPlaces::OpenAt(const std::string& group) const {
    const auto s = servers_.find(group);
    return s == servers_.end() ? 0 : s->second.open;
}

size_t ServerPlaces::WaitingAt(const std::string& group) const {
    const auto s = servers_.find(group);
    return s == servers_.end() ? 0 : s->second.waiting.size();
}

}  // namespace mv

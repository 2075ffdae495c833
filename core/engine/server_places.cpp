#include "engine/server_places.h"

#include <algorithm>

#include "platform/time/tick_count.h"

namespace mv {

ServerPlaces::ServerPlaces(MessageLoop& loop) : loop_(loop) {}

ServerPlaces::~ServerPlaces() {
    StopTimers();
}

void ServerPlaces::StopTimers() {
    for (auto& [name, s] : servers_) {
        if (s.rateTimer != 0) loop_.StopTimer(s.rateTimer);
        s.rateTimer = 0;
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

bool ServerPlaces::HasRoom(const Server& s) const {
    return s.limit == 0 || s.open < s.limit;
}

uint32_t ServerPlaces::RateWait(const Server& s) const {
    if (perMinute_ == 0 || !s.started) return 0;
    const auto spacing = static_cast<int32_t>((60000 + perMinute_ - 1) / perMinute_);
    const int32_t since = TickDiff(GetTickCount(), s.lastStart);
    return since >= spacing ? 0 : static_cast<uint32_t>(spacing - std::max(since, 0));
}

void ServerPlaces::Take(Server& s) {
    ++s.open;
    s.started = true;
    s.lastStart = GetTickCount();
}

ServerPlaces::Ticket ServerPlaces::Request(const std::string& server, Granted granted) {
    auto [it, fresh] = servers_.try_emplace(server);
    Server& s = it->second;
    if (fresh) s.limit = perServer_;
    if (s.waiting.empty() && HasRoom(s) && RateWait(s) == 0) {
        Take(s);
        return 0;
    }
    const Ticket ticket = nextTicket_++;
    waiters_.emplace(ticket, Waiter{server, std::move(granted)});
    s.waiting.push_back(ticket);
    Pump(server);  // a rate wait needs its timer
    return ticket;
}

void ServerPlaces::Cancel(Ticket ticket) {
    const auto w = waiters_.find(ticket);
    if (w == waiters_.end()) return;
    const std::string server = std::move(w->second.server);
    const bool placeTaken = w->second.placeTaken;
    waiters_.erase(w);
    if (placeTaken) return Release(server);
    const auto s = servers_.find(server);
    if (s == servers_.end()) return;
    auto& line = s->second.waiting;
    line.erase(std::remove(line.begin(), line.end(), ticket), line.end());
}

void ServerPlaces::Release(const std::string& server) {
    const auto s = servers_.find(server);
    if (s == servers_.end() || s->second.open == 0) return;
    --s->second.open;
    Pump(server);
}

// Gives the free places to the first waiting sessions; their news goes
// through the loop, so that no session's step runs inside another's.
void ServerPlaces::Pump(const std::string& name) {
    Server& s = servers_[name];
    while (!s.waiting.empty() && HasRoom(s)) {
        const uint32_t wait = RateWait(s);
        if (wait > 0) return ArmRateTimer(name, s, wait);
        const Ticket ticket = s.waiting.front();
        s.waiting.pop_front();
        Take(s);
        waiters_.at(ticket).placeTaken = true;
        loop_.Post([this, ticket, alive = token_.Weak()] {
            if (!alive.expired()) Deliver(ticket);
        });
    }
}

void ServerPlaces::ArmRateTimer(const std::string& name, Server& s, uint32_t wait) {
    if (s.rateTimer != 0) return;
    s.rateTimer = loop_.StartTimer(wait, [this, name] {
        Server& server = servers_[name];
        loop_.StopTimer(server.rateTimer);
        server.rateTimer = 0;
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

uint32_t ServerPlaces::Generation(const std::string& server) const {
    const auto s = servers_.find(server);
    return s == servers_.end() ? 0 : s->second.generation;
}

void ServerPlaces::TooMany(const std::string& server, uint32_t generation) {
    const auto it = servers_.find(server);
    if (it == servers_.end() || it->second.generation != generation) return;
    Server& s = it->second;
    // Without a limit of its own, the server has just shown how many it takes.
    const int base = s.limit > 0 ? s.limit : s.open;
    s.limit = std::max(1, base / 2);
    ++s.generation;
}

int ServerPlaces::LimitOf(const std::string& server) const {
    const auto s = servers_.find(server);
    return s == servers_.end() ? perServer_ : s->second.limit;
}

int ServerPlaces::OpenAt(const std::string& server) const {
    const auto s = servers_.find(server);
    return s == servers_.end() ? 0 : s->second.open;
}

size_t ServerPlaces::WaitingAt(const std::string& server) const {
    const auto s = servers_.find(server);
    return s == servers_.end() ? 0 : s->second.waiting.size();
}

}  // namespace mv

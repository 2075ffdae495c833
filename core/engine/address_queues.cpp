#include "engine/address_queues.h"

#include "engine/server_places.h"
#include "platform/resolver/hosts_file.h"

namespace mv {

namespace {

// As much of a domain as a session asks the name server for.
constexpr size_t kMaxDomain = 10000;

std::string DomainText(std::string_view address) {
    const size_t at = address.find('@');
    std::string_view domain = at == std::string_view::npos ? address : address.substr(at + 1);
    return LowerCase(std::string(domain.substr(0, kMaxDomain)));
}

}  // namespace

void AddressQueues::Reset(bool byHost) {
    byHost_ = byHost;
    next_.clear();
    domains_.clear();
    domainIds_.clear();
    groups_.clear();
    groupIds_.clear();
    hosts_.clear();
    eligible_.clear();
    late_.clear();
    queued_ = deadQueued_ = unknownDomains_ = 0;
}

uint32_t AddressQueues::DomainId(std::string_view name) {
    const auto [it, fresh] =
        domainIds_.try_emplace(std::string(name), static_cast<uint32_t>(domains_.size()));
    if (!fresh) return it->second;
    Domain& d = domains_.emplace_back();
    // An empty domain has no server to learn: its sessions wait for the watchdog.
    if (name.empty())
        d.state = State::kFree;
    else
        ++unknownDomains_;
    return it->second;
}

uint32_t AddressQueues::GroupId(const std::string& name) {
    const auto [it, fresh] = groupIds_.try_emplace(name, static_cast<uint32_t>(groups_.size()));
    if (fresh) groups_.emplace_back().name = name;
    return it->second;
}

void AddressQueues::AddQueued(Domain& d, int delta) {
    queued_ += delta;
    d.queued += delta;
    if (d.state != State::kKnown) return;
    Group& g = groups_[d.group];
    g.queued += delta;
    if (g.dead) deadQueued_ += delta;
}

AddressQueues::Position AddressQueues::PopFront(Domain& d) {
    const Position p = d.head;
    d.head = next_[p];
    if (d.head == kNone) d.tail = kNone;
    next_[p] = kNone;
    AddQueued(d, -1);
    return p;
}

// Takes a domain out of the set it is in (the domains that may go, or its
// group's), and its group out of line when that changes the group's key.
void AddressQueues::Unplace(uint32_t id) {
    Domain& d = domains_[id];
    if (d.key == kNone) return;
    if (d.state == State::kKnown) {
        groups_[d.group].domains.erase({d.key, id});
        if (byHost_) hosts_[d.host].erase({d.key, id});
        d.key = kNone;
        return Rekey(d.group);
    }
    eligible_.erase({d.key, id});
    d.key = kNone;
}

void AddressQueues::Place(uint32_t id) {
    Domain& d = domains_[id];
    if (d.queued == 0 || d.state == State::kScouting) return;
    d.key = d.head;
    if (d.state != State::kKnown) {
        eligible_.insert({d.key, id});
        return;
    }
    groups_[d.group].domains.insert({d.key, id});
    if (byHost_) hosts_[d.host].insert({d.key, id});
    Rekey(d.group);
}

// A group stands in line by its first address, among the dead groups when
// it is dead, and not at all while it waits for room.
void AddressQueues::Rekey(uint32_t groupId) {
    Group& g = groups_[groupId];
    const uint32_t node = groupId | kGroupBit;
    if (g.key != kNone) (g.inLate ? late_ : eligible_).erase({g.key, node});
    g.key = kNone;
    if (g.blocked || g.domains.empty()) return;
    g.key = g.domains.begin()->first;
    g.inLate = g.dead;
    (g.inLate ? late_ : eligible_).insert({g.key, node});
}

void AddressQueues::Append(Position position, std::string_view address) {
    if (position >= next_.size()) next_.resize(static_cast<size_t>(position) + 1, kNone);
    const uint32_t id = DomainId(DomainText(address));
    Domain& d = domains_[id];
    next_[position] = kNone;
    if (d.tail == kNone) {
        d.head = d.tail = position;
        AddQueued(d, 1);
        return Place(id);
    }
    next_[d.tail] = position;
    d.tail = position;
    AddQueued(d, 1);
}

uint32_t AddressQueues::DomainOf(std::string_view address) {
    return DomainId(DomainText(address));
}

bool AddressQueues::AnyEligible() const {
    for (const KeySet* line : {&eligible_, &late_}) {
        for (const Key& key : *line) {
            if ((key.second & kGroupBit) == 0) return true;
            if (places_.HasRoom(groups_[key.second & ~kGroupBit].name)) return true;
        }
    }
    return false;
}

// The dead groups' addresses go after all other work; when nothing else is
// left, the caller ends them instead (TakeDeadLeft).
AddressQueues::Outcome AddressQueues::Take(Taken& out) {
    for (;;) {
        if (eligible_.empty() && OnlyDeadLeft()) return Outcome::kBlocked;
        KeySet* line = !eligible_.empty() ? &eligible_ : !late_.empty() ? &late_ : nullptr;
        if (line == nullptr) return queued_ > 0 ? Outcome::kBlocked : Outcome::kEmpty;
        const uint32_t node = line->begin()->second;
        uint32_t id = node;
        out.group.clear();
        if ((node & kGroupBit) != 0) {
            const uint32_t groupId = node & ~kGroupBit;
            Group& g = groups_[groupId];
            if (!places_.TryTake(g.name)) {
                g.blocked = true;  // until its places tell of room
                Rekey(groupId);
                continue;
            }
            out.group = g.name;
            id = g.domains.begin()->second;
        }
        Domain& d = domains_[id];
        Unplace(id);
        out.position = PopFront(d);
        out.domain = id;
        out.scout = d.state == State::kUnknown;
        if (out.scout) d.state = State::kScouting;  // the rest waits for its answer
        Place(id);
        return Outcome::kTaken;
    }
}

void AddressQueues::Learnt(uint32_t domain, const std::string& group,
                           const std::string& firstHost) {
    Domain& d = domains_[domain];
    if (d.state != State::kScouting && d.state != State::kUnknown) return;
    Unplace(domain);
    --unknownDomains_;
    if (group.empty()) {
        d.state = State::kFree;
    } else {
        d.state = State::kKnown;
        d.group = GroupId(group);
        d.host = LowerCase(firstHost);
        Group& g = groups_[d.group];
        g.queued += d.queued;
        if (g.dead) deadQueued_ += d.queued;
    }
    Place(domain);
}

void AddressQueues::PutBack(Position position, uint32_t domain) {
    Domain& d = domains_[domain];
    Unplace(domain);
    if (d.state == State::kScouting) d.state = State::kUnknown;
    next_[position] = d.head;
    d.head = position;
    if (d.tail == kNone) d.tail = position;
    AddQueued(d, 1);
    Place(domain);
}

bool AddressQueues::TakeForHost(const std::string& host, Taken& out) {
    const auto it = hosts_.find(LowerCase(host));
    if (it == hosts_.end() || it->second.empty()) return false;
    const uint32_t id = it->second.begin()->second;
    Domain& d = domains_[id];
    if (groups_[d.group].dead) return false;
    Unplace(id);
    out.position = PopFront(d);
    out.domain = id;
    out.scout = false;
    out.group.clear();
    Place(id);
    return true;
}

void AddressQueues::GroupRoom(const std::string& group) {
    const auto it = groupIds_.find(group);
    if (it == groupIds_.end() || !groups_[it->second].blocked) return;
    groups_[it->second].blocked = false;
    Rekey(it->second);
}

void AddressQueues::GroupDied(const std::string& group) {
    const uint32_t id = GroupId(group);
    Group& g = groups_[id];
    if (g.dead) return;
    g.dead = true;
    deadQueued_ += g.queued;
    Rekey(id);
}

void AddressQueues::GroupRevived(const std::string& group) {
    const auto it = groupIds_.find(group);
    if (it == groupIds_.end() || !groups_[it->second].dead) return;
    Group& g = groups_[it->second];
    g.dead = false;
    deadQueued_ -= g.queued;
    Rekey(it->second);
}

std::vector<AddressQueues::Position> AddressQueues::TakeAll() {
    std::vector<Position> taken;
    for (uint32_t id = 0; id < domains_.size(); ++id) {
        Domain& d = domains_[id];
        Unplace(id);
        while (d.queued > 0)
            taken.push_back(PopFront(d));
    }
    return taken;
}

std::vector<std::pair<AddressQueues::Position, std::string>> AddressQueues::TakeDeadLeft() {
    std::vector<std::pair<Position, std::string>> taken;
    for (uint32_t groupId = 0; groupId < groups_.size(); ++groupId) {
        Group& g = groups_[groupId];
        while (g.dead && !g.domains.empty()) {
            const uint32_t id = g.domains.begin()->second;
            Domain& d = domains_[id];
            Unplace(id);
            while (d.queued > 0)
                taken.emplace_back(PopFront(d), g.name);
        }
    }
    return taken;
}

}  // namespace mv

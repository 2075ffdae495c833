// The order in which a run with politeness per server takes its addresses:
// one queue per mail domain, in list order, and the smallest list position
// among the domains that may go now.
//
// A domain may go while its server is unknown and no address of it is out to
// learn it (the scout), while it has no server to be polite to (its MX query
// failed, or the scout gave up), and while its server group has room (a
// place is reserved for the address taken). A group without room is set
// aside until its places tell of room again (GroupRoom). A dead group's
// domains go after every other domain. Nothing here walks all domains: the
// domains that may go, and the domains of each group, are kept ordered by the
// position of their first address.
//
// Positions are those of the run's list of addresses (or of addresses added
// later); the queues keep no text but each domain's name.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace mv {

class ServerPlaces;

class AddressQueues {
  public:
    using Position = uint32_t;
    static constexpr uint32_t kNone = UINT32_MAX;

    struct Taken {
        Position position = 0;
        uint32_t domain = 0;
        bool scout = false;  // the domain's server is being learnt by this address
        std::string group;   // the group whose place was reserved; empty: none
    };
    enum class Outcome { kTaken, kBlocked, kEmpty };

    explicit AddressQueues(ServerPlaces& places) : places_(places) {}

    // Forgets everything; `byHost`: keep the domains of each first mail host
    // ordered too, for TakeForHost.
    void Reset(bool byHost);
    // Puts the address at `position` at the end of its domain's queue (the
    // domain is the text after the first "@", in lower case).
    void Append(Position position, std::string_view address);
    Outcome Take(Taken& out);
    // The scout of `domain` has its answer: the domain's server group and
    // first mail host, or no group at all (no host to be polite to).
    void Learnt(uint32_t domain, const std::string& group, const std::string& firstHost);
    // Puts a taken address back at the front of its domain's queue.
    void PutBack(Position position, uint32_t domain);
    // The next address whose domain's first mail host is `host`, without a
    // place reserved (it rides on a connection open to that host).
    bool TakeForHost(const std::string& host, Taken& out);
    // A group may have room again, died, or came back from the dead.
    void GroupRoom(const std::string& group);
    void GroupDied(const std::string& group);
    void GroupRevived(const std::string& group);

    size_t Queued() const { return queued_; }
    // Whether an address could be taken now (without taking a place).
    bool AnyEligible() const;
    // The domain of an address, as Append files it.
    uint32_t DomainOf(std::string_view address);
    // Every address left waits for a dead group.
    bool OnlyDeadLeft() const { return queued_ > 0 && queued_ == deadQueued_; }
    // Takes every address left, in no particular order.
    std::vector<Position> TakeAll();
    // Takes every address of the dead groups, with the group of each.
    std::vector<std::pair<Position, std::string>> TakeDeadLeft();
    // Domains known so far, and those whose server is still to be learnt.
    size_t Domains() const { return domains_.size(); }
    size_t UnknownDomains() const { return unknownDomains_; }
    // Server groups learnt (distinct groups of the domains' first hosts).
    size_t Groups() const { return groups_.size(); }

  private:
    enum class State { kUnknown, kScouting, kKnown, kFree };
    using Key = std::pair<Position, uint32_t>;  // first position, node
    using KeySet = std::set<Key>;
    struct Domain {
        Position head = kNone;
        Position tail = kNone;
        uint32_t queued = 0;
        State state = State::kUnknown;
        uint32_t group = kNone;
        std::string host;      // first mail host, in lower case (by-host order only)
        Position key = kNone;  // its key in the set it is in; kNone: in none
    };
    struct Group {
        std::string name;
        KeySet domains;  // its domains with addresses, by first position
        uint32_t queued = 0;
        Position key = kNone;  // its key in eligible_ or late_
        bool inLate = false;
        bool blocked = false;  // turned away: waits for GroupRoom
        bool dead = false;
    };
    static constexpr uint32_t kGroupBit = 0x80000000u;

    uint32_t DomainId(std::string_view name);
    uint32_t GroupId(const std::string& name);
    Position PopFront(Domain& d);
    void Unplace(uint32_t id);
    void Place(uint32_t id);
    void Rekey(uint32_t groupId);
    void AddQueued(Domain& d, int delta);

    ServerPlaces& places_;
    bool byHost_ = false;
    std::vector<Position> next_;  // the next position of the same domain, by position
    std::vector<Domain> domains_;
    std::unordered_map<std::string, uint32_t> domainIds_;
    std::vector<Group> groups_;
    std::unordered_map<std::string, uint32_t> groupIds_;
    std::unordered_map<std::string, KeySet> hosts_;  // known domains by first host
    KeySet eligible_;
    KeySet late_;  // dead groups whose back-off is over
    size_t queued_ = 0;
    size_t deadQueued_ = 0;
    size_t unknownDomains_ = 0;
};

}  // namespace mv

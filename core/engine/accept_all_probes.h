// What a run has learnt from its accept-all probes, per mail domain and mail
// host, and the reports that wait for a probe's answer.
//
// A probe (RCPT TO for a made-up address of the domain, after an accepted
// one) tells whether one host accepts every address of one domain. The
// answer belongs to the host that gave it: a domain's first host may know its
// users while its backup takes anything. So what is learnt is keyed by the
// domain in lower case and the mail host's name as listed in the MX answer, in
// lower case, and at most one probe of a key is out at a time.
//
// An address accepted by a host whose probe is out elsewhere does not probe
// again: its report is held here until that probe ends, then it is released
// with the probe's answer. A probe that ends without a lasting answer (a
// temporary refusal, a lost connection, a time-out) releases its held reports
// as they are and leaves the key unknown, so the next accepted address probes
// again. Nothing here touches the network or the loop: the dispatcher (or a
// scheduler) asks and delivers.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/result_finding.h"

namespace mv {

class AcceptAllProbes {
  public:
    enum class State {
        kUnknown,     // never probed, or no lasting answer yet: probe it
        kInFlight,    // a probe is out: wait for its answer
        kAcceptsAll,  // the host accepted a made-up address of the domain
        kRefusesUnknown,
    };

    // A report kept back until the probe of its key ends.
    struct HeldReport {
        int index = 0;  // the recipient index
        int code = 0;
        std::vector<std::string> log;
        ResultFinding finding;
    };

    // Forgets everything (the start of a run).
    void Reset();
    State Of(std::string_view domain, std::string_view host) const;
    // Marks a probe of the key as out; false when the key is known or a probe
    // of it is out already.
    bool Begin(std::string_view domain, std::string_view host);
    // The probe of the key has ended: true, the host accepts every address;
    // false, it refused the made-up one for good; none, no lasting answer.
    // The reports held for it become ready (TakeReady).
    void End(std::string_view domain, std::string_view host, std::optional<bool> acceptsAll);
    // Holds `report` while a probe of the key is out (true); otherwise gives
    // it the key's answer, if one is known, and returns false.
    bool Hold(std::string_view domain, std::string_view host, HeldReport& report);
    // The reports whose probe has ended, in the order they were held.
    std::vector<HeldReport> TakeReady();
    // Every report held or ready, as it stands (the run stops, or no probe
    // can answer any more).
    std::vector<HeldReport> TakeAll();
    // Reports held or ready.
    size_t Holding() const;
    bool AnyReady() const { return !ready_.empty(); }

  private:
    using Key = std::pair<std::string, std::string>;
    struct Entry {
        State state = State::kUnknown;
        std::vector<HeldReport> held;
    };
    static Key KeyOf(std::string_view domain, std::string_view host);
    static void Apply(State state, ResultFinding& finding);

    std::map<Key, Entry> entries_;
    std::vector<HeldReport> ready_;
    size_t holding_ = 0;
};

}  // namespace mv

#include "engine/accept_all_probes.h"

namespace mv {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace

AcceptAllProbes::Key AcceptAllProbes::KeyOf(std::string_view domain, std::string_view host) {
    return {Lower(domain), Lower(host)};
}

// Only a plain acceptance becomes accept-all: a report decided otherwise (by
// another host's refusal, say) keeps its reason.
void AcceptAllProbes::Apply(State state, ResultFinding& finding) {
    if (state != State::kAcceptsAll || finding.reason != Reason::kAccepted) return;
    finding.reason = Reason::kAcceptAll;
    finding.verdict = VerdictOfReason(Reason::kAcceptAll);
}

void AcceptAllProbes::Reset() {
    entries_.clear();
    ready_.clear();
    holding_ = 0;
}

AcceptAllProbes::State AcceptAllProbes::Of(std::string_view domain, std::string_view host) const {
    const auto it = entries_.find(KeyOf(domain, host));
    return it == entries_.end() ? State::kUnknown : it->second.state;
}

bool AcceptAllProbes::Begin(std::string_view domain, std::string_view host) {
    Entry& entry = entries_[KeyOf(domain, host)];
    if (entry.state != State::kUnknown) return false;
    entry.state = State::kInFlight;
    return true;
}

void AcceptAllProbes::End(std::string_view domain, std::string_view host,
                          std::optional<bool> acceptsAll) {
    const auto it = entries_.find(KeyOf(domain, host));
    if (it == entries_.end() || it->second.state != State::kInFlight) return;
    Entry& entry = it->second;
    entry.state = !acceptsAll   ? State::kUnknown
                  : *acceptsAll ? State::kAcceptsAll
                                : State::kRefusesUnknown;
    for (HeldReport& report : entry.held) {
        Apply(entry.state, report.finding);
        ready_.push_back(std::move(report));
    }
    entry.held.clear();
}

bool AcceptAllProbes::Hold(std::string_view domain, std::string_view host, HeldReport& report) {
    const auto it = entries_.find(KeyOf(domain, host));
    if (it == entries_.end()) return false;
    if (it->second.state != State::kInFlight) {
        Apply(it->second.state, report.finding);
        return false;
    }
    it->second.held.push_back(std::move(report));
    ++holding_;
    return true;
}

std::vector<AcceptAllProbes::HeldReport> AcceptAllProbes::TakeReady() {
    std::vector<HeldReport> taken = std::move(ready_);
    ready_.clear();
    holding_ -= taken.size();
    return taken;
}

std::vector<AcceptAllProbes::HeldReport> AcceptAllProbes::TakeAll() {
    std::vector<HeldReport> taken = TakeReady();
    for (auto& [key, entry] : entries_) {
        for (HeldReport& report : entry.held)
            taken.push_back(std::move(report));
        holding_ -= entry.held.size();
        entry.held.clear();
    }
    return taken;
}

size_t AcceptAllProbes::Holding() const {
    return holding_;
}

}  // namespace mv

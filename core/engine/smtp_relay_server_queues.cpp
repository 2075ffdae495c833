// How the sessions of a run get their addresses: in list order, or, with
// politeness per server, from the queues per domain, with parked sessions
// resumed from the loop and the server groups' pauses and deaths (the rest
// of the dispatcher is in smtp_relay_server.cpp).
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"

namespace mv {

void TSmtpRelayServer::BuildQueues() {
    putBack_.clear();
    parked_.clear();
    parkedSlot_.clear();
    counters_ = {};
    mxCache_.Clear();
    groups_.Clear();
    queued_ = places_.Active();
    addressesOnConnection_ = queued_ ? addressesPerConnection_ : 1;
    queues_.Reset(addressesOnConnection_ > 1);
    fedQueued_.clear();
    nextFedPosition_ = static_cast<uint32_t>(recipients_.size());
    if (!queued_) return;
    places_.SetBackOffMs(deadBackOffMs_);
    places_.OnRoom = [this](const std::string& group) { OnGroupRoom(group); };
    for (size_t i = 0; i < recipients_.size(); ++i)
        queues_.Append(static_cast<AddressQueues::Position>(i), recipients_[i].Text);
}

TSmtpRelayServer::Take TSmtpRelayServer::TakeNextAddress(TakenAddress& out) {
    // A deferred address whose delay is over comes before the next new one;
    // in the queues it goes to the front of its domain's.
    while (RecheckDue()) {
        const int index = rechecks_.front().index;
        rechecks_.pop_front();
        ArmRecheckTimer();
        if (queued_) {
            queues_.PutBack(static_cast<AddressQueues::Position>(index),
                            queues_.DomainOf(recipients_[static_cast<size_t>(index)].Text));
            continue;
        }
        out = {};
        out.index = index;
        out.position = static_cast<uint32_t>(index);
        out.address = recipients_[static_cast<size_t>(index)].Text;
        return Take::kTaken;
    }
    if (!queued_) {
        out = {};
        if (nextIndex_ >= recipients_.size())
            return TakeFedAddress(out.index, out.address) ? Take::kTaken : Take::kEnd;
        out.index = static_cast<int>(nextIndex_);
        out.address = recipients_[nextIndex_].Text;
        ++nextIndex_;
        return Take::kTaken;
    }
    for (;;) {
        AddressQueues::Taken taken;
        switch (queues_.Take(taken)) {
            case AddressQueues::Outcome::kTaken:
                FillTaken(taken, out);
                if (queues_.Queued() == 0) WakeParked();  // nothing left: they end
                return Take::kTaken;
            case AddressQueues::Outcome::kEmpty:
                return Take::kEnd;
            case AddressQueues::Outcome::kBlocked:
                if (!queues_.OnlyDeadLeft() || aborted_) return Take::kPark;
                EndDeadLeft();
                if (aborted_) return Take::kEnd;
        }
    }
}

bool TSmtpRelayServer::Release(uint32_t position, int& index, std::string& address) {
    if (position < recipients_.size()) {
        index = static_cast<int>(position);
        address = recipients_[position].Text;
        return true;
    }
    const auto fed = fedQueued_.find(position);
    if (fed == fedQueued_.end()) return false;
    index = fed->second.Tag;
    address = std::move(fed->second.Text);
    fedQueued_.erase(fed);
    return true;
}

void TSmtpRelayServer::FillTaken(const AddressQueues::Taken& taken, TakenAddress& out) {
    out = {};
    Release(taken.position, out.index, out.address);
    out.position = taken.position;
    out.domain = taken.domain;
    out.scout = taken.scout;
    out.group = taken.group;
    const auto again = putBack_.find(out.position);
    if (again == putBack_.end()) return;
    out.begun = true;
    out.resumed = std::move(again->second);
    putBack_.erase(again);
}

bool TSmtpRelayServer::TakeForHost(const std::string& host, TakenAddress& out) {
    AddressQueues::Taken taken;
    if (!queued_ || held_ || aborted_ || RecheckDue() || !queues_.TakeForHost(host, taken))
        return false;
    FillTaken(taken, out);
    ++counters_.reused;
    if (queues_.Queued() == 0) WakeParked();
    return true;
}

void TSmtpRelayServer::PutBack(const TakenAddress& taken, std::optional<AddressTry> tried) {
    if (taken.position >= recipients_.size())
        fedQueued_[taken.position] = {taken.address, taken.index};
    queues_.PutBack(taken.position, taken.domain);
    putBack_[taken.position] = std::move(tried);
    ++counters_.putBacks;
}

void TSmtpRelayServer::ScoutAnswered(uint32_t domain, const std::vector<std::string>& hosts) {
    if (!queued_) return;
    const std::string first = hosts.empty() ? std::string() : hosts.front();
    queues_.Learnt(domain, first.empty() ? std::string() : groups_.Of(first), first);
    if (queues_.UnknownDomains() == 0) runWarnings_.ListServers(queues_.Groups());
    WakeParked();
}

void TSmtpRelayServer::Park(size_t slot) {
    ++counters_.parks;
    if (queues_.AnyEligible()) ++counters_.parkedWhileEligible;
    if (parkedSlot_.size() <= slot) parkedSlot_.resize(slot + 1, false);
    if (parkedSlot_[slot]) return;
    parkedSlot_[slot] = true;
    parked_.push_back(slot);
}

// From the loop: parked sessions take work one after the other until one
// finds none (it parks again) or none is left parked.
void TSmtpRelayServer::WakeParked() {
    if (wakePosted_ || parked_.empty()) return;
    wakePosted_ = true;
    loop_.Post([this, alive = token_.Weak()] {
        if (alive.expired()) return;
        wakePosted_ = false;
        while (!parked_.empty() && !held_) {
            const size_t slot = parked_.front();
            parked_.pop_front();
            parkedSlot_[slot] = false;
            TSmtpThread* s = slot < sessions_.size() ? sessions_[slot].get() : nullptr;
            if (s == nullptr || !s->Parked()) continue;
            s->Resume();
            if (s->Parked()) break;
        }
    });
}

void TSmtpRelayServer::OnGroupRoom(const std::string& group) {
    queues_.GroupRoom(group);
    WakeParked();
}

void TSmtpRelayServer::ServerSucceeded(const std::string& group) {
    if (!places_.Dead(group)) return places_.Success(group);
    places_.Success(group);
    if (places_.Dead(group)) return;  // a blocking group stays dead
    queues_.GroupRevived(group);
    WakeParked();
}

void TSmtpRelayServer::ServerFailed(const std::string& group, const GroupFailure& failure) {
    if (places_.Failure(group, failure)) queues_.GroupDied(group);
}

void TSmtpRelayServer::ServerBlocks(const std::string& group, const GroupFailure& failure) {
    if (places_.Block(group, failure)) queues_.GroupDied(group);
}

// Only dead groups' addresses are left: they end at once, each with its
// group's last failure, and stay marked for a later run.
void TSmtpRelayServer::EndDeadLeft() {
    for (auto& [position, group] : queues_.TakeDeadLeft()) {
        if (aborted_) return;
        int index = 0;
        std::string address;
        if (!Release(position, index, address)) continue;
        const GroupFailure* failure = places_.LastFailure(group);
        const GroupFailure last = failure != nullptr ? *failure : GroupFailure{};
        std::vector<std::string> log;
        ResultFinding finding;
        const auto again = putBack_.find(position);
        if (again != putBack_.end()) {
            if (again->second) log = std::move(again->second->log);
            putBack_.erase(again);
        } else {
            RaiseGetData(index);
        }
        log.push_back("Not checked: mail server " + group + " failed " +
                      std::to_string(last.inARow) + " times in a row");
        ResultEvidence evidence;
        evidence.code = last.code;
        evidence.stage = last.stage;
        evidence.reply = last.reply;
        const ResultMeaning meaning = DescribeResult(evidence);
        finding.verdict = meaning.verdict;
        finding.reason = meaning.reason;
        finding.reply = last.reply;
        finding.enhanced = std::string(EnhancedStatusOf(last.reply));
        ++counters_.notChecked;
        Deliver(index, last.code, log, finding, true);
    }
    WakeParked();
}

}  // namespace mv

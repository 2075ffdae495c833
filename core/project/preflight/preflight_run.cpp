#include "project/preflight/preflight_run.h"

#include <algorithm>

#include "net/socket/local_address.h"
#include "platform/time/tick_count.h"
#include "project/preflight/address_steps.h"
#include "project/preflight/dns_servers_step.h"
#include "project/preflight/outgoing_address.h"
#include "project/preflight/port25_step.h"
#include "project/preflight/sender_steps.h"

namespace mv {

PreflightRun::PreflightRun(MessageLoop& loop, PreflightSettings settings)
    : loop_(loop), settings_(std::move(settings)) {
    dnsServers_ = std::make_unique<DnsServersStep>(loop_, settings_);
    fromDomain_ = std::make_unique<FromDomainStep>(loop_, settings_);
    heloName_ = std::make_unique<HeloNameStep>(loop_, settings_);
    port25_ = std::make_unique<Port25Step>(loop_, settings_);
    reverseName_ = std::make_unique<ReverseNameStep>(loop_, settings_);
    order_ = {dnsServers_.get(), fromDomain_.get(), heloName_.get(), port25_.get(),
              reverseName_.get()};
    for (const std::string& zone : settings_.blockLists) {
        blockLists_.push_back(std::make_unique<BlockListStep>(loop_, settings_, zone));
        order_.push_back(blockLists_.back().get());
    }
    for (PreflightStep* step : order_)
        step->OnDone = [this] { StepDone(); };
    port25_->OnHostAddress = [this](const std::string& a) { AddressFromRoute(a); };
}

PreflightRun::~PreflightRun() {
    if (deadline_ != 0) loop_.StopTimer(deadline_);
    for (PreflightStep* step : order_)
        step->OnDone = nullptr;
}

void PreflightRun::Start() {
    if (started_) return;
    started_ = true;
    startTick_ = GetTickCount();
    deadline_ = loop_.StartTimer(settings_.wholeLimitMs, [this] { Expire(); });
    // The root: a server that works answers it at once, from its cache.
    dnsServers_->Start("");
    fromDomain_->Start();
    heloName_->Start();
    if (!settings_.publicAddress.empty())
        AddressKnown(settings_.publicAddress);
    else if (!settings_.sourceAddress.empty())
        AddressFromSource();
    port25_->Start();
}

std::vector<PreflightItem> PreflightRun::Items() const {
    std::vector<PreflightItem> items;
    for (const PreflightStep* step : order_) {
        items.push_back(step->Item());
        if (!step->Done()) items.back().advice = "checking...";
    }
    return items;
}

bool PreflightRun::Pending(size_t index) const {
    return index < order_.size() && !order_[index]->Done();
}

uint32_t PreflightRun::ElapsedMs() const {
    if (!started_) return 0;
    return (finished_ ? endTick_ : GetTickCount()) - startTick_;
}

void PreflightRun::StepDone() {
    // Without a mail host to look at, the route to the first DNS server shows
    // which address the connections would leave from.
    if (port25_->Done() && !addressDecided_)
        AddressFromRoute(settings_.dnsServers.empty() ? std::string()
                                                      : settings_.dnsServers.front());
    if (OnChanged) OnChanged();
    if (finished_ || !std::all_of(order_.begin(), order_.end(),
                                  [](const PreflightStep* s) { return s->Done(); }))
        return;
    finished_ = true;
    endTick_ = GetTickCount();
    if (deadline_ != 0) loop_.StopTimer(deadline_);
    deadline_ = 0;
    loop_.Post([this, alive = token_.Weak()] {
        if (!alive.expired() && OnFinished) OnFinished();
    });
}

void PreflightRun::AddressFromRoute(const std::string& towards) {
    if (addressDecided_) return;
    OutgoingAddress(IsDottedQuad(towards) ? LocalAddressTowards(towards) : "");
}

// The connections leave from the source address, so the receivers judge it
// (or the router in front of it), whatever the route lookup would say.
void PreflightRun::AddressFromSource() {
    if (CheckLocalAddress(settings_.sourceAddress) == LocalAddressFault::kNone)
        return OutgoingAddress(settings_.sourceAddress);
    addressDecided_ = true;
    SkipAddressChecks("the source address " + settings_.sourceAddress + " cannot be used (see " +
                      port25_->Item().name + ")");
}

void PreflightRun::OutgoingAddress(const std::string& local) {
    if (local.empty()) {
        addressDecided_ = true;
        return SkipAddressChecks("this computer's outgoing address could not be found");
    }
    if (IsPrivateAddress(local)) {
        addressDecided_ = true;
        address_ = local;
        return SkipAddressChecks(
            local +
            " is a private address (behind a router): the receivers see the router's public "
            "address; give that address to check it");
    }
    AddressKnown(local);
}

void PreflightRun::SkipAddressChecks(const std::string& why) {
    reverseName_->Finish(PreflightStatus::kSkipped, why);
    for (auto& b : blockLists_)
        b->Finish(PreflightStatus::kSkipped, why);
}

void PreflightRun::AddressKnown(const std::string& address) {
    addressDecided_ = true;
    address_ = address;
    reverseName_->Start(address);
    for (auto& b : blockLists_)
        b->Start(address);
}

void PreflightRun::Expire() {
    const std::string why =
        "no result within " + std::to_string(settings_.wholeLimitMs / 1000) + " s";
    for (PreflightStep* step : order_)
        if (!step->Done()) step->Finish(PreflightStatus::kWarning, why);
}

}  // namespace mv

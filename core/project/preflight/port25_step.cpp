#include "project/preflight/port25_step.h"

#include <algorithm>

#include "net/socket/local_address.h"
#include "project/preflight/preflight_settings.h"

namespace mv {

Port25Step::Port25Step(MessageLoop& loop, const PreflightSettings& settings)
    : PreflightStep("Outgoing port " + settings.smtpPort),
      smtpPort_(settings.smtpPort),
      sourceAddress_(settings.sourceAddress) {
    const size_t n = std::min(settings.domains.size(), PreflightSettings::kMaxDomains);
    for (size_t i = 0; i < n; ++i) {
        auto probe = std::make_unique<PortProbe>(loop, settings, settings.domains[i]);
        probe->OnDone = [this] { ProbeDone(); };
        probe->OnHostAddress = [this](const std::string& address) {
            if (addressTold_ || !OnHostAddress) return;
            addressTold_ = true;
            OnHostAddress(address);
        };
        probes_.push_back(std::move(probe));
    }
}

std::string Port25Step::SourceAddressFault() const {
    switch (CheckLocalAddress(sourceAddress_)) {
        case LocalAddressFault::kNotAnAddress:
            return "the source address '" + sourceAddress_ +
                   "' is not an IPv4 address: correct it or leave it empty (Tools | Options)";
        case LocalAddressFault::kNotLocal:
            return "the source address " + sourceAddress_ +
                   " is not an address of this computer, so no connection can leave from it: "
                   "correct it or leave it empty (Tools | Options)";
        case LocalAddressFault::kNone:
            break;
    }
    return {};
}

void Port25Step::Start() {
    if (const std::string fault = SourceAddressFault(); !fault.empty())
        return Finish(PreflightStatus::kFailed, fault);
    if (probes_.empty())
        return Finish(PreflightStatus::kSkipped,
                      "no domain to try: give a few domains of your list");
    for (auto& p : probes_)
        p->Start();
}

void Port25Step::ProbeDone() {
    if (std::all_of(probes_.begin(), probes_.end(),
                    [](const auto& p) { return p->Outcome() != ProbeOutcome::kPending; }))
        Conclude();
}

std::string Port25Step::Details() const {
    std::string text;
    for (const auto& p : probes_)
        text += (text.empty() ? "" : ", ") + p->Domain() + " " + p->OutcomeText();
    if (!sourceAddress_.empty()) text += " (from " + sourceAddress_ + ")";
    return text;
}

void Port25Step::Conclude() {
    size_t tried = 0, greeted = 0, connected = 0, timedOut = 0, refused = 0;
    for (const auto& p : probes_) {
        const ProbeOutcome o = p->Outcome();
        tried += o != ProbeOutcome::kNoHost;
        greeted += o == ProbeOutcome::kConnected;
        connected += o == ProbeOutcome::kConnected || o == ProbeOutcome::kNoGreeting;
        timedOut += o == ProbeOutcome::kTimedOut;
        refused += o == ProbeOutcome::kRefused;
    }
    const std::string details = Details();
    if (tried == 0) return Finish(PreflightStatus::kWarning, "no mail server to try: " + details);
    if (greeted == tried) return Finish(PreflightStatus::kOk, details);
    // A silent connection says why in its own words.
    if (connected == tried) return Finish(PreflightStatus::kWarning, details);
    if (connected > 0)
        return Finish(PreflightStatus::kWarning,
                      details + ": some mail servers cannot be reached from here");
    if (timedOut == tried)
        return Finish(PreflightStatus::kFailed,
                      details + ": outgoing port " + smtpPort_ +
                          " is probably blocked by this network or its provider, so every "
                          "check would time out; ask them to open it, or check from another "
                          "computer");
    if (refused == tried)
        return Finish(PreflightStatus::kFailed,
                      details +
                          ": a firewall (this computer's or the network's) rejects "
                          "connections to port " +
                          smtpPort_);
    Finish(PreflightStatus::kFailed, details + ": no mail server could be reached");
}

}  // namespace mv

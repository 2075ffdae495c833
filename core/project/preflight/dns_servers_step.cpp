#include "project/preflight/dns_servers_step.h"

#include <algorithm>

#include "project/preflight/preflight_settings.h"

namespace mv {

namespace {

constexpr int kServerFailure = 2;  // SERVFAIL
constexpr int kRefused = 5;        // REFUSED

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

}  // namespace

DnsServersStep::DnsServersStep(MessageLoop& loop, const PreflightSettings& settings)
    : PreflightStep("DNS servers"),
      loop_(loop),
      servers_(settings.dnsServers),
      limitMs_(settings.dnsTryMs + 1000) {
    for (size_t i = 0; i < servers_.size(); ++i) {
        auto query = std::make_unique<_TDnsQuery>(loop);
        query->SetPort(settings.dnsPort);
        query->SetAddr(servers_[i]);
        query->OnRequestDone = [this, i](_TDnsQuery* q, uint16_t error) {
            if (error == 0) Answered(i, q->ResponseCode());
        };
        queries_.push_back(std::move(query));
    }
    answered_.assign(servers_.size(), false);
    failure_.assign(servers_.size(), 0);
}

DnsServersStep::~DnsServersStep() {
    if (timer_ != 0) loop_.StopTimer(timer_);
    for (auto& q : queries_)
        q->OnRequestDone = nullptr;
}

void DnsServersStep::Start(const std::string& name) {
    if (servers_.empty())
        return Finish(PreflightStatus::kFailed,
                      "no DNS server is set and the system names none: set one in the DNS "
                      "settings");
    for (auto& q : queries_) {
        try {
            q->QueryMX(name);
        } catch (const Exception&) {
            // Not even sent: this server stays silent.
        }
    }
    timer_ = loop_.StartTimer(limitMs_, [this] { Conclude(); });
}

void DnsServersStep::Answered(size_t index, int rcode) {
    answered_[index] = true;
    if (rcode == kServerFailure || rcode == kRefused) failure_[index] = rcode;
    if (std::all_of(answered_.begin(), answered_.end(), [](bool a) { return a; })) Conclude();
}

void DnsServersStep::Conclude() {
    if (timer_ != 0) loop_.StopTimer(timer_);
    timer_ = 0;
    std::vector<std::string> good, silent, failing;
    for (size_t i = 0; i < servers_.size(); ++i) {
        if (failure_[i] != 0)
            failing.push_back(servers_[i] + (failure_[i] == kRefused ? " refuses (REFUSED)"
                                                                     : " fails (SERVFAIL)"));
        else
            (answered_[i] ? good : silent).push_back(servers_[i]);
    }
    const std::string limit = std::to_string(limitMs_ / 1000) + " s";
    if (!failing.empty()) return ConcludeFailing(failing, silent, good, limit);
    if (silent.empty())
        return Finish(PreflightStatus::kOk,
                      Joined(good) + (good.size() == 1 ? " answers" : " answer"));
    if (good.empty())
        return Finish(PreflightStatus::kFailed,
                      "no answer within " + limit + " from " + Joined(silent) +
                          ": every check would fail; set DNS servers that answer (DNS settings)");
    Finish(PreflightStatus::kWarning,
           Joined(silent) + " did not answer within " + limit + " (" + Joined(good) +
               " did): checks wait for it; remove it from the DNS settings");
}

// Servers that answer only to say they will not: failed when no server
// answers properly, else a warning.
void DnsServersStep::ConcludeFailing(const std::vector<std::string>& failing,
                                     const std::vector<std::string>& silent,
                                     const std::vector<std::string>& good,
                                     const std::string& limit) {
    std::string what = Joined(failing);
    if (!silent.empty()) what += ", " + Joined(silent) + " did not answer within " + limit;
    if (good.empty())
        return Finish(PreflightStatus::kFailed,
                      what +
                          ": every check would fail; set DNS servers that answer (DNS "
                          "settings)");
    const std::string them = failing.size() + silent.size() == 1 ? "it" : "them";
    Finish(PreflightStatus::kWarning, what + " (" + Joined(good) + " answers): checks through " +
                                          them + " fail; remove " + them +
                                          " from the DNS settings");
}

}  // namespace mv

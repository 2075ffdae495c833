#include "project/preflight/preflight_dns.h"

#include <arpa/inet.h>

#include <algorithm>

#include "project/preflight/preflight_settings.h"

namespace mv {

PreflightDns::PreflightDns(MessageLoop& loop, const PreflightSettings& settings)
    : loop_(loop),
      servers_(settings.dnsServers),
      port_(settings.dnsPort),
      tryMs_(settings.dnsTryMs),
      query_(loop) {
    if (servers_.size() > kMaxServers) servers_.resize(kMaxServers);
    query_.SetPort(port_);
    query_.OnRequestDone = [this](_TDnsQuery*, uint16_t error) { OnRequestDone(error); };
}

PreflightDns::~PreflightDns() {
    StopTimer();
    query_.OnRequestDone = nullptr;
}

void PreflightDns::Ask(const std::string& name, uint16_t type, Done done) {
    token_.Renew();  // an earlier question's outcome is not delivered any more
    name_ = name;
    type_ = type;
    done_ = std::move(done);
    TryServer(0);
}

void PreflightDns::TryServer(size_t index) {
    StopTimer();
    server_ = index;
    if (server_ >= servers_.size()) return Finish(Outcome::kNoAnswer);
    query_.SetAddr(servers_[server_]);
    try {
        query_.Query(name_, type_);
    } catch (const EDnsQueryException&) {
        return Finish(Outcome::kBadName);
    } catch (const Exception&) {
        return TryServer(server_ + 1);  // this server cannot even be asked
    }
    timer_ = loop_.StartTimer(tryMs_, [this] { TryServer(server_ + 1); });
}

void PreflightDns::OnRequestDone(uint16_t error) {
    if (timer_ == 0) return;  // a late second answer
    if (error != 0) return TryServer(server_ + 1);
    Finish(Outcome::kAnswered);
}

void PreflightDns::Finish(Outcome outcome) {
    StopTimer();
    loop_.Post([this, outcome, alive = token_.Weak()] {
        if (alive.expired() || !done_) return;
        Done done = std::move(done_);
        done_ = nullptr;
        done(outcome, query_);
    });
}

std::vector<std::string> AnswerAddresses(const _TDnsQuery& answer) {
    std::vector<std::string> addresses;
    for (int i = 0; i < answer.AddressCount(); ++i) {
        in_addr a{};
        a.s_addr = answer.Address(i);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &a, text, sizeof text) != nullptr) addresses.emplace_back(text);
    }
    return addresses;
}

std::vector<std::string> AnswerNames(const _TDnsQuery& answer) {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(answer.NameCount()));
    for (int i = 0; i < answer.NameCount(); ++i)
        names.push_back(answer.PTRName(i));
    return names;
}

void PreflightDns::StopTimer() {
    if (timer_ != 0) loop_.StopTimer(timer_);
    timer_ = 0;
}

}  // namespace mv

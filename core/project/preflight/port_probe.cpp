#include "project/preflight/port_probe.h"

#include <vector>

#include "engine/mail_hosts.h"
#include "platform/error/winsock_errors.h"
#include "project/preflight/preflight_settings.h"

namespace mv {

namespace {

ProbeOutcome OutcomeOfError(int error) {
    if (error == 0) return ProbeOutcome::kConnected;
    if (error == wsa::kConnRefused) return ProbeOutcome::kRefused;
    if (error == wsa::kTimedOut) return ProbeOutcome::kTimedOut;
    return ProbeOutcome::kFailed;
}

}  // namespace

PortProbe::PortProbe(MessageLoop& loop, const PreflightSettings& settings, std::string domain)
    : loop_(loop),
      domain_(std::move(domain)),
      smtpPort_(settings.smtpPort),
      sourceAddress_(settings.sourceAddress),
      connectLimitMs_(settings.connectLimitMs),
      dns_(loop, settings) {}

PortProbe::~PortProbe() {
    if (socket_) socket_->OnSessionConnected = nullptr;
}

void PortProbe::Start() {
    dns_.Ask(domain_, kDnsTypeMx,
             [this](PreflightDns::Outcome o, const _TDnsQuery& a) { HostsFound(o, a); });
}

void PortProbe::HostsFound(PreflightDns::Outcome outcome, const _TDnsQuery& answer) {
    if (outcome != PreflightDns::Outcome::kAnswered || DnsRcodeFailure(answer.ResponseCode())) {
        why_ = "no mail host found";
        return End(ProbeOutcome::kNoHost);
    }
    std::vector<std::string> hosts;
    std::string line;
    if (ReadMailHosts(answer, domain_, hosts, line) == MailHostSource::kNullMx || hosts.empty()) {
        why_ = "takes no mail";
        return End(ProbeOutcome::kNoHost);
    }
    host_ = hosts.front();
    dns_.Ask(host_, kDnsTypeA,
             [this](PreflightDns::Outcome o, const _TDnsQuery& a) { AddressFound(o, a); });
}

void PortProbe::AddressFound(PreflightDns::Outcome outcome, const _TDnsQuery& answer) {
    const std::vector<std::string> addresses = outcome == PreflightDns::Outcome::kAnswered
                                                   ? AnswerAddresses(answer)
                                                   : std::vector<std::string>{};
    if (addresses.empty()) {
        why_ = host_ + " has no address";
        return End(ProbeOutcome::kNoHost);
    }
    if (OnHostAddress) OnHostAddress(addresses.front());
    Connect(addresses.front());
}

void PortProbe::Connect(const std::string& address) {
    socket_ = std::make_unique<_TAsyncSocket>(loop_);
    socket_->SetProto("tcp");
    socket_->SetPort(smtpPort_);
    socket_->SetAddr(address);
    socket_->SetConnectTimeOutMs(connectLimitMs_);
    socket_->OnSessionConnected = [this](_TCustomAsyncSocket*, uint16_t error) {
        Connected(error);
    };
    try {
        // A source address that cannot be bound fails here, not in the loop.
        if (!sourceAddress_.empty()) socket_->SetLocalAddr(sourceAddress_);
        socket_->Connect();
    } catch (const ESocketException& e) {
        error_ = e.ErrorCode() != 0 ? e.ErrorCode() : wsa::kHostUnreach;
        End(OutcomeOfError(error_));
    }
}

void PortProbe::Connected(uint16_t error) {
    socket_->OnSessionConnected = nullptr;
    error_ = error;
    if (error == 0) socket_->Abort();  // the connection was the answer; nothing is said
    End(OutcomeOfError(error));
}

void PortProbe::End(ProbeOutcome outcome) {
    if (outcome_ != ProbeOutcome::kPending) return;
    outcome_ = outcome;
    if (OnDone) OnDone();
}

std::string PortProbe::OutcomeText() const {
    switch (outcome_) {
        case ProbeOutcome::kPending:
            return "still waiting";
        case ProbeOutcome::kConnected:
            return "connected";
        case ProbeOutcome::kRefused:
            return "refused";
        case ProbeOutcome::kTimedOut:
            return "timed out";
        case ProbeOutcome::kFailed:
            return "error " + std::to_string(error_);
        case ProbeOutcome::kNoHost:
            return why_;
    }
    return {};
}

}  // namespace mv

#include "project/preflight/port_probe.h"

#include <algorithm>
#include <vector>

#include "engine/mail_hosts.h"
#include "platform/error/winsock_errors.h"
#include "platform/time/tick_count.h"
#include "project/preflight/preflight_settings.h"

namespace mv {

namespace {

ProbeOutcome OutcomeOfError(int error) {
    if (error == 0) return ProbeOutcome::kConnected;
    if (error == wsa::kConnRefused) return ProbeOutcome::kRefused;
    if (error == wsa::kTimedOut) return ProbeOutcome::kTimedOut;
    return ProbeOutcome::kFailed;
}

constexpr size_t kShownGreeting = 120;

// "220 ..." or "220-...": a line of an SMTP reply.
bool IsReplyLine(std::string_view line) {
    const auto digit = [&](size_t i) { return line[i] >= '0' && line[i] <= '9'; };
    return line.size() >= 4 && digit(0) && digit(1) && digit(2) &&
           (line[3] == ' ' || line[3] == '-' || line[3] == '\r' || line[3] == '\n');
}

// The line without its end, cut, with anything unprintable made a "?".
std::string Printable(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::string shown(line.substr(0, kShownGreeting));
    for (char& c : shown)
        if (c < 32 || c > 126) c = '?';
    return shown;
}

// "3 s", "0.5 s".
std::string Seconds(uint32_t ms) {
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) text += "." + std::to_string(ms % 1000 / 100);
    return text + " s";
}

}  // namespace

PortProbe::PortProbe(MessageLoop& loop, const PreflightSettings& settings, std::string domain)
    : loop_(loop),
      domain_(std::move(domain)),
      smtpPort_(settings.smtpPort),
      sourceAddress_(settings.sourceAddress),
      connectLimitMs_(settings.connectLimitMs),
      greetingLimitMs_(settings.greetingLimitMs),
      dns_(loop, settings) {}

PortProbe::~PortProbe() {
    if (timer_ != 0) loop_.StopTimer(timer_);
    if (!socket_) return;
    socket_->OnSessionConnected = nullptr;
    socket_->OnDataAvailable = nullptr;
    socket_->OnSessionClosed = nullptr;
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
        connectStart_ = GetTickCount();
        socket_->Connect();
    } catch (const ESocketException& e) {
        error_ = e.ErrorCode() != 0 ? e.ErrorCode() : wsa::kHostUnreach;
        End(OutcomeOfError(error_));
    }
}

void PortProbe::Connected(uint16_t error) {
    socket_->OnSessionConnected = nullptr;
    error_ = error;
    if (error != 0) return End(OutcomeOfError(error));
    AwaitGreeting();
}

void PortProbe::AwaitGreeting() {
    const uint32_t spent = GetTickCount() - connectStart_;
    const uint32_t left = spent < connectLimitMs_ ? connectLimitMs_ - spent : 1;
    socket_->SetLineEnd("\n");  // a bare line feed ends a line too
    socket_->SetLineMode(true);
    socket_->OnDataAvailable = [this](_TCustomAsyncSocket*, uint16_t) { GreetingLine(); };
    socket_->OnSessionClosed = [this](_TCustomAsyncSocket*, uint16_t) {
        HangUp(ProbeOutcome::kNoGreeting);
    };
    timer_ = loop_.StartTimer(std::max<uint32_t>(1, std::min(greetingLimitMs_, left)),
                              [this] { HangUp(ProbeOutcome::kNoGreeting); });
}

void PortProbe::GreetingLine() {
    const std::string line = socket_->ReceiveStr();
    if (line.empty() || line.back() != '\n') return;  // the rest at a close: no whole line
    if (!IsReplyLine(line)) return HangUp(ProbeOutcome::kNoGreeting);
    greeting_ = Printable(line);
    HangUp(ProbeOutcome::kConnected);
}

// Ends the connection without a word (nothing is sent) and the probe.
void PortProbe::HangUp(ProbeOutcome outcome) {
    if (timer_ != 0) loop_.StopTimer(timer_);
    timer_ = 0;
    socket_->OnDataAvailable = nullptr;
    socket_->OnSessionClosed = nullptr;
    socket_->Abort();
    End(outcome);
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
            return "connected (" + greeting_ + ")";
        case ProbeOutcome::kNoGreeting:
            return "connected, but no SMTP greeting within " + Seconds(greetingLimitMs_) +
                   " (the provider may intercept port 25)";
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

// What the current address tells the session by itself: whether it breaks a
// syntax rule (then it ends before any DNS query), the ASCII form of its
// domain, an address literal as its own host, the EHLO conversation of a
// local part that needs SMTPUTF8, and what the accepting host's provider
// says about the accept-all probe. The rest of the session is in
// smtp_thread.cpp.
#include <string>

#include "address/address_syntax.h"
#include "address/idna.h"
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"
#include "net/smtp/smtp_cli.h"
#include "net/smtp/smtp_reply_reader.h"
#include "platform/error/exception.h"
#include "platform/resolver/hosts_file.h"

namespace mv {

namespace {

// Whether an EHLO reply names the SMTPUTF8 extension: a line whose text
// after the code is that keyword, alone or with parameters.
bool OffersSmtputf8(const std::string& reply) {
    size_t start = 0;
    while (start < reply.size()) {
        size_t end = reply.find('\n', start);
        if (end == std::string::npos) end = reply.size();
        if (end - start >= 12) {
            const std::string keyword = LowerCase(reply.substr(start + 4, 8));
            const char after = end - start > 12 ? reply[start + 12] : ' ';
            if (keyword == "smtputf8" && (after == ' ' || after == '\r')) return true;
        }
        start = end + 1;
    }
    return false;
}

// The host of an address literal: "[192.0.2.1]" -> "192.0.2.1",
// "[IPv6:2001:db8::1]" -> "2001:db8::1".
std::string LiteralHost(const std::string& domain) {
    std::string inner = domain.substr(1, domain.size() - 2);
    if (inner.size() > 5 && LowerCase(inner.substr(0, 5)) == "ipv6:") inner.erase(0, 5);
    return inner;
}

}  // namespace

bool TSmtpThread::ReadAddress() {
    const AddressSyntax syntax = CheckAddressSyntax(address_);
    if (syntax.broken) {
        domain_.clear();
        AddLog(std::string(kBadSyntaxLine) + std::string(SyntaxRuleText(*syntax.broken)));
        evidence_.knownReason = Reason::kBadSyntax;
        Report(SyntaxRuleCode(*syntax.broken));
        return false;
    }
    domain_ = syntax.asciiDomain;
    smtputf8_ = !IsAscii(syntax.parts.local);
    std::string_view written = syntax.parts.domain;
    if (!written.empty() && written.back() == '.') written.remove_suffix(1);
    // With SMTPUTF8 the address goes as written; otherwise the domain in
    // ASCII, which every server understands.
    rcptAddress_ = std::string(syntax.parts.local) + "@";
    rcptAddress_ += smtputf8_ ? std::string(written) : domain_;
    if (written != domain_ && !IsAscii(written))
        AddLog("Domain " + std::string(written) + " is asked for as " + domain_);
    return true;
}

void TSmtpThread::StartAtLiteral() {
    hostList_ = {LiteralHost(domain_)};
    evidence_.hosts = MailHostSource::kDomainName;
    AddLog("Address literal: no DNS query, trying \"" + hostList_.front() + "\"");
    ScoutDone(hostList_);
    StartSmtp();
}

void TSmtpThread::EhloRefused(int error) {
    lastError_ = error;
    lastReply_ = replies_.Current();
    smtp_->SetEhlo(false);
    try {
        smtp_->Helo();
    } catch (const Exception&) {
        firstError_ = error;
        firstReply_ = lastReply_;
        EndHost();
    }
}

// An address whose local part needs SMTPUTF8 is never asked for without it:
// the host is left, and the address ends unknown unless another host offers it.
bool TSmtpThread::GreetedForSmtputf8() {
    if (smtp_->Ehlo() && OffersSmtputf8(replies_.Current().lines)) {
        smtp_->SetMailParameters("SMTPUTF8");
        return true;
    }
    AddLog(hostList_[hostIndex_] + " does not offer SMTPUTF8: the address is not asked for");
    evidence_.knownReason = Reason::kNeedsSmtputf8;
    firstError_ = lastError_ = ResultRcptFailed;
    firstReply_ = lastReply_ = {};
    EndHost();
    return false;
}

ProbeAdvice TSmtpThread::ProviderAdvice() const {
    const ProviderTable* providers = owner_.Providers();
    if (providers == nullptr || hostIndex_ >= hostList_.size()) return ProbeAdvice::kProbe;
    return AdviceFor(providers->ProfileOfHost(hostList_[hostIndex_]), LowerCase(domain_));
}

}  // namespace mv

// What happened at each mail host tried for one address, and the finding
// decided from all of it, as a sending mail server would act on the same
// answers:
//  - a definite answer to RCPT TO decides, and the first one stands: an
//    acceptance, or a lasting refusal whose reason is about the mailbox or
//    the domain (mailbox-unknown, -disabled, -full, no-mail-domain). A backup
//    host that accepts every address does not outrank the first host's
//    "no such user";
//  - otherwise the last SMTP reply of any host decides (a greylisting first
//    host stays the answer when the backup cannot be reached);
//  - otherwise the last failure of a host that exists (refused or timed-out
//    connection, a conversation cut off), then a host that has only an IPv6
//    address, and only when every host failed to resolve, the failed lookup.
// The result code is not changed by any of this: it stays the one the
// conversation gives (the last host's, or 0 for an acceptance).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/result_finding.h"
#include "engine/result_verdict.h"

namespace mv {

struct HostOutcome {
    std::string host;  // the name as listed
    // What ended the host: 0 accepted, a reply code, a socket error or one
    // of the checker's own codes (-2 time-out ...).
    int code = 0;
    SmtpStage stage = SmtpStage::kNone;
    std::string reply;  // the reply behind `code`, lines separated by "\n"; empty for none
    // The name has no IPv4 address (11004) but has an IPv6 one.
    bool ipv6Only = false;
};

struct AddressEvidence {
    int code = 0;  // the address's result code
    // The reply behind the code when no host was tried (empty otherwise).
    std::string_view reply;
    SmtpStage stage = SmtpStage::kNone;
    MailHostSource hosts = MailHostSource::kUnknown;
    std::vector<HostOutcome> tried;  // in the order tried
    // The host that accepted also accepted a made-up address of the domain.
    bool acceptsAll = false;
    // A reason the session knows better than any reply: the address broke a
    // syntax rule, its local part needs SMTPUTF8 that no host offered, or its
    // provider accepts every recipient (only with `code` 0). It decides the
    // verdict; the code and the deciding host stay as the hosts gave them.
    std::optional<Reason> knownReason;
};

// Fills every field of `finding` (reusing its storage).
void DecideFinding(const AddressEvidence& evidence, ResultFinding& finding);

}  // namespace mv

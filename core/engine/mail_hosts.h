// What a domain's MX answer says about where its mail goes: the hosts to try
// in answer order, and the transcript line that tells so.
#pragma once

#include <string>
#include <vector>

#include "engine/result_verdict.h"

namespace mv {

class _TDnsQuery;

// The result of an MX answer whose RCODE says that no answer can come: the
// domain does not exist (11001), or the server failed or refused (11002);
// 0 for any other RCODE. Only an answer without error may send the check to
// the domain's own name.
int DnsRcodeFailure(int rcode);

// Reads the answer of a query that succeeded into `hosts` (replaced) and the
// transcript lines that tell so (replaced), and says where the hosts came
// from:
//  - kDomainName: no records at all; the domain itself is the only host;
//  - kNullMx: every MX record names the root (RFC 7505 gives it preference
//    0; any preference counts): the domain accepts no mail, and there is no
//    host;
//  - kMxRecords: the exchangers of the MX records in answer order (none
//    when the answer holds records but no MX). An exchange that names the
//    root beside real ones is never a host: it gets the line
//    `Skipped exchange "."`.
MailHostSource ReadMailHosts(const _TDnsQuery& dns, const std::string& domain,
                             std::vector<std::string>& hosts, std::vector<std::string>& logLines);
// The same with only the first line (the hosts found), for a caller that
// keeps no transcript.
MailHostSource ReadMailHosts(const _TDnsQuery& dns, const std::string& domain,
                             std::vector<std::string>& hosts, std::string& logLine);

}  // namespace mv

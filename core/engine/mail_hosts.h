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

// Reads the answer of a query that succeeded into `hosts` (replaced) and
// `logLine`, and says where the hosts came from:
//  - kDomainName: no records at all; the domain itself is the only host;
//  - kNullMx: a single MX of preference 0 naming the root (RFC 7505): the
//    domain accepts no mail, and there is no host;
//  - kMxRecords: the exchangers of the MX records in answer order (none
//    when the answer holds records but no MX).
MailHostSource ReadMailHosts(const _TDnsQuery& dns, const std::string& domain,
                             std::vector<std::string>& hosts, std::string& logLine);

}  // namespace mv

#include "engine/mail_hosts.h"

#include <algorithm>

#include "net/dns/dns_query.h"
#include "platform/error/winsock_errors.h"

namespace mv {

namespace {

// The answer records that the query kept (it keeps the first kDnsTableSize).
int KeptAnswers(const _TDnsQuery& dns) {
    return std::min<int>(dns.AnswerCount(), static_cast<int>(kDnsTableSize));
}

bool IsNullMx(const _TDnsQuery& dns) {
    int mxRecords = 0;
    int tag = -1;
    for (int i = 0; i < KeptAnswers(dns); ++i) {
        if (dns.AnswerType(i) != kDnsTypeMx || dns.AnswerTag(i) < 0) continue;
        ++mxRecords;
        tag = dns.AnswerTag(i);
    }
    if (mxRecords != 1 || dns.MXPreference(tag) != 0) return false;
    const std::string exchange = dns.MXExchange(tag);
    return exchange.empty() || exchange == ".";
}

}  // namespace

int DnsRcodeFailure(int rcode) {
    switch (rcode) {
        case 3:
            return wsa::kHostNotFound;
        case 2:
        case 5:
            return wsa::kTryAgain;
        default:
            return 0;
    }
}

MailHostSource ReadMailHosts(const _TDnsQuery& dns, const std::string& domain,
                             std::vector<std::string>& hosts, std::string& logLine) {
    hosts.clear();
    const int n = dns.AnswerCount();
    if (n == 0) {
        logLine = "No SMTP Relays found. Trying \"" + domain + "\"";
        hosts.push_back(domain);
        return MailHostSource::kDomainName;
    }
    if (IsNullMx(dns)) {
        logLine = "Null MX: the domain accepts no mail";
        return MailHostSource::kNullMx;
    }
    // n counts every answer record, so it may be larger than the number of
    // names that follow it.
    logLine = std::to_string(n) + (n == 1 ? " SMTP Relay found: " : " SMTP Relays found: ");
    for (int i = 0; i < KeptAnswers(dns); ++i) {
        const int tag = dns.AnswerTag(i);
        if (dns.AnswerType(i) != kDnsTypeMx || tag < 0) continue;
        hosts.push_back(dns.MXExchange(tag));
        logLine += hosts.back() + " ";
    }
    return MailHostSource::kMxRecords;
}

}  // namespace mv

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

// The root, "." (decoded as an empty name): an exchange that names no host.
bool IsRoot(const std::string& exchange) {
    return exchange.empty() || exchange == ".";
}

// Every MX record names the root, whatever its preference (RFC 7505 gives it
// 0; zones that get that wrong still mean "no mail").
bool IsNullMx(const _TDnsQuery& dns) {
    int mxRecords = 0;
    for (int i = 0; i < KeptAnswers(dns); ++i) {
        if (dns.AnswerType(i) != kDnsTypeMx || dns.AnswerTag(i) < 0) continue;
        if (!IsRoot(dns.MXExchange(dns.AnswerTag(i)))) return false;
        ++mxRecords;
    }
    return mxRecords > 0;
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
                             std::vector<std::string>& hosts, std::vector<std::string>& logLines) {
    hosts.clear();
    logLines.clear();
    const int n = dns.AnswerCount();
    if (n == 0) {
        logLines.push_back("No SMTP Relays found. Trying \"" + domain + "\"");
        hosts.push_back(domain);
        return MailHostSource::kDomainName;
    }
    if (IsNullMx(dns)) {
        logLines.emplace_back("Null MX: the domain accepts no mail");
        return MailHostSource::kNullMx;
    }
    // n counts every answer record, so it may be larger than the number of
    // names that follow it.
    std::string found =
        std::to_string(n) + (n == 1 ? " SMTP Relay found: " : " SMTP Relays found: ");
    std::vector<std::string> skipped;
    for (int i = 0; i < KeptAnswers(dns); ++i) {
        const int tag = dns.AnswerTag(i);
        if (dns.AnswerType(i) != kDnsTypeMx || tag < 0) continue;
        const std::string exchange = dns.MXExchange(tag);
        // Connecting to the root would reach this computer itself.
        if (IsRoot(exchange)) {
            found += ". ";
            skipped.emplace_back("Skipped exchange \".\"");
            continue;
        }
        hosts.push_back(exchange);
        found += exchange + " ";
    }
    logLines.push_back(std::move(found));
    logLines.insert(logLines.end(), skipped.begin(), skipped.end());
    return MailHostSource::kMxRecords;
}

MailHostSource ReadMailHosts(const _TDnsQuery& dns, const std::string& domain,
                             std::vector<std::string>& hosts, std::string& logLine) {
    std::vector<std::string> lines;
    const MailHostSource source = ReadMailHosts(dns, domain, hosts, lines);
    logLine = lines.front();
    return source;
}

}  // namespace mv

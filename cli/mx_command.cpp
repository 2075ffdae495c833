// mailvetter-cli mx: the MX records of a domain, through the program's own
// DNS client.
#include <cstdio>

#include "cli_args.h"
#include "commands.h"
#include "net/dns/dns_query.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/system_name_servers.h"

namespace mv::cli {

namespace {

std::string FirstEntry(const std::string& list) {
    return list.substr(0, list.find(' '));
}

// The answers whose RCODE says the server could not or would not look: no
// records can follow, and nothing says whether the domain has any.
const char* ServerFailure(int rcode) {
    switch (rcode) {
        case 2:
            return "DNS server failure (SERVFAIL)";
        case 5:
            return "DNS server refused the query (REFUSED)";
        default:
            return nullptr;
    }
}

void PrintAnswer(_TDnsQuery& q) {
    const int stored = std::min<int>(q.AnswerCount(), static_cast<int>(kDnsTableSize));
    for (int i = 0; i < stored; ++i) {
        if (q.AnswerType(i) != kDnsTypeMx || q.AnswerTag(i) < 0) continue;
        std::printf("%s\t%u\n", q.MXExchange(q.AnswerTag(i)).c_str(),
                    static_cast<unsigned>(q.MXPreference(q.AnswerTag(i))));
    }
    if (q.ResponseCode() == 3) PrintError(q.QuestionName() + ": no such domain (NXDOMAIN)");
}

}  // namespace

int RunMx(const ParsedArgs& parsed) {
    if (parsed.Positional().size() != 1) throw UsageError("mx needs exactly one DOMAIN");
    const std::string domain = parsed.Positional()[0];
    const long timeout = parsed.Number("timeout", 1, 3600).value_or(5);
    const long port = parsed.Number("dns-port", 1, 65535).value_or(53);
    std::string server = parsed.ValueOr("dns", "");
    if (server.empty()) server = FirstEntry(SystemNameServers());
    if (server.empty()) {
        PrintError("no DNS server: /etc/resolv.conf names none; give one with --dns");
        return kExitFailure;
    }

    EpollLoop loop;
    _TDnsQuery query(loop);
    query.SetAddr(server);
    query.SetPort(std::to_string(port));
    int status = kExitFailure;
    query.OnRequestDone = [&](_TDnsQuery* q, uint16_t error) {
        if (error != 0) {
            PrintError("DNS query to " + server + " failed with error " + std::to_string(error));
        } else if (const char* failure = ServerFailure(q->ResponseCode())) {
            PrintError(failure);
        } else {
            PrintAnswer(*q);
            status = kExitOk;
        }
        loop.Quit();
    };
    loop.StartTimer(static_cast<uint32_t>(timeout * 1000), [&] {
        PrintError("no answer from DNS server " + server + " within " + std::to_string(timeout) +
                   " seconds");
        loop.Quit();
    });
    try {
        query.QueryMX(domain);
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    loop.Run();
    return status;
}

}  // namespace mv::cli

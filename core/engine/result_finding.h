// What a check found beyond its result code: the verdict, its reason, the
// reply that decided them and where it came from. The dispatcher reports it
// with every result; the recipient list keeps it in memory beside the
// transcript, and the findings file keeps it beside a saved project.
#pragma once

#include <string>
#include <vector>

#include "engine/result_verdict.h"

namespace mv {

struct ResultFinding {
    Verdict verdict = Verdict::kUnknown;
    Reason reason = Reason::kProtocol;
    // The deciding reply as received, its lines separated by "\n"; empty when
    // no reply decided the result (a time-out, a refused connection, ...).
    std::string reply;
    // The deciding reply's enhanced status code ("5.1.1"); empty when it has none.
    std::string enhanced;
    // The mail host whose answer decided the result; empty when none did.
    std::string host;
    // The mail hosts tried for the address, in the order they were tried.
    std::vector<std::string> hostsTried;
    // The address was not asked about: its mail server had failed too often
    // in a row. Its code is that server's last failure, and a later run
    // checks it again.
    bool notChecked = false;
    bool operator==(const ResultFinding&) const = default;
};

}  // namespace mv

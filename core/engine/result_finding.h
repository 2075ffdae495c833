// What a check found beyond its result code: the verdict, its reason and the
// reply that decided them. The dispatcher reports it with every result; the
// recipient list keeps it in memory beside the transcript.
#pragma once

#include <string>

#include "engine/result_verdict.h"

namespace mv {

struct ResultFinding {
    Verdict verdict = Verdict::kUnknown;
    Reason reason = Reason::kProtocol;
    // The deciding reply as received, its lines separated by "\n"; empty when
    // no reply decided the result (a time-out, a refused connection, ...).
    std::string reply;
    bool operator==(const ResultFinding&) const = default;
};

}  // namespace mv

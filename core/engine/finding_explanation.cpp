#include "engine/finding_explanation.h"

#include "engine/result_codes.h"

namespace mv {

namespace {

// The reply code of the first line of a reply ("550-5.1.1 ..."); 0 for none.
int ReplyCodeOf(const std::string& reply) {
    if (reply.size() < 3) return 0;
    int code = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (reply[i] < '0' || reply[i] > '9') return 0;
        code = code * 10 + (reply[i] - '0');
    }
    return code;
}

// What the last host did, which made the code.
const char* LaterHostDid(int code) {
    if (code == ResultValid) return "acceptance";
    if (code >= 400 && code <= 599) return "refusal";
    if (code > 0 && code < 1000) return "answer";
    return "failure";
}

}  // namespace

std::string ExplainFinding(int code, const ResultFinding& finding) {
    if (finding.host.empty()) return {};
    if (finding.reason == Reason::kNoIpv4Host)
        return finding.host + " has an IPv6 address only, no IPv4 one";
    // Only an earlier host's answer can make the verdict differ from the code.
    if (finding.hostsTried.empty() || finding.hostsTried.back() == finding.host ||
        finding.verdict == VerdictOfCode(code))
        return {};
    const int reply = ReplyCodeOf(finding.reply);
    std::string line = reply >= 500   ? "Refused by "
                       : reply >= 400 ? "Deferred by "
                       : reply > 0    ? "Answered by "
                                      : "No answer from ";
    line += finding.host + " (";
    if (reply > 0) {
        line += std::to_string(reply);
        if (!finding.enhanced.empty()) line += " " + finding.enhanced;
    } else {
        line += ReasonName(finding.reason);
    }
    return line + "); a later host's " + LaterHostDid(code) + " does not count";
}

}  // namespace mv

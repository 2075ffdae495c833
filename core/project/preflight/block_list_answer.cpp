#include "project/preflight/block_list_answer.h"

namespace mv {

namespace {

// The codes the big lists agree on (Spamhaus' and SpamCop's documentation).
struct CodeMeaning {
    const char* code;
    const char* meaning;
};
constexpr CodeMeaning kCodes[] = {
    {"127.0.0.2", "listed as a source of spam"},
    {"127.0.0.3", "listed as a source of spam (snowshoe)"},
    {"127.0.0.4", "listed as an infected or exploited computer"},
    {"127.0.0.5", "listed as an infected or exploited computer"},
    {"127.0.0.6", "listed as an infected or exploited computer"},
    {"127.0.0.7", "listed as an infected or exploited computer"},
    {"127.0.0.9", "listed as part of a hijacked network"},
    {"127.0.0.10", "listed as an end-user address that should not send mail directly"},
    {"127.0.0.11", "listed as an end-user address that should not send mail directly"},
    {"127.255.255.252", "the zone says the query was malformed (check the zone name)"},
    {"127.255.255.254",
     "the zone refuses queries from public or open resolvers: use a DNS server of your own"},
    {"127.255.255.255", "the zone refuses: too many queries from this DNS server"},
};

bool IsZoneError(const std::string& code) {
    return code.rfind("127.255.255.", 0) == 0;
}

}  // namespace

std::string BlockListCodeMeaning(const std::string& dottedQuad) {
    for (const CodeMeaning& c : kCodes)
        if (dottedQuad == c.code) return c.meaning;
    return {};
}

BlockListReading ReadBlockListAnswer(const std::vector<std::string>& addresses) {
    if (addresses.empty()) return {PreflightStatus::kOk, "not listed"};
    // A listing wins over a zone error; a zone error over a strange answer.
    std::string zoneError, strange;
    for (const std::string& a : addresses) {
        if (IsZoneError(a)) {
            zoneError = a;
        } else if (a.rfind("127.", 0) != 0) {
            strange = a;
        } else {
            const std::string meaning = BlockListCodeMeaning(a);
            return {PreflightStatus::kFailed,
                    (meaning.empty() ? std::string("listed") : meaning) + " (" + a +
                        "): receivers that use this list refuse this computer; see the list's "
                        "web site for why and how to be removed"};
        }
    }
    if (!zoneError.empty()) {
        const std::string meaning = BlockListCodeMeaning(zoneError);
        return {PreflightStatus::kWarning,
                "no result (" + zoneError + "): " +
                    (meaning.empty() ? std::string("the zone refused to answer") : meaning)};
    }
    return {PreflightStatus::kWarning,
            "unexpected answer " + strange +
                ": not a block-list code; the zone name may be wrong or a DNS server rewrites "
                "answers"};
}

}  // namespace mv

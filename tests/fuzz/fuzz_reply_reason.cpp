// Decides the reason of arbitrary reply bytes: the first byte picks the stage,
// the next two the reply code, the rest is the reply as a server sent it.
// The reason must always be one of the named reasons.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/result_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    mv::ResultEvidence evidence;
    evidence.stage = static_cast<mv::SmtpStage>(data[0] % 6);
    evidence.code = (data[1] << 8 | data[2]) % 1000;
    evidence.reply = std::string_view(reinterpret_cast<const char*>(data + 3), size - 3);
    const mv::ResultMeaning meaning = mv::DescribeResult(evidence);
    if (mv::ReasonName(meaning.reason).empty() || mv::VerdictName(meaning.verdict).empty())
        std::abort();
    return 0;
}

// Decides the reason of arbitrary reply bytes: the first byte picks the stage,
// the next two the reply code, the rest is the reply as a server sent it.
// The reason must always be one of the named reasons. The same bytes, as
// lines after a command, go through the session's reply recorder, which must
// keep at most its bound and whose reply decides a reason too. The bytes are
// read for a recheck hint as well, which must stay within its bounds.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "engine/recheck_hint.h"
#include "engine/reply_recorder.h"
#include "engine/result_verdict.h"

namespace {

void Describe(mv::ResultEvidence evidence) {
    const mv::ResultMeaning meaning = mv::DescribeResult(evidence);
    if (mv::ReasonName(meaning.reason).empty() || mv::VerdictName(meaning.verdict).empty())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    mv::ResultEvidence evidence;
    evidence.stage = static_cast<mv::SmtpStage>(data[0] % 6);
    evidence.code = (data[1] << 8 | data[2]) % 1000;
    evidence.reply = std::string_view(reinterpret_cast<const char*>(data + 3), size - 3);
    Describe(evidence);
    const std::optional<uint32_t> hint = mv::RecheckHintWithinBounds(evidence.reply);
    if (hint && (*hint < mv::kMinRecheckHintMs || *hint > mv::kMaxRecheckHintMs)) std::abort();
    (void)mv::SaysReputationRefusal(evidence.reply);
    (void)mv::RefusesThisComputer(evidence.code, evidence.stage, evidence.reply);

    static constexpr std::string_view kCommands[] = {"HELO a", "MAIL FROM:<a@b>", "RCPT TO:<c@d>",
                                                     "QUIT"};
    mv::ReplyRecorder recorder;
    recorder.BeginHost();
    if (data[0] & 0x80) recorder.CommandSent(kCommands[data[0] % 4]);
    for (std::string_view rest = evidence.reply; !rest.empty();) {
        const size_t end = rest.find('\n');
        recorder.LineReceived(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    if (recorder.Current().lines.size() > mv::ReplyRecorder::kMaxReply) std::abort();
    evidence.stage = recorder.Current().stage;
    evidence.reply = recorder.Current().lines;
    Describe(evidence);
    return 0;
}

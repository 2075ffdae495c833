#include "engine/reply_recorder.h"

#include <algorithm>

#include "net/smtp/smtp_reply_reader.h"

namespace mv {

namespace {

bool StartsWithWord(std::string_view line, std::string_view upperWord) {
    if (line.size() < upperWord.size()) return false;
    for (size_t i = 0; i < upperWord.size(); ++i) {
        const char c = line[i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != upperWord[i])
            return false;
    }
    return true;
}

SmtpStage StageOfCommand(std::string_view command) {
    if (StartsWithWord(command, "HELO") || StartsWithWord(command, "EHLO")) return SmtpStage::kHelo;
    if (StartsWithWord(command, "MAIL")) return SmtpStage::kMailFrom;
    if (StartsWithWord(command, "RCPT")) return SmtpStage::kRcptTo;
    if (StartsWithWord(command, "RSET") || StartsWithWord(command, "QUIT"))
        return SmtpStage::kLeaving;
    return SmtpStage::kNone;
}

}  // namespace

void ReplyRecorder::BeginHost() {
    current_.stage = SmtpStage::kGreeting;
    current_.lines.clear();
    complete_ = false;
}

void ReplyRecorder::CommandSent(std::string_view command) {
    current_.stage = StageOfCommand(command);
    current_.lines.clear();
    complete_ = false;
}

void ReplyRecorder::LineReceived(std::string_view line) {
    if (complete_) current_.lines.clear();  // a reply that no command asked for
    complete_ = !ParseSmtpStatus(line).continuation;
    std::string& lines = current_.lines;
    if (!lines.empty() && lines.size() < kMaxReply) lines += '\n';
    lines.append(line.substr(0, kMaxReply - std::min(lines.size(), kMaxReply)));
}

}  // namespace mv

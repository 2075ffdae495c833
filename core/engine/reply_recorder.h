// Follows the replies of one host's conversation, so that the reply that
// decided a result can be reported with it: the command it answered and all
// its lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/result_verdict.h"

namespace mv {

struct DecidingReply {
    SmtpStage stage = SmtpStage::kNone;
    std::string lines;  // separated by "\n"; empty for a failure that is no reply
};

class ReplyRecorder {
  public:
    // At most this many bytes of one reply are kept: a server may send
    // continuation lines for ever.
    static constexpr size_t kMaxReply = 4096;

    // A new connection: the next reply is the greeting.
    void BeginHost();
    // A command line as sent: its reply comes next.
    void CommandSent(std::string_view command);
    void LineReceived(std::string_view line);
    // The reply being received, or the last one, with the command it answers.
    const DecidingReply& Current() const { return current_; }

  private:
    DecidingReply current_;
    bool complete_ = false;  // the last line ended its reply
};

}  // namespace mv

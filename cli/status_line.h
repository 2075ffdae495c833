// The five counters of a run on standard error: redrawn in place at most ten
// times a second when standard error is a terminal, once at the end otherwise.
#pragma once

#include <array>
#include <string>

#include "platform/message_loop.h"

namespace mv::cli {

class StatusLine {
  public:
    explicit StatusLine(MessageLoop& loop);
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    // The latest texts; drawn by the next tick when on a terminal.
    void Update(const std::array<std::string, 5>& texts);
    // Draws the last texts for good.
    void Finish();

  private:
    void Draw(bool final);

    MessageLoop& loop_;
    bool terminal_;
    bool dirty_ = false;
    bool finished_ = false;
    std::string text_;
    MessageLoop::TimerId timer_ = 0;
};

}  // namespace mv::cli

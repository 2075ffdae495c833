// The counters of a run on standard error (the five panels, and what waits
// for a recheck): redrawn in place at most ten times a second when standard
// error is a terminal, once at the end otherwise. The texts are made only
// when they are drawn, not at every event; empty ones are left out.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"

namespace mv::cli {

class StatusLine {
  public:
    using Texts = std::function<std::vector<std::string>()>;

    // `everyTick` runs at each tick of the redraw timer (ten times a second),
    // terminal or not.
    StatusLine(MessageLoop& loop, Texts texts, std::function<void()> everyTick = nullptr);
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    // Something changed: the next tick redraws.
    void Changed() { dirty_ = true; }
    // Draws the last texts for good.
    void Finish();

  private:
    void Draw(bool final);

    MessageLoop& loop_;
    Texts texts_;
    std::function<void()> everyTick_;
    bool terminal_;
    bool dirty_ = false;
    bool finished_ = false;
    MessageLoop::TimerId timer_ = 0;
};

}  // namespace mv::cli

// Ctrl-C and termination requests as events of the message loop: the first
// one asks the run to stop (its results are still written), a second one
// ends the program at once.
#pragma once

#include <functional>

#include "platform/loop/message_loop.h"

namespace mv::cli {

class InterruptWatch {
  public:
    // `beforeExit` runs when a second request ends the program.
    InterruptWatch(MessageLoop& loop, std::function<void()> onFirst,
                   std::function<void()> beforeExit = nullptr);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Interrupted() const { return count_ > 0; }
    int Signal() const { return signal_; }

  private:
    void OnSignal();

    MessageLoop& loop_;
    std::function<void()> onFirst_;
    std::function<void()> beforeExit_;
    int fd_ = -1;
    MessageLoop::WatchId watch_ = 0;
    int count_ = 0;
    int signal_ = 0;
};

}  // namespace mv::cli

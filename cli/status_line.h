// The counters of a run on standard error (the five panels, what waits for a
// recheck, and how far the run has come): redrawn in place at most ten times
// a second when standard error is a terminal, once at the end otherwise. The
// texts are made only when they are drawn, not at every event; empty ones
// are left out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"

namespace mv::cli {

// Whole seconds as H:MM:SS (hours without a limit).
std::string ClockText(uint64_t seconds);

// How far a run has come: its final results against its rows, and the rate
// of the final results of the last ten seconds. Times are millisecond ticks.
class RunProgress {
  public:
    explicit RunProgress(uint32_t start) : start_(start) {}
    // The rows of the run, once it has started (results may come before).
    void SetTotal(size_t total) { total_ = total; }
    void Final(uint32_t now);  // one more final result
    size_t Done() const { return done_; }
    // Final results a second over the last ten seconds (or since the start).
    double Rate(uint32_t now) const;
    // "DONE/TOTAL PCT% RATE/s ETA H:MM:SS"; the ETA reads "--" while the
    // rate is 0.
    std::string Text(uint32_t now) const;
    // "checked N in H:MM:SS (R/s)": the final results and their average rate.
    std::string Closing(uint32_t now) const;

  private:
    static constexpr size_t kSeconds = 10;
    uint64_t Elapsed(uint32_t now) const;  // milliseconds since Begin

    size_t total_ = 0;
    size_t done_ = 0;
    uint32_t start_ = 0;
    // Final results per second of the run, the last kSeconds seconds.
    std::array<uint64_t, kSeconds> second_{};
    std::array<size_t, kSeconds> count_{};
};

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

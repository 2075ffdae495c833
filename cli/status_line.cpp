#include "status_line.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mv::cli {

std::string ClockText(uint64_t seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu:%02u:%02u",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return buf;
}

uint64_t RunProgress::Elapsed(uint32_t now) const {
    return static_cast<uint32_t>(now - start_);  // the tick count wraps
}

void RunProgress::Final(uint32_t now) {
    ++done_;
    const uint64_t second = Elapsed(now) / 1000;
    const size_t slot = second % kSeconds;
    if (second_[slot] != second) count_[slot] = 0;
    second_[slot] = second;
    ++count_[slot];
}

double RunProgress::Rate(uint32_t now) const {
    const uint64_t elapsed = Elapsed(now);
    const uint64_t second = elapsed / 1000;
    size_t recent = 0;
    for (size_t slot = 0; slot < kSeconds; ++slot)
        if (count_[slot] > 0 && second_[slot] + kSeconds > second) recent += count_[slot];
    // The ten seconds that end now: nine whole ones and the current one so far.
    const uint64_t window = std::min<uint64_t>(elapsed, (kSeconds - 1) * 1000 + elapsed % 1000);
    return window == 0 ? 0.0 : static_cast<double>(recent) * 1000.0 / static_cast<double>(window);
}

std::string RunProgress::Text(uint32_t now) const {
    const size_t percent = total_ == 0 ? 100 : done_ * 100 / total_;
    const double rate = Rate(now);
    const auto shownRate = static_cast<uint64_t>(std::llround(rate));
    std::string eta = "--";
    if (shownRate > 0) {
        const size_t left = total_ > done_ ? total_ - done_ : 0;
        eta = ClockText(static_cast<uint64_t>(std::ceil(static_cast<double>(left) / rate)));
    }
    return std::to_string(done_) + "/" + std::to_string(total_) + " " + std::to_string(percent) +
           "% " + std::to_string(shownRate) + "/s ETA " + eta;
}

std::string RunProgress::Closing(uint32_t now) const {
    const uint64_t elapsed = Elapsed(now);
    const double average =
        elapsed == 0 ? 0.0 : static_cast<double>(done_) * 1000.0 / static_cast<double>(elapsed);
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.1f", average);
    return "checked " + std::to_string(done_) + " in " + ClockText(elapsed / 1000) + " (" + rate +
           "/s)";
}

StatusLine::StatusLine(MessageLoop& loop, Texts texts, std::function<void()> everyTick)
    : loop_(loop),
      texts_(std::move(texts)),
      everyTick_(std::move(everyTick)),
      terminal_(isatty(2) != 0) {
    timer_ = loop_.StartTimer(100, [this] {
        if (everyTick_) everyTick_();
        if (terminal_ && dirty_) Draw(false);
    });
}

StatusLine::~StatusLine() {
    if (timer_ != 0) loop_.StopTimer(timer_);
}

void StatusLine::Finish() {
    if (finished_ || !dirty_) return;
    finished_ = true;
    Draw(true);
}

void StatusLine::Draw(bool final) {
    dirty_ = false;
    std::string text;
    for (const std::string& t : texts_())
        if (!t.empty()) text += (text.empty() ? "" : "   ") + t;
    if (terminal_) {
        std::fprintf(stderr, "\r%s\x1b[K%s", text.c_str(), final ? "\n" : "");
    } else if (final) {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

}  // namespace mv::cli

#include "status_line.h"

#include <unistd.h>

#include <cstdio>

namespace mv::cli {

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

#include "status_line.h"

#include <unistd.h>

#include <cstdio>

namespace mv::cli {

StatusLine::StatusLine(MessageLoop& loop) : loop_(loop), terminal_(isatty(2) != 0) {
    if (terminal_)
        timer_ = loop_.StartTimer(100, [this] {
            if (dirty_) Draw(false);
        });
}

StatusLine::~StatusLine() {
    if (timer_ != 0) loop_.StopTimer(timer_);
}

void StatusLine::Update(const std::array<std::string, 5>& texts) {
    text_.clear();
    for (const std::string& t : texts)
        text_ += (text_.empty() ? "" : "   ") + t;
    dirty_ = true;
}

void StatusLine::Finish() {
    if (finished_ || text_.empty()) return;
    finished_ = true;
    Draw(true);
}

void StatusLine::Draw(bool final) {
    dirty_ = false;
    if (terminal_) {
        std::fprintf(stderr, "\r%s\x1b[K%s", text_.c_str(), final ? "\n" : "");
    } else if (final) {
        std::fprintf(stderr, "%s\n", text_.c_str());
    }
    std::fflush(stderr);
}

}  // namespace mv::cli

#include "interrupts.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

namespace mv::cli {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

InterruptWatch::InterruptWatch(MessageLoop& loop, std::function<void()> onFirst,
                               std::function<void()> beforeExit)
    : loop_(loop), onFirst_(std::move(onFirst)), beforeExit_(std::move(beforeExit)) {
    const sigset_t set = StopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ >= 0) watch_ = loop_.WatchFd(fd_, kFdReadable, [this](unsigned) { OnSignal(); });
    if (watch_ == 0) {
        // Blocked signals nobody reads would make Ctrl-C do nothing: leave
        // them to end the program as they normally do.
        std::fputs("mailvetter-cli: cannot watch for Ctrl-C; it ends the program at once\n",
                   stderr);
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
}

InterruptWatch::~InterruptWatch() {
    if (watch_ == 0) return;
    loop_.UnwatchFd(watch_, true);
    close(fd_);
    const sigset_t set = StopSignals();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void InterruptWatch::OnSignal() {
    signalfd_siginfo info{};
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        signal_ = static_cast<int>(info.ssi_signo);
        if (++count_ == 1) {
            std::fputs("\nmailvetter-cli: stopping; interrupt again to end at once\n", stderr);
            if (onFirst_) onFirst_();
        } else {
            if (beforeExit_) beforeExit_();
            std::fputs("\nmailvetter-cli: ended\n", stderr);
            _exit(128 + signal_);
        }
    }
}

}  // namespace mv::cli

#include "interrupts.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

namespace mv::cli {

InterruptWatch::InterruptWatch(MessageLoop& loop, std::function<void()> onFirst)
    : loop_(loop), onFirst_(std::move(onFirst)) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ >= 0) watch_ = loop_.WatchFd(fd_, kFdReadable, [this](unsigned) { OnSignal(); });
}

InterruptWatch::~InterruptWatch() {
    if (watch_ != 0) loop_.UnwatchFd(watch_, true);
    if (fd_ >= 0) close(fd_);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
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
            std::fputs("\nmailvetter-cli: ended\n", stderr);
            _exit(128 + signal_);
        }
    }
}

}  // namespace mv::cli

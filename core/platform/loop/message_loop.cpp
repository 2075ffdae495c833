#include "platform/loop/message_loop.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace mv {

namespace {
thread_local MessageLoop* t_current = nullptr;
}

MessageLoop::MessageLoop() : previous_(t_current) {
    t_current = this;
}

MessageLoop::~MessageLoop() {
    if (t_current == this) t_current = previous_;
    // Whatever was retired goes now; nothing can be on the stack any more.
    FreeRetired();
}

MessageLoop& MessageLoop::Current() {
    if (t_current == nullptr) {
        std::fputs("mailvetter: no message loop on this thread\n", stderr);
        std::abort();
    }
    return *t_current;
}

MessageLoop* MessageLoop::CurrentOrNull() {
    return t_current;
}

int MessageLoop::Run() {
    quit_ = false;
    RunUntilQuit();
    quit_ = false;
    return quitCode_;
}

void MessageLoop::RunUntilQuit() {
    while (!quit_)
        ProcessMessages(true);
}

void MessageLoop::Quit(int code) {
    quit_ = true;
    quitCode_ = code;
    OnQuit();
}

bool MessageLoop::WaitUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (quit_) return false;
        ProcessMessages(true);
    }
    return true;
}

void MessageLoop::LeaveDispatch() {
    --depth_;
    if (depth_ == 0) FreeRetired();
}

void MessageLoop::HandlerFailed(const std::exception_ptr& error) noexcept {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        std::fflush(nullptr);  // keep what was written so far
        std::fputs("mailvetter: out of memory while handling an event; ending\n", stderr);
        std::_Exit(1);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mailvetter: an event handler failed: %s (going on)\n", e.what());
        message = e.what();
    } catch (...) {
        std::fputs("mailvetter: an event handler failed with an unknown exception (going on)\n",
                   stderr);
        message = "unknown exception";
    }
    if (!OnHandlerFailed) return;
    try {
        OnHandlerFailed(message);
    } catch (...) {
        // Standard error has it; a listener that fails must not stop the loop.
    }
}

void MessageLoop::FreeRetired() {
    // Destructors may retire further objects; take the lists first, and go on
    // until nothing is left.
    while (!retired_.empty() || !graveyard_.empty()) {
        auto retired = std::move(retired_);
        retired_.clear();
        auto graves = std::move(graveyard_);
        graveyard_.clear();
        retiredFreed_ += retired.size();
        retired.clear();
        graves.clear();
    }
}

}  // namespace mv

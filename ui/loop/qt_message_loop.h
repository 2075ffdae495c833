// The message loop of the desktop program: the core's callbacks run from Qt's
// event loop, so the window keeps painting and taking input while the network
// works, and a nested wait of the core keeps both going.
//
// Descriptors and timers are kept by the epoll backend underneath. Qt watches
// only its epoll descriptor (one notifier) and the next timer deadline (one
// timer); posted callbacks arrive through one queued Qt event. One Qt notifier
// per socket was measured against this and is far slower with many
// connections (Qt polls every notifier on every round).
//
// Needs the Qt application object (QCoreApplication or QApplication) on the
// thread that creates it, and must go before it.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "platform/loop/epoll_loop.h"

class QEventLoop;

namespace mv {

class QtLoopBridge;

class QtMessageLoop final : public EpollLoop {
  public:
    // Receives what a handler threw; the loop itself goes on.
    using ErrorHandler = std::function<void(std::exception_ptr)>;

    QtMessageLoop();
    ~QtMessageLoop() override;

    void Post(Callback cb) override;
    TimerId StartTimer(uint32_t intervalMs, Callback cb) override;
    // Runs one round of Qt's event loop (waiting for an event with
    // `mayBlock`): window events as well as the core's. True when a handler
    // of the core ran.
    bool ProcessMessages(bool mayBlock) override;

    // Runs `fn` as a handler of this loop. Everything that Qt starts and that
    // enters the core goes through here: the depth is counted (objects handed
    // to DeleteLater are freed when the outermost handler ends) and nothing
    // thrown crosses Qt's event loop; it goes to the error handler instead.
    // False when `fn` threw.
    template <class F>
    bool Call(F&& fn) noexcept {
        bool completed = false;
        EnterDispatch();
        try {
            std::forward<F>(fn)();
            completed = true;
        } catch (...) {
            ReportEscaped(std::current_exception());
        }
        LeaveDispatch();
        return completed;
    }

    // Without one, what escapes a handler is written to standard error.
    void SetErrorHandler(ErrorHandler handler) { onError_ = std::move(handler); }

  protected:
    // Run is a Qt event loop (QEventLoop::exec) that Quit ends.
    void RunUntilQuit() override;
    void OnQuit() override;

  private:
    friend class QtLoopBridge;

    // Called by the bridge when Qt reports the descriptor, the timer or the
    // queued event.
    void DispatchFromQt();
    void PostedWakeArrived();
    void QueueWake();
    // Keeps Qt's timer at the earliest deadline of the core's timers.
    void ArmTimer();
    void ReportEscaped(const std::exception_ptr& error) noexcept;

    std::unique_ptr<QtLoopBridge> bridge_;
    ErrorHandler onError_;
    std::thread::id owner_;
    QEventLoop* running_ = nullptr;  // the innermost Run
    bool wakeQueued_ = false;
    bool blockingRound_ = false;  // a ProcessMessages(true) is in Qt's wait
    uint64_t passesHandled_ = 0;
};

}  // namespace mv

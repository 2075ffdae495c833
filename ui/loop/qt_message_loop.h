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

#include <memory>
#include <thread>
#include <utility>

#include "platform/loop/epoll_loop.h"

class QEventLoop;

namespace mv {

class QtLoopBridge;

class QtMessageLoop final : public EpollLoop {
  public:
    QtMessageLoop();
    ~QtMessageLoop() override;

    void Post(Callback cb) override;
    TimerId StartTimer(uint32_t intervalMs, Callback cb) override;
    // Runs one round of Qt's event loop (waiting for an event with
    // `mayBlock`): window events as well as the core's. True when a handler
    // of the core ran.
    bool ProcessMessages(bool mayBlock) override;

    // Runs `fn` as a handler of this loop. Everything that Qt starts and that
    // enters the core goes through here: it is one level of dispatch (objects
    // handed to DeleteLater are freed when the outermost level ends), and an
    // exception escaping `fn` ends here as it does for every handler of the
    // core (see message_loop.h), never in Qt's event loop. A command that
    // shows its own errors catches them inside `fn`.
    template <class F>
    void Call(F&& fn) noexcept {
        const DispatchScope level(*this);
        Dispatch(fn);
    }
    // Runs `fn` outside the innermost Call: for a modal window of a command
    // whose own code holds nothing of the core while the window is shown (a
    // log, a summary, a message). Connections that end while it stays open
    // through a long run are then freed as they end, not when it closes.
    template <class F>
    void OutsideCall(F&& fn) {
        const DispatchPause pause(*this);
        fn();
    }

    // The Qt loop of this thread, if the thread's loop is one.
    static QtMessageLoop* CurrentOrNull();

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

    std::unique_ptr<QtLoopBridge> bridge_;
    std::thread::id owner_;
    QEventLoop* running_ = nullptr;  // the innermost Run
    bool wakeQueued_ = false;
    bool blockingRound_ = false;  // a ProcessMessages(true) is in Qt's wait
    uint64_t passesHandled_ = 0;
};

// Runs `fn` as a handler of the thread's Qt loop (QtMessageLoop::Call), or
// at once on a thread without one. Every entry from Qt into the core goes
// through here (the window's commands through RunCommand).
template <class F>
void EnterCore(F&& fn) {
    if (QtMessageLoop* loop = QtMessageLoop::CurrentOrNull())
        loop->Call(std::forward<F>(fn));
    else
        fn();
}

// Runs `fn` outside the innermost Call of the thread's Qt loop, if any.
template <class F>
void OutsideCore(F&& fn) {
    if (QtMessageLoop* loop = QtMessageLoop::CurrentOrNull())
        loop->OutsideCall(std::forward<F>(fn));
    else
        fn();
}

}  // namespace mv

// The one message loop of a thread: posted callbacks, repeating timers,
// watches on file descriptors, nested waits and deferred deletion.
//
// Everything in the program that reacts to the network or to time runs from
// the loop of the thread that owns it. The interface hides the mechanism: the
// command-line program and the tests run it over epoll (EpollLoop); a window
// front end can implement it over its own toolkit's loop without any change to
// the code above.
//
// The lifetime rule: nothing is freed while a handler of it may be on the
// stack. Whoever ends an object from inside a callback hands it to
// DeleteLater, which frees it once no handler of any nesting depth is left;
// above the socket layer (SMTP client, DNS query, sessions, dispatcher, check
// run) that is the only mechanism, and no code asks "do I still exist?".
// Only the socket layer, whose users may delete a socket inside its own
// events, checks a destruction guard after each call out. A callback an
// object posts to itself carries its WeakToken, so it is dropped once the
// object has gone. The loop keeps the rule for its own parts: a watch or
// timer is dispatched by its identity (id and generation), so removing it
// cancels what was still pending of it, and a callback that removes itself
// stays alive until the outermost level.
//
// Handlers deal with their own failures: the components turn errors into
// events and results. An exception that still escapes a handler is a fault,
// and the loop that called the handler catches it (Dispatch), so it never
// unwinds a nested wait, a toolkit's loop or the dispatch depth:
//  * std::bad_alloc ends the program with a message on standard error and
//    exit status 1 (standard output is flushed first): after running out of
//    memory nothing can be trusted to go on;
//  * any other exception is reported on standard error (and to
//    OnHandlerFailed, for a front end that shows it) and the loop goes on
//    with the next message, so that one faulty check does not cost the results
//    of all the others.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace mv {

// Interest in a descriptor, and readiness reported for it.
enum FdEvents : unsigned {
    kFdNone = 0,
    kFdReadable = 1,
    kFdWritable = 2,
    kFdError = 4,  // error or hang-up; always reported while the fd is watched
};

class MessageLoop {
  public:
    using Callback = std::function<void()>;
    using FdCallback = std::function<void(unsigned readiness)>;
    using TimerId = uint64_t;
    using WatchId = uint64_t;

    MessageLoop();
    virtual ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // The loop of the calling thread (the last one created on it that still
    // exists). Components pick it up when they are constructed.
    static MessageLoop& Current();
    static MessageLoop* CurrentOrNull();

    // Queues `cb` to run on the loop's thread. Safe from any thread; wakes a
    // loop that is blocked waiting.
    virtual void Post(Callback cb) = 0;

    // A repeating timer whose first tick comes `intervalMs` from now. A tick is
    // never queued twice: a late loop runs it once and schedules the next one
    // a whole interval later.
    virtual TimerId StartTimer(uint32_t intervalMs, Callback cb) = 0;
    virtual void StopTimer(TimerId id) = 0;

    // Watches `fd` for the readiness in `interest` (kFdReadable, kFdWritable).
    // With an interest of kFdNone the descriptor is not watched at all, so
    // that a hung-up descriptor cannot make the loop spin.
    // The system may refuse to watch a descriptor (one that cannot be polled,
    // or no kernel memory left): WatchFd then returns 0 with errno set, and
    // SetFdInterest returns the errno value (else 0) and leaves the descriptor
    // unwatched. Nothing would ever come from it, so the owner must fail
    // whatever waits on it.
    virtual WatchId WatchFd(int fd, unsigned interest, FdCallback cb) = 0;
    virtual int SetFdInterest(WatchId id, unsigned interest) = 0;
    // Must be called before the descriptor is closed. With `descriptorClosing`
    // the caller closes it right afterwards, so the backend may skip telling
    // the kernel (closing removes it from the kernel's set anyway).
    virtual void UnwatchFd(WatchId id, bool descriptorClosing = false) = 0;
    // True when a descriptor that failed (a connect that failed included) is
    // always reported with kFdError, so that readiness without it means no
    // error is pending. A backend that cannot tell says false.
    virtual bool ReportsErrors() const { return false; }

    // Handles what is ready now: posted callbacks, due timers, ready
    // descriptors. When nothing was ready and `mayBlock` is true it sleeps
    // until something is, handles it and returns; it never spins. Returns true
    // when anything was handled. May be called from inside a handler (nested).
    virtual bool ProcessMessages(bool mayBlock) = 0;

    // Runs until Quit; returns the code given to Quit.
    int Run();
    void Quit(int code = 0);
    bool QuitRequested() const { return quit_; }

    // Processes messages, blocking between them, until `done()` holds or the
    // loop is asked to quit. Returns true when `done()` held.
    bool WaitUntil(const std::function<bool()>& done);

    // How many levels of dispatch are on the stack: ProcessMessages calls, or
    // on a backend inside another toolkit's loop its calls into the core.
    int Depth() const { return depth_; }
    // How many retired objects have been freed so far: a witness for tests
    // that nothing goes while a handler may still be on the stack.
    uint64_t RetiredFreed() const { return retiredFreed_; }

    // Told the message of every exception that escaped a handler (after it
    // has been reported on standard error); it must not throw.
    std::function<void(const std::string& message)> OnHandlerFailed;

    // Hands an object over for deletion once the loop is back at its outermost
    // level (see the rules above).
    template <class T>
    void DeleteLater(std::unique_ptr<T> object) {
        if (object) retired_.push_back(std::make_unique<Holder<T>>(std::move(object)));
    }

  protected:
    // How Run waits for Quit: handling messages until it is asked to stop. A
    // backend inside another toolkit's loop runs that loop instead and ends it
    // from OnQuit.
    virtual void RunUntilQuit();
    virtual void OnQuit() {}

    // One level of dispatch, for as long as it lives: backends open one for
    // each ProcessMessages, or, inside another toolkit's loop, for each call
    // into the core that the toolkit makes. Leaving the outermost level frees
    // what was retired, also when the level is left by an exception.
    class DispatchScope {
      public:
        explicit DispatchScope(MessageLoop& loop) : loop_(loop) { ++loop_.depth_; }
        ~DispatchScope() { loop_.LeaveDispatch(); }
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

      private:
        MessageLoop& loop_;
    };

    // Inside a level of dispatch, steps out of it for as long as it lives:
    // for code that waits (a modal window) while nothing of the handler that
    // opened the level is on the stack below it. What retires meanwhile is
    // then freed as usual instead of when that handler ends.
    class DispatchPause {
      public:
        explicit DispatchPause(MessageLoop& loop) : loop_(loop), paused_(loop.depth_ > 0) {
            if (paused_) --loop_.depth_;
        }
        ~DispatchPause() {
            if (paused_) ++loop_.depth_;
        }
        DispatchPause(const DispatchPause&) = delete;
        DispatchPause& operator=(const DispatchPause&) = delete;

      private:
        MessageLoop& loop_;
        bool paused_;
    };

    // Runs one handler (a posted callback, a timer tick, a descriptor's
    // readiness). Every backend calls its handlers through here: this is where
    // an exception escaping a handler ends (see the top of this file).
    template <class Handler, class... Args>
    void Dispatch(Handler& handler, Args... args) noexcept {
        try {
            handler(args...);
        } catch (...) {
            HandlerFailed(std::current_exception());
        }
    }
    // Keeps a callback that removed itself alive until the outermost level.
    void Bury(std::shared_ptr<void> callbackState) {
        graveyard_.push_back(std::move(callbackState));
    }
    void FreeRetired();

  private:
    void LeaveDispatch();
    void HandlerFailed(const std::exception_ptr& error) noexcept;

    struct Retired {
        virtual ~Retired() = default;
    };
    template <class T>
    struct Holder : Retired {
        explicit Holder(std::unique_ptr<T> p) : object(std::move(p)) {}
        std::unique_ptr<T> object;
    };

    int depth_ = 0;
    uint64_t retiredFreed_ = 0;
    bool quit_ = false;
    int quitCode_ = 0;
    std::vector<std::unique_ptr<Retired>> retired_;
    std::vector<std::shared_ptr<void>> graveyard_;
    MessageLoop* previous_ = nullptr;
};

// Runs `fn` on the loop later unless `owner` has gone by then; the usual way
// for a component to post a notice to itself.
class WeakToken {
  public:
    WeakToken() : alive_(std::make_shared<char>(0)) {}
    std::weak_ptr<char> Weak() const {
        handedOut_ = true;
        return alive_;
    }
    // Invalidates every outstanding weak reference (used to drop stale
    // notices). With none handed out since the last renewal there is nothing
    // to invalidate, and a socket closed after every check saves an allocation.
    void Renew() {
        if (!handedOut_) return;
        alive_ = std::make_shared<char>(0);
        handedOut_ = false;
    }

  private:
    std::shared_ptr<char> alive_;
    mutable bool handedOut_ = false;
};

}  // namespace mv

#include "loop/qt_message_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimerEvent>

#include <chrono>
#include <stdexcept>

namespace mv {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QEvent::Type WakeEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

// The Qt side: a notifier on the epoll descriptor, one timer for the next
// deadline and the queued event that stands for posted callbacks. Each of
// them runs one dispatch pass of the loop.
class QtLoopBridge final : public QObject {
  public:
    QtLoopBridge(QtMessageLoop& loop, int fd) : loop_(loop), notifier_(fd, QSocketNotifier::Read) {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] { loop_.DispatchFromQt(); });
    }

    void QueueWake() { QCoreApplication::postEvent(this, new QEvent(WakeEventType())); }

    // Arms the timer to fire in `ms`, unless it already fires no later than
    // that; -1 means no deadline. A timer that fires early only costs an empty
    // pass, after which it is armed again.
    void ArmTimer(int ms) {
        if (ms < 0) return;
        const int64_t due = NowMs() + ms;
        if (timerId_ != 0 && armedDue_ <= due) return;
        if (timerId_ != 0) killTimer(timerId_);
        timerId_ = startTimer(ms, Qt::PreciseTimer);
        armedDue_ = due;
    }

  protected:
    bool event(QEvent* e) override {
        if (e->type() != WakeEventType()) return QObject::event(e);
        loop_.PostedWakeArrived();
        return true;
    }

    void timerEvent(QTimerEvent* e) override {
        if (e->timerId() != timerId_) return;
        // Single shot: Qt does not fire a timer again while its handler runs,
        // so a nested wait inside this pass arms a new one.
        killTimer(timerId_);
        timerId_ = 0;
        loop_.DispatchFromQt();
    }

  private:
    QtMessageLoop& loop_;
    QSocketNotifier notifier_;
    int timerId_ = 0;
    int64_t armedDue_ = 0;
};

QtMessageLoop::QtMessageLoop() : owner_(std::this_thread::get_id()) {
    if (QCoreApplication::instance() == nullptr)
        throw std::logic_error("the Qt message loop needs the Qt application object");
    bridge_ = std::make_unique<QtLoopBridge>(*this, Descriptor());
}

QtMessageLoop::~QtMessageLoop() {
    // Retired objects may still unwatch their descriptors: free them while the
    // whole loop is there.
    FreeRetired();
    bridge_.reset();
}

QtMessageLoop* QtMessageLoop::CurrentOrNull() {
    return dynamic_cast<QtMessageLoop*>(MessageLoop::CurrentOrNull());
}

void QtMessageLoop::Post(Callback cb) {
    // From another thread the epoll descriptor wakes Qt; on this thread one
    // queued event stands for every callback posted until it arrives.
    EpollLoop::Post(std::move(cb));
    if (std::this_thread::get_id() == owner_) QueueWake();
}

void QtMessageLoop::QueueWake() {
    if (wakeQueued_ || !bridge_) return;
    wakeQueued_ = true;
    bridge_->QueueWake();
}

MessageLoop::TimerId QtMessageLoop::StartTimer(uint32_t intervalMs, Callback cb) {
    const TimerId id = EpollLoop::StartTimer(intervalMs, std::move(cb));
    ArmTimer();
    return id;
}

bool QtMessageLoop::ProcessMessages(bool mayBlock) {
    const uint64_t before = passesHandled_;
    ArmTimer();
    // First a round that takes only what is there. It also clears Qt's own
    // wake-ups (from registering a notifier, say), after which a blocking
    // round really waits for something.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (mayBlock && passesHandled_ == before && !QuitRequested()) {
        const bool outerBlocking = blockingRound_;
        blockingRound_ = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        blockingRound_ = outerBlocking;
    }
    if (Depth() == 0) FreeRetired();
    return passesHandled_ != before;
}

void QtMessageLoop::RunUntilQuit() {
    QEventLoop eventLoop;
    QEventLoop* const outer = running_;
    running_ = &eventLoop;
    const int code = eventLoop.exec();
    running_ = outer;
    // Ended by Qt (the application quits): the core's waits end as well.
    if (!QuitRequested()) Quit(code);
}

void QtMessageLoop::OnQuit() {
    if (running_ != nullptr) running_->exit();
}

void QtMessageLoop::DispatchFromQt() {
    // A handler may run a Qt loop of its own (a modal dialog) without calling
    // ProcessMessages: the timer must be armed while it runs.
    ArmTimer();
    bool handled = false;
    Call([&] { handled = DispatchPass(false); });
    ArmTimer();
    if (!handled) return;
    ++passesHandled_;
    // Some of Qt's dispatchers deliver queued events and then still sleep
    // until the next event; a blocking round of ProcessMessages must return
    // once the core has handled something.
    if (blockingRound_) {
        blockingRound_ = false;
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
    }
}

void QtMessageLoop::PostedWakeArrived() {
    wakeQueued_ = false;
    DispatchFromQt();
}

void QtMessageLoop::ArmTimer() {
    if (bridge_) bridge_->ArmTimer(NextTimeoutMs());
}

}  // namespace mv

#include "per_socket_qt_loop.h"

#include <poll.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimerEvent>

namespace mv {

namespace {

QEvent::Type WakeEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

unsigned Readiness(int fd, unsigned interest) {
    pollfd p{fd, 0, 0};
    if (interest & kFdReadable) p.events |= POLLIN;
    if (interest & kFdWritable) p.events |= POLLOUT;
    if (poll(&p, 1, 0) <= 0) return kFdNone;
    unsigned r = kFdNone;
    if (p.revents & (POLLIN | POLLPRI)) r |= kFdReadable;
    if (p.revents & POLLOUT) r |= kFdWritable;
    if (p.revents & (POLLERR | POLLHUP)) r |= kFdError;
    return r & (interest | kFdError);
}

}  // namespace

class PerSocketQtLoop::Bridge final : public QObject {
  public:
    explicit Bridge(PerSocketQtLoop& loop) : loop_(loop) {}

  protected:
    bool event(QEvent* e) override {
        if (e->type() != WakeEventType()) return QObject::event(e);
        loop_.RunPosted();
        return true;
    }
    void timerEvent(QTimerEvent* e) override { loop_.OnTimer(e->timerId()); }

  private:
    PerSocketQtLoop& loop_;
};

PerSocketQtLoop::PerSocketQtLoop() : bridge_(std::make_unique<Bridge>(*this)) {}

PerSocketQtLoop::~PerSocketQtLoop() {
    FreeRetired();
    watches_.clear();
    bridge_.reset();
}

template <class F>
void PerSocketQtLoop::Call(F&& fn) noexcept {
    {
        const DispatchScope level(*this);
        Dispatch(fn);
    }
    ++handled_;
    if (blockingRound_) {
        blockingRound_ = false;
        QAbstractEventDispatcher::instance()->wakeUp();
    }
}

void PerSocketQtLoop::Post(Callback cb) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        posted_.push_back(std::move(cb));
        wake = !wakeQueued_;
        wakeQueued_ = true;
    }
    if (wake) QueueWake();
}

void PerSocketQtLoop::QueueWake() {
    QCoreApplication::postEvent(bridge_.get(), new QEvent(WakeEventType()));
}

void PerSocketQtLoop::RunPosted() {
    size_t budget;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        wakeQueued_ = false;
        budget = posted_.size();
    }
    while (budget-- > 0) {
        Callback cb;
        {
            std::lock_guard<std::mutex> lock(postMutex_);
            if (posted_.empty()) break;
            cb = std::move(posted_.front());
            posted_.pop_front();
        }
        if (cb) Call(cb);
    }
}

MessageLoop::TimerId PerSocketQtLoop::StartTimer(uint32_t intervalMs, Callback cb) {
    const TimerId id = nextTimerId_++;
    const int qtId = bridge_->startTimer(static_cast<int>(intervalMs), Qt::PreciseTimer);
    timers_[id] = Timer{qtId, std::make_shared<Callback>(std::move(cb))};
    byQtId_[qtId] = id;
    return id;
}

void PerSocketQtLoop::StopTimer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    bridge_->killTimer(it->second.qtId);
    byQtId_.erase(it->second.qtId);
    Bury(std::move(it->second.cb));
    timers_.erase(it);
}

void PerSocketQtLoop::OnTimer(int qtId) {
    auto it = byQtId_.find(qtId);
    if (it == byQtId_.end()) return;
    Callback* cb = timers_[it->second].cb.get();  // buried if the timer stops itself
    Call([cb] { (*cb)(); });
}

MessageLoop::WatchId PerSocketQtLoop::WatchFd(int fd, unsigned interest, FdCallback cb) {
    uint32_t slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = static_cast<uint32_t>(watches_.size());
        watches_.emplace_back();
    }
    Watch& w = watches_[slot];
    if (!w.read) {
        w.read = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
        w.write = std::make_unique<QSocketNotifier>(QSocketNotifier::Write);
        for (QSocketNotifier* n : {w.read.get(), w.write.get()})
            QObject::connect(n, &QSocketNotifier::activated, bridge_.get(),
                             [this, slot] { OnNotifier(slot); });
    }
    w.fd = fd;
    w.interest = interest & (kFdReadable | kFdWritable);
    w.inUse = true;
    w.cb = std::make_shared<FdCallback>(std::move(cb));
    w.read->setSocket(fd);
    w.write->setSocket(fd);
    Apply(w);
    return (uint64_t{w.generation} << 32) | slot;
}

PerSocketQtLoop::Watch* PerSocketQtLoop::Find(WatchId id) {
    const auto slot = static_cast<uint32_t>(id & 0xffffffffu);
    if (slot >= watches_.size()) return nullptr;
    Watch& w = watches_[slot];
    if (!w.inUse || w.generation != static_cast<uint32_t>(id >> 32)) return nullptr;
    return &w;
}

void PerSocketQtLoop::Apply(Watch& w) {
    w.read->setEnabled(w.inUse && (w.interest & kFdReadable));
    w.write->setEnabled(w.inUse && (w.interest & kFdWritable));
}

int PerSocketQtLoop::SetFdInterest(WatchId id, unsigned interest) {
    Watch* w = Find(id);
    if (w == nullptr) return 0;
    w->interest = interest & (kFdReadable | kFdWritable);
    Apply(*w);
    return 0;
}

void PerSocketQtLoop::UnwatchFd(WatchId id, bool) {
    Watch* w = Find(id);
    if (w == nullptr) return;
    w->inUse = false;
    Apply(*w);
    Bury(std::move(w->cb));
    w->fd = -1;
    ++w->generation;
    freeSlots_.push_back(static_cast<uint32_t>(id & 0xffffffffu));
}

void PerSocketQtLoop::OnNotifier(uint32_t slot) {
    Watch& w = watches_[slot];
    if (!w.inUse) return;
    // Qt tells neither errors apart nor which direction: ask the descriptor.
    const unsigned readiness = Readiness(w.fd, w.interest);
    if (readiness == kFdNone) return;
    FdCallback* cb = w.cb.get();  // buried if the watch is removed
    Call([cb, readiness] { (*cb)(readiness); });
}

bool PerSocketQtLoop::ProcessMessages(bool mayBlock) {
    const uint64_t before = handled_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (mayBlock && handled_ == before && !QuitRequested()) {
        const bool outer = blockingRound_;
        blockingRound_ = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        blockingRound_ = outer;
    }
    if (Depth() == 0) FreeRetired();
    return handled_ != before;
}

void PerSocketQtLoop::RunUntilQuit() {
    QEventLoop eventLoop;
    QEventLoop* const outer = running_;
    running_ = &eventLoop;
    eventLoop.exec();
    running_ = outer;
}

void PerSocketQtLoop::OnQuit() {
    if (running_ != nullptr) running_->exit();
}

}  // namespace mv

// The other way to put the message loop on Qt, kept for the loop benchmarks:
// one QSocketNotifier per watched descriptor and direction, one Qt timer per
// timer. The desktop program uses QtMessageLoop (one notifier over an epoll
// descriptor), which measured faster.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/loop/message_loop.h"

class QEventLoop;
class QSocketNotifier;

namespace mv {

class PerSocketQtLoop final : public MessageLoop {
  public:
    PerSocketQtLoop();
    ~PerSocketQtLoop() override;

    void Post(Callback cb) override;
    TimerId StartTimer(uint32_t intervalMs, Callback cb) override;
    void StopTimer(TimerId id) override;
    WatchId WatchFd(int fd, unsigned interest, FdCallback cb) override;
    int SetFdInterest(WatchId id, unsigned interest) override;
    void UnwatchFd(WatchId id, bool descriptorClosing = false) override;
    bool ProcessMessages(bool mayBlock) override;

  protected:
    void RunUntilQuit() override;
    void OnQuit() override;

  private:
    class Bridge;
    struct Watch {
        int fd = -1;
        unsigned interest = kFdNone;
        bool inUse = false;
        uint32_t generation = 1;
        std::shared_ptr<FdCallback> cb;
        // Kept with the slot and reused: never deleted inside their own signal.
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };
    struct Timer {
        int qtId = 0;
        std::shared_ptr<Callback> cb;
    };

    template <class F>
    void Call(F&& fn) noexcept;
    Watch* Find(WatchId id);
    void Apply(Watch& w);
    void OnNotifier(uint32_t slot);
    void OnTimer(int qtId);
    void RunPosted();
    void QueueWake();

    std::unique_ptr<Bridge> bridge_;
    std::vector<Watch> watches_;
    std::vector<uint32_t> freeSlots_;
    std::map<TimerId, Timer> timers_;
    std::unordered_map<int, TimerId> byQtId_;
    TimerId nextTimerId_ = 1;
    std::mutex postMutex_;
    std::deque<Callback> posted_;
    bool wakeQueued_ = false;  // guarded by postMutex_
    bool blockingRound_ = false;
    uint64_t handled_ = 0;
    QEventLoop* running_ = nullptr;
};

}  // namespace mv

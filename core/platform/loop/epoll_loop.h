// The message loop over Linux epoll, used by the command-line program, the
// tests and the benchmarks. The window's loop builds on it: Qt then watches
// only the epoll descriptor and the next timer deadline.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/loop/message_loop.h"

namespace mv {

class EpollLoop : public MessageLoop {
  public:
    EpollLoop();
    ~EpollLoop() override;

    void Post(Callback cb) override;
    TimerId StartTimer(uint32_t intervalMs, Callback cb) override;
    void StopTimer(TimerId id) override;
    WatchId WatchFd(int fd, unsigned interest, FdCallback cb) override;
    int SetFdInterest(WatchId id, unsigned interest) override;
    void UnwatchFd(WatchId id, bool descriptorClosing = false) override;
    bool ReportsErrors() const override { return true; }  // EPOLLERR
    bool ProcessMessages(bool mayBlock) override;

    // Number of descriptors currently watched (for tests of the lifetime rules).
    size_t WatchCount() const { return liveWatches_; }

  protected:
    // One pass over posted callbacks, due timers and ready descriptors,
    // without the dispatch bracket: the caller counts the depth. With
    // `mayBlock` it sleeps until something is ready when nothing was.
    bool DispatchPass(bool mayBlock);
    // Readable whenever a watched descriptor is ready or another thread posted.
    int Descriptor() const { return epfd_; }
    // Milliseconds until the next timer is due (rounded up), -1 without timers.
    int NextTimeoutMs() const;

  private:
    struct Watch {
        int fd = -1;
        unsigned interest = kFdNone;
        bool registered = false;
        bool inUse = false;
        uint32_t generation = 1;  // ids are never 0, so 0 can mean "none"
        std::shared_ptr<FdCallback> cb;
    };
    struct Timer {
        TimerId id;
        uint32_t interval;
        uint64_t deadline;  // monotonic nanoseconds
        std::shared_ptr<Callback> cb;
    };

    Watch* Find(WatchId id);
    int Register(Watch& w, uint32_t slot);
    void ReleaseSlot(Watch& w, uint32_t slot);
    bool RunPosted();
    bool RunDueTimers();
    bool PollFds(int timeoutMs);

    int epfd_ = -1;
    int wakefd_ = -1;
    std::thread::id owner_;

    std::mutex postMutex_;
    std::deque<Callback> posted_;

    std::vector<Watch> watches_;
    std::vector<uint32_t> freeSlots_;
    size_t liveWatches_ = 0;

    std::vector<Timer> timers_;
    TimerId nextTimerId_ = 1;
};

}  // namespace mv

#include "platform/loop/epoll_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

namespace mv {

namespace {

constexpr uint64_t kWakeId = ~uint64_t{0};

uint64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

uint32_t EpollMask(unsigned interest) {
    uint32_t m = 0;
    if (interest & kFdReadable) m |= EPOLLIN;
    if (interest & kFdWritable) m |= EPOLLOUT;
    return m;
}

}  // namespace

EpollLoop::EpollLoop() : owner_(std::this_thread::get_id()) {
    epfd_ = epoll_create1(EPOLL_CLOEXEC);
    wakefd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeId;
    if (epfd_ < 0 || wakefd_ < 0 || epoll_ctl(epfd_, EPOLL_CTL_ADD, wakefd_, &ev) != 0) {
        const int err = errno;
        if (wakefd_ >= 0) close(wakefd_);
        if (epfd_ >= 0) close(epfd_);
        throw std::system_error(err, std::generic_category(), "cannot create the message loop");
    }
}

EpollLoop::~EpollLoop() {
    close(wakefd_);
    close(epfd_);
}

void EpollLoop::Post(Callback cb) {
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        posted_.push_back(std::move(cb));
    }
    // The loop's own thread checks the queue before it sleeps; only another
    // thread has to wake it.
    if (std::this_thread::get_id() != owner_) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakefd_, &one, sizeof one);
    }
}

MessageLoop::TimerId EpollLoop::StartTimer(uint32_t intervalMs, Callback cb) {
    Timer t{nextTimerId_++, intervalMs, NowNs() + uint64_t{intervalMs} * 1000000u,
            std::make_shared<Callback>(std::move(cb))};
    timers_.push_back(std::move(t));
    return timers_.back().id;
}

void EpollLoop::StopTimer(TimerId id) {
    for (size_t i = 0; i < timers_.size(); ++i) {
        if (timers_[i].id != id) continue;
        Bury(std::move(timers_[i].cb));
        timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

MessageLoop::WatchId EpollLoop::WatchFd(int fd, unsigned interest, FdCallback cb) {
    uint32_t slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = static_cast<uint32_t>(watches_.size());
        watches_.emplace_back();
    }
    Watch& w = watches_[slot];
    w.fd = fd;
    w.interest = interest & (kFdReadable | kFdWritable);
    w.inUse = true;
    w.registered = false;
    w.cb = std::make_shared<FdCallback>(std::move(cb));
    ++liveWatches_;
    const int err = Register(w, slot);
    if (err != 0) {
        ReleaseSlot(w, slot);
        errno = err;
        return 0;
    }
    return (uint64_t{w.generation} << 32) | slot;
}

EpollLoop::Watch* EpollLoop::Find(WatchId id) {
    const auto slot = static_cast<uint32_t>(id & 0xffffffffu);
    if (slot >= watches_.size()) return nullptr;
    Watch& w = watches_[slot];
    if (!w.inUse || w.generation != static_cast<uint32_t>(id >> 32)) return nullptr;
    return &w;
}

int EpollLoop::Register(Watch& w, uint32_t slot) {
    const uint32_t mask = EpollMask(w.interest);
    if (mask == 0) {
        // A failure here means the descriptor is no longer in the set (it was
        // closed), which is all that removing it is for.
        if (w.registered) epoll_ctl(epfd_, EPOLL_CTL_DEL, w.fd, nullptr);
        w.registered = false;
        return 0;
    }
    epoll_event ev{};
    ev.events = mask;
    ev.data.u64 = (uint64_t{w.generation} << 32) | slot;
    if (epoll_ctl(epfd_, w.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, w.fd, &ev) != 0) {
        const int err = errno;
        // Not watched after all: the owner is told and fails what waits.
        if (w.registered) epoll_ctl(epfd_, EPOLL_CTL_DEL, w.fd, nullptr);
        w.registered = false;
        w.interest = kFdNone;
        return err;
    }
    w.registered = true;
    return 0;
}

int EpollLoop::SetFdInterest(WatchId id, unsigned interest) {
    Watch* w = Find(id);
    if (w == nullptr) return 0;
    interest &= (kFdReadable | kFdWritable);
    if (w->interest == interest && (w->registered || interest == kFdNone)) return 0;
    w->interest = interest;
    return Register(*w, static_cast<uint32_t>(id & 0xffffffffu));
}

void EpollLoop::UnwatchFd(WatchId id, bool descriptorClosing) {
    Watch* w = Find(id);
    if (w == nullptr) return;
    // A failure to remove means the descriptor has left the set already.
    if (w->registered && !descriptorClosing) epoll_ctl(epfd_, EPOLL_CTL_DEL, w->fd, nullptr);
    ReleaseSlot(*w, static_cast<uint32_t>(id & 0xffffffffu));
}

void EpollLoop::ReleaseSlot(Watch& w, uint32_t slot) {
    Bury(std::move(w.cb));
    w.inUse = false;
    w.registered = false;
    w.fd = -1;
    ++w.generation;  // pending events of this watch no longer match
    freeSlots_.push_back(slot);
    --liveWatches_;
}

bool EpollLoop::RunPosted() {
    size_t budget;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        budget = posted_.size();
    }
    bool handled = false;
    // One at a time from the shared queue, so that a nested wait started by a
    // callback runs the callbacks queued before it in their order.
    while (budget-- > 0) {
        Callback cb;
        {
            std::lock_guard<std::mutex> lock(postMutex_);
            if (posted_.empty()) break;
            cb = std::move(posted_.front());
            posted_.pop_front();
        }
        handled = true;
        if (cb) Dispatch(cb);
    }
    return handled;
}

bool EpollLoop::RunDueTimers() {
    if (timers_.empty()) return false;
    const uint64_t now = NowNs();
    std::vector<TimerId> due;
    for (const Timer& t : timers_)
        if (t.deadline <= now) due.push_back(t.id);
    for (TimerId id : due) {
        Callback* cb = nullptr;
        for (Timer& t : timers_) {
            if (t.id != id) continue;
            if (t.deadline > now) break;  // a nested wait of an earlier one ran it
            t.deadline = NowNs() + uint64_t{t.interval} * 1000000u;
            cb = t.cb.get();  // stays alive (buried) even if the timer stops itself
            break;
        }
        if (cb != nullptr && *cb) Dispatch(*cb);
    }
    return !due.empty();
}

int EpollLoop::NextTimeoutMs() const {
    if (timers_.empty()) return -1;
    uint64_t next = timers_.front().deadline;
    for (const Timer& t : timers_)
        next = std::min(next, t.deadline);
    const uint64_t now = NowNs();
    if (next <= now) return 0;
    // Round up so that the wake-up never comes before the deadline (no spin).
    const uint64_t ms = (next - now + 999999u) / 1000000u;
    return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

bool EpollLoop::PollFds(int timeoutMs) {
    epoll_event events[256];
    const int n = epoll_wait(epfd_, events, 256, timeoutMs);
    if (n <= 0) return false;
    bool handled = false;
    for (int i = 0; i < n; ++i) {
        const uint64_t id = events[i].data.u64;
        if (id == kWakeId) {
            uint64_t count;
            [[maybe_unused]] ssize_t r = read(wakefd_, &count, sizeof count);
            continue;
        }
        Watch* w = Find(id);
        if (w == nullptr || !w->registered) continue;  // removed during this pass
        unsigned readiness = kFdNone;
        if (events[i].events & (EPOLLIN | EPOLLPRI)) readiness |= kFdReadable;
        if (events[i].events & EPOLLOUT) readiness |= kFdWritable;
        if (events[i].events & (EPOLLERR | EPOLLHUP)) readiness |= kFdError;
        readiness &= (w->interest | kFdError);
        if (readiness == kFdNone) continue;
        FdCallback* cb = w->cb.get();  // stays alive (buried) even if unwatched
        handled = true;
        Dispatch(*cb, readiness);
    }
    return handled;
}

bool EpollLoop::ProcessMessages(bool mayBlock) {
    const DispatchScope level(*this);
    return DispatchPass(mayBlock);
}

bool EpollLoop::DispatchPass(bool mayBlock) {
    bool handled = RunPosted();
    handled |= RunDueTimers();
    bool pending;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        pending = !posted_.empty();
    }
    const int timeout = (handled || !mayBlock || pending || QuitRequested()) ? 0 : NextTimeoutMs();
    handled |= PollFds(timeout);
    if (!handled && timeout != 0) {
        handled |= RunPosted();
        handled |= RunDueTimers();
    }
    return handled;
}

}  // namespace mv

// One epoll loop with millisecond timers for the whole fake world. Sockets
// are registered by file descriptor; each registration carries a generation
// so that an event or timer left over from a closed descriptor never reaches
// the next user of the same number.
#pragma once

#include <cstdint>
#include <queue>
#include <vector>

namespace mv::fakeworld {

class EventHandler {
  public:
    virtual ~EventHandler() = default;
    virtual void OnEvent(int fd, uint32_t events) = 0;
    virtual void OnTimer(int fd) {}
};

class EventLoop {
  public:
    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void Add(int fd, uint32_t events, EventHandler* handler);
    void Modify(int fd, uint32_t events);
    // Forgets the descriptor (pending events and timers for it are dropped);
    // the caller closes it.
    void Remove(int fd);
    // Like Remove, for a descriptor that is closed at once and was never
    // duplicated: closing takes it out of epoll, which saves a system call.
    void Forget(int fd);
    // Calls handler->OnTimer(fd) at `whenMs` (NowMs scale) unless the
    // descriptor was removed before.
    void AddTimer(int fd, uint64_t whenMs);

    // Dispatches until Stop().
    void Run();
    void Stop() { running_ = false; }

    static uint64_t NowMs();

  private:
    struct Registration {
        EventHandler* handler = nullptr;
        uint32_t generation = 0;
    };
    struct Timer {
        uint64_t when;
        int fd;
        uint32_t generation;
        bool operator>(const Timer& other) const { return when > other.when; }
    };
    Registration* Find(int fd, uint32_t generation);
    int NextTimeout();
    void RunTimers();

    int epoll_ = -1;
    bool running_ = false;
    std::vector<Registration> registrations_;  // indexed by descriptor
    std::priority_queue<Timer, std::vector<Timer>, std::greater<>> timers_;
};

}  // namespace mv::fakeworld

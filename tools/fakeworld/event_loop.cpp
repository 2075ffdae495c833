#include "event_loop.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <string>
#include <system_error>

namespace mv::fakeworld {

namespace {

uint64_t Pack(int fd, uint32_t generation) {
    return (static_cast<uint64_t>(generation) << 32) | static_cast<uint32_t>(fd);
}

}  // namespace

EventLoop::EventLoop() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {
    if (epoll_ < 0) {
        throw std::system_error(errno, std::generic_category(), "epoll_create1");
    }
}

EventLoop::~EventLoop() {
    close(epoll_);
}

uint64_t EventLoop::NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

void EventLoop::Add(int fd, uint32_t events, EventHandler* handler) {
    const auto index = static_cast<size_t>(fd);
    if (index >= registrations_.size()) {
        registrations_.resize(index + 1024);
    }
    Registration& reg = registrations_[index];
    reg.handler = handler;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = Pack(fd, reg.generation);
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0) {
        throw std::system_error(errno, std::generic_category(), "epoll_ctl add");
    }
}

void EventLoop::Modify(int fd, uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = Pack(fd, registrations_[static_cast<size_t>(fd)].generation);
    epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
}

void EventLoop::Remove(int fd) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    Forget(fd);
}

void EventLoop::Forget(int fd) {
    Registration& reg = registrations_[static_cast<size_t>(fd)];
    reg.handler = nullptr;
    ++reg.generation;
}

void EventLoop::AddTimer(int fd, uint64_t whenMs) {
    timers_.push({whenMs, fd, registrations_[static_cast<size_t>(fd)].generation});
}

EventLoop::Registration* EventLoop::Find(int fd, uint32_t generation) {
    Registration& reg = registrations_[static_cast<size_t>(fd)];
    return reg.handler != nullptr && reg.generation == generation ? &reg : nullptr;
}

int EventLoop::NextTimeout() {
    if (timers_.empty()) {
        return -1;
    }
    const uint64_t now = NowMs();
    const uint64_t when = timers_.top().when;
    return when <= now ? 0 : static_cast<int>(std::min<uint64_t>(when - now, 60000));
}

void EventLoop::RunTimers() {
    const uint64_t now = NowMs();
    while (!timers_.empty() && timers_.top().when <= now) {
        const Timer timer = timers_.top();
        timers_.pop();
        if (Registration* reg = Find(timer.fd, timer.generation)) {
            reg->handler->OnTimer(timer.fd);
        }
    }
}

void EventLoop::Run() {
    running_ = true;
    epoll_event events[256];
    while (running_) {
        const int count = epoll_wait(epoll_, events, 256, NextTimeout());
        if (count < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "epoll_wait");
        }
        for (int i = 0; i < count; ++i) {
            const int fd = static_cast<int>(events[i].data.u64 & 0xffffffffu);
            const auto generation = static_cast<uint32_t>(events[i].data.u64 >> 32);
            if (Registration* reg = Find(fd, generation)) {
                reg->handler->OnEvent(fd, events[i].events);
            }
        }
        RunTimers();
    }
}

}  // namespace mv::fakeworld

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "kernel_probes.h"
#include "platform/loop/epoll_loop.h"
#include "platform/time/tick_count.h"
#include "test_support.h"

namespace mv {
namespace {

using namespace std::chrono_literals;

TEST(MessageLoop, PostedCallbacksRunInOrderAndOnlyLater) {
    EpollLoop loop;
    std::vector<int> seen;
    loop.Post([&] { seen.push_back(1); });
    loop.Post([&] {
        seen.push_back(2);
        loop.Post([&] { seen.push_back(4); });  // queued behind 3
    });
    loop.Post([&] { seen.push_back(3); });
    EXPECT_TRUE(seen.empty());
    test::RunUntil(loop, [&] { return seen.size() == 4; });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
}

TEST(MessageLoop, PostFromAnotherThreadWakesABlockedLoop) {
    EpollLoop loop;
    bool ran = false;
    const pid_t loopThread = gettid();
    std::thread other([&] {
        // Post only once the loop's thread sleeps in its wait.
        EXPECT_TRUE(test::PollUntil([&] { return test::ThreadSleeps(loopThread); }));
        loop.Post([&] { ran = true; });
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(loop.ProcessMessages(true));  // blocks: no timer, no watch
    other.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(MessageLoop, RepeatingTimerTicksUntilStoppedFromItsOwnCallback) {
    EpollLoop loop;
    int ticks = 0;
    MessageLoop::TimerId id = 0;
    id = loop.StartTimer(10, [&] {
        if (++ticks == 3) loop.StopTimer(id);
    });
    ASSERT_TRUE(test::RunUntil(loop, [&] { return ticks == 3; }));
    // A timer of three intervals: a timer still running would tick meanwhile.
    bool later = false;
    const auto sentinel = loop.StartTimer(30, [&] { later = true; });
    ASSERT_TRUE(test::RunUntil(loop, [&] { return later; }));
    loop.StopTimer(sentinel);
    EXPECT_EQ(ticks, 3);
}

TEST(MessageLoop, BlockingWaitSleepsInsteadOfSpinning) {
    EpollLoop loop;
    bool fired = false;
    const auto timer = loop.StartTimer(100, [&] { fired = true; });
    int rounds = 0;
    while (!fired) {
        loop.ProcessMessages(true);
        ++rounds;
    }
    loop.StopTimer(timer);
    // One blocking round sleeps until the timer is due; a spinning loop would
    // take thousands.
    EXPECT_LE(rounds, 3);
}

TEST(MessageLoop, NestedWaitInsideAHandlerRunsOtherMessages) {
    EpollLoop loop;
    bool innerDone = false;
    bool outerFinished = false;
    loop.Post([&] {
        // A handler that waits for something only another message delivers.
        loop.Post([&] { innerDone = true; });
        EXPECT_TRUE(loop.WaitUntil([&] { return innerDone; }));
        EXPECT_EQ(loop.Depth(), 1);
        outerFinished = true;
    });
    test::RunUntil(loop, [&] { return outerFinished; });
    EXPECT_TRUE(outerFinished);
}

TEST(MessageLoop, WatchRemovedDuringADispatchPassGetsNoStaleEvent) {
    EpollLoop loop;
    int a[2];
    int b[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, a), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, b), 0);
    MessageLoop::WatchId wa = 0;
    MessageLoop::WatchId wb = 0;
    int calls = 0;
    // Both become readable in the same pass; whichever runs first removes the
    // other, which then must not be called.
    wa = loop.WatchFd(a[0], kFdReadable, [&](unsigned) {
        ++calls;
        loop.UnwatchFd(wa);
        loop.UnwatchFd(wb);
    });
    wb = loop.WatchFd(b[0], kFdReadable, [&](unsigned) {
        ++calls;
        loop.UnwatchFd(wa);
        loop.UnwatchFd(wb);
    });
    ASSERT_EQ(write(a[1], "x", 1), 1);
    ASSERT_EQ(write(b[1], "x", 1), 1);
    loop.ProcessMessages(false);
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(loop.WatchCount(), 0u);
    for (int fd : {a[0], a[1], b[0], b[1]})
        close(fd);
}

struct Retiree {
    explicit Retiree(bool* flag) : freed(flag) {}
    ~Retiree() { *freed = true; }
    bool* freed;
};

TEST(MessageLoop, DeleteLaterWaitsForTheOutermostLevel) {
    EpollLoop loop;
    bool freed = false;
    bool freedInsideNestedWait = true;
    loop.Post([&] {
        loop.DeleteLater(std::make_unique<Retiree>(&freed));
        bool step = false;
        loop.Post([&] { step = true; });
        loop.WaitUntil([&] { return step; });  // nested level ends here
        freedInsideNestedWait = freed;
    });
    loop.ProcessMessages(false);
    EXPECT_FALSE(freedInsideNestedWait);
    EXPECT_TRUE(freed);
}

TEST(MessageLoop, QuitEndsRunWithItsCode) {
    EpollLoop loop;
    loop.Post([&] { loop.Quit(7); });
    EXPECT_EQ(loop.Run(), 7);
}

TEST(TickCount, DifferencesAreTakenModulo2To32) {
    EXPECT_EQ(TickDiff(5u, 0xFFFFFFFBu), 10);   // across the wrap
    EXPECT_EQ(TickDiff(0xFFFFFFFBu, 5u), -10);  // an earlier tick reads negative
    SetTickOffsetForTesting(0xFFFFFFFFu - GetTickCount() - 20u);
    const uint32_t before = GetTickCount();
    uint32_t after = before;
    EXPECT_TRUE(test::PollUntil([&] { return (after = GetTickCount()) < before; }));
    SetTickOffsetForTesting(0);
    // The count wrapped in between, about 20 ms later: the difference still
    // reads as the time that passed.
    EXPECT_GT(TickDiff(after, before), 0);
    EXPECT_LT(TickDiff(after, before), 1000);
}

}  // namespace
}  // namespace mv

// The rules of the message loop, on every backend: order of posted callbacks,
// timers, level-triggered readiness, removal during a dispatch pass, nested
// waits and deferred deletion.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kernel_probes.h"
#include "loop_backends.h"
#include "platform/loop/epoll_loop.h"
#include "test_support.h"

namespace mv {
namespace {

using namespace std::chrono_literals;

struct SocketPair {
    SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd), 0); }
    ~SocketPair() {
        for (int f : fd)
            if (f >= 0) close(f);
    }
    void CloseSecond() {
        close(fd[1]);
        fd[1] = -1;
    }
    int fd[2] = {-1, -1};
};

class LoopBehaviour : public ::testing::TestWithParam<test::LoopBackend> {
  protected:
    enum class Source { kPosted, kTimer, kDescriptor };

    // Makes `source` call `fn` once, soon.
    void Arm(Source source, std::function<void()> fn) {
        if (source == Source::kPosted) return loop.Post(std::move(fn));
        if (source == Source::kTimer) {
            auto id = std::make_shared<MessageLoop::TimerId>();
            *id = loop.StartTimer(5, [this, id, fn] {
                loop.StopTimer(*id);
                fn();
            });
            return;
        }
        pairs_.push_back(std::make_unique<SocketPair>());
        ASSERT_EQ(write(pairs_.back()->fd[1], "x", 1), 1);
        auto id = std::make_shared<MessageLoop::WatchId>();
        *id = loop.WatchFd(pairs_.back()->fd[0], kFdReadable, [this, id, fn](unsigned) {
            loop.UnwatchFd(*id);
            fn();
        });
    }
    size_t WatchCount() { return dynamic_cast<EpollLoop&>(loop).WatchCount(); }

    std::unique_ptr<MessageLoop> owned_ = GetParam().make();
    MessageLoop& loop = *owned_;
    std::vector<std::unique_ptr<SocketPair>> pairs_;
};

TEST_P(LoopBehaviour, PostedCallbacksRunInOrderAndOnlyLater) {
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

TEST_P(LoopBehaviour, ARenewedTokenDropsOnlyTheNoticesPostedBeforeIt) {
    WeakToken token;
    std::vector<int> ran;
    auto post = [&](int n) {
        loop.Post([&ran, n, alive = token.Weak()] {
            if (!alive.expired()) ran.push_back(n);
        });
    };
    token.Renew();  // nothing handed out yet
    post(1);
    token.Renew();
    token.Renew();  // a second renewal must not bring the first notice back
    post(2);
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(ran, std::vector<int>{2});
}

TEST_P(LoopBehaviour, PostFromAnotherThreadWakesABlockedLoop) {
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

TEST_P(LoopBehaviour, RepeatingTimerTicksUntilStoppedFromItsOwnCallback) {
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

TEST_P(LoopBehaviour, BlockingWaitSleepsInsteadOfSpinning) {
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

TEST_P(LoopBehaviour, NestedWaitFromEachKindOfHandlerSeesEachKindOfEvent) {
    const Source sources[] = {Source::kPosted, Source::kTimer, Source::kDescriptor};
    for (Source outer : sources) {
        for (Source inner : sources) {
            SCOPED_TRACE("outer " + std::to_string(int(outer)) + ", inner " +
                         std::to_string(int(inner)));
            bool innerDone = false;
            bool outerDone = false;
            int innerDepth = 0;
            Arm(outer, [&] {
                Arm(inner, [&] {
                    innerDone = true;
                    innerDepth = loop.Depth();
                });
                EXPECT_TRUE(loop.WaitUntil([&] { return innerDone; }));
                EXPECT_EQ(loop.Depth(), 1);
                outerDone = true;
            });
            ASSERT_TRUE(test::RunUntil(
                loop, [&] { return outerDone; }, 5s));
            EXPECT_EQ(innerDepth, 2);
        }
    }
    EXPECT_EQ(WatchCount(), 0u);
}

TEST_P(LoopBehaviour, WatchRemovedDuringADispatchPassGetsNoStaleEvent) {
    SocketPair a;
    SocketPair b;
    MessageLoop::WatchId wa = 0;
    MessageLoop::WatchId wb = 0;
    int calls = 0;
    // Both become readable in the same pass; whichever runs first removes the
    // other, which then must not be called.
    auto removeBoth = [&](unsigned) {
        ++calls;
        loop.UnwatchFd(wa);
        loop.UnwatchFd(wb);
    };
    wa = loop.WatchFd(a.fd[0], kFdReadable, removeBoth);
    wb = loop.WatchFd(b.fd[0], kFdReadable, removeBoth);
    ASSERT_EQ(write(a.fd[1], "x", 1), 1);
    ASSERT_EQ(write(b.fd[1], "x", 1), 1);
    loop.ProcessMessages(false);
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(WatchCount(), 0u);
}

TEST_P(LoopBehaviour, TimerStoppedByAnotherDueInTheSamePassDoesNotRun) {
    MessageLoop::TimerId ta = 0;
    MessageLoop::TimerId tb = 0;
    int calls = 0;
    auto stopBoth = [&] {
        ++calls;
        loop.StopTimer(ta);
        loop.StopTimer(tb);
    };
    ta = loop.StartTimer(10, stopBoth);
    tb = loop.StartTimer(10, stopBoth);
    std::this_thread::sleep_for(20ms);  // both are due when the loop looks
    loop.ProcessMessages(false);
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(calls, 1);
}

TEST_P(LoopBehaviour, ATimerRunByANestedWaitIsNotRunAgainByTheOuterPass) {
    int bTicks = 0;
    MessageLoop::TimerId a = 0;
    a = loop.StartTimer(200, [&] {
        loop.StopTimer(a);
        loop.WaitUntil([&] { return bTicks > 0; });
    });
    const auto b = loop.StartTimer(200, [&] { ++bTicks; });
    std::this_thread::sleep_for(210ms);  // both are due in the same pass
    ASSERT_TRUE(test::RunUntil(loop, [&] { return bTicks > 0; }));
    EXPECT_EQ(bTicks, 1);
    loop.StopTimer(b);
}

TEST_P(LoopBehaviour, ReadinessIsLevelTriggeredAndErrorsAlwaysReported) {
    struct Case {
        const char* name;
        unsigned interest;
        bool data;
        bool peerClosed;
        unsigned expected;  // in every round; kFdNone: never called
    };
    const Case cases[] = {
        {"unread data", kFdReadable, true, false, kFdReadable},
        {"not watched", kFdNone, true, false, kFdNone},
        {"room to write", kFdWritable, false, false, kFdWritable},
        {"hung up, reading", kFdReadable, false, true, kFdReadable | kFdError},
        {"hung up, writing", kFdWritable, false, true, kFdWritable | kFdError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SocketPair pair;
        if (c.data) {
            ASSERT_EQ(write(pair.fd[1], "x", 1), 1);
        }
        if (c.peerClosed) pair.CloseSecond();
        std::vector<unsigned> seen;
        const auto id =
            loop.WatchFd(pair.fd[0], c.interest, [&](unsigned r) { seen.push_back(r); });
        for (int round = 0; round < 3; ++round)
            loop.ProcessMessages(false);
        loop.UnwatchFd(id);
        const std::vector<unsigned> expected(c.expected == kFdNone ? 0 : 3, c.expected);
        EXPECT_EQ(seen, expected);
    }
}

struct Retiree {
    explicit Retiree(bool* flag) : freed(flag) {}
    ~Retiree() { *freed = true; }
    bool* freed;
};

TEST_P(LoopBehaviour, DeleteLaterWaitsForTheOutermostLevel) {
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

TEST_P(LoopBehaviour, AnExceptionFromAHandlerIsReportedAndTheLoopGoesOn) {
    bool freed = false;
    bool nextRan = false;
    testing::internal::CaptureStderr();
    loop.Post([&] {
        loop.DeleteLater(std::make_unique<Retiree>(&freed));
        bool innerDone = false;
        loop.Post([] { throw std::runtime_error("inner fault"); });
        loop.Post([&] { innerDone = true; });
        // The exception of the nested level ends there; this wait goes on.
        EXPECT_TRUE(loop.WaitUntil([&] { return innerDone; }));
        throw std::logic_error("outer fault");
    });
    loop.Post([&] { nextRan = true; });
    loop.ProcessMessages(false);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(nextRan);
    EXPECT_EQ(loop.Depth(), 0);
    EXPECT_TRUE(freed);  // the outermost level was left despite both faults
    EXPECT_NE(report.find("an event handler failed: inner fault"), std::string::npos) << report;
    EXPECT_NE(report.find("an event handler failed: outer fault"), std::string::npos) << report;
}

using LoopBehaviourDeathTest = LoopBehaviour;

TEST_P(LoopBehaviourDeathTest, RunningOutOfMemoryInAHandlerEndsTheProgram) {
    EXPECT_EXIT(
        {
            loop.Post([] { throw std::bad_alloc(); });
            loop.ProcessMessages(false);
        },
        testing::ExitedWithCode(1), "out of memory");
}

TEST_P(LoopBehaviour, QuitEndsRunAndTheWaitsInsideIt) {
    bool waitResult = true;
    loop.Post([&] {
        loop.Post([&] { loop.Quit(7); });
        waitResult = loop.WaitUntil([] { return false; });
    });
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_FALSE(waitResult);
    EXPECT_FALSE(loop.QuitRequested());
}

INSTANTIATE_TEST_SUITE_P(Backends, LoopBehaviour, ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });
INSTANTIATE_TEST_SUITE_P(Backends, LoopBehaviourDeathTest,
                         ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });

}  // namespace
}  // namespace mv

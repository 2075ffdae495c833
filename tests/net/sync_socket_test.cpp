// Waiting for a flag inside the message loop.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>

#include "net/line/async_socket.h"
#include "platform/loop/epoll_loop.h"
#include "scripted_tcp_server.h"
#include "test_support.h"

namespace mv {
namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(SyncSocket, SynchronizeRunsTheProcedureAndWaitsForTheEvent) {
    EpollLoop loop;
    _TAsyncSocket sock(loop);
    test::ScriptedTcpServer server([](test::TcpConnection& c, int) { c.WaitForClose(3000); });
    bool connected = true;  // cleared by Synchronize
    sock.OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t) { connected = true; };
    const int rc = sock.Synchronize(
        [&] {
            EXPECT_FALSE(connected);
            sock.SetAddr("127.0.0.1");
            sock.SetPort(server.portText());
            sock.Connect();
        },
        connected);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(sock.state(), wsConnected);
}

TEST(SyncSocket, WaitingBlocksInTheLoopInsteadOfSpinning) {
    EpollLoop loop;
    _TAsyncSocket sock(loop);
    bool ready = false;
    const auto timer = loop.StartTimer(400, [&] { ready = true; });
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sock.WaitUntilReady(ready), 0);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    loop.StopTimer(timer);
    EXPECT_GE(wall, 0.3);
    EXPECT_LT(CpuSeconds() - cpuBefore, wall / 2) << "the wait kept the processor busy";
}

TEST(SyncSocket, AQuitRequestEndsTheWaitWith12001) {
    EpollLoop loop;
    _TAsyncSocket sock(loop);
    bool never = false;
    loop.Post([&] { loop.Quit(); });
    EXPECT_EQ(sock.WaitUntilReady(never), 12001);
}

TEST(SyncSocket, DestroyingTheSocketDuringTheWaitEndsIt) {
    EpollLoop loop;
    auto sock = std::make_unique<_TAsyncSocket>(loop);
    bool never = false;
    loop.Post([&] { sock.reset(); });
    EXPECT_EQ(sock->WaitUntilReady(never), 10004);
    EXPECT_EQ(sock, nullptr);
}

}  // namespace
}  // namespace mv

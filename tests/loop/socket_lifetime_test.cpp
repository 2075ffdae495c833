// A socket may be destroyed from inside any of its own events, and one
// socket's handler may destroy another whose notifications are pending, on
// every loop backend. These tests are meant to run under AddressSanitizer.
#include <gtest/gtest.h>

#include <memory>

#include "kernel_probes.h"
#include "loop_backends.h"
#include "net/line/async_socket.h"
#include "scripted_tcp_server.h"
#include "test_support.h"

namespace mv {
namespace {

using test::RunUntil;
using test::ScriptedTcpServer;
using test::TcpConnection;

class SocketLifetime : public ::testing::TestWithParam<test::LoopBackend> {
  protected:
    std::unique_ptr<MessageLoop> owned_ = GetParam().make();
    MessageLoop& loop = *owned_;
    std::unique_ptr<_TAsyncSocket> sock = std::make_unique<_TAsyncSocket>(loop);

    void ConnectTo(uint16_t port) {
        sock->SetAddr("127.0.0.1");
        sock->SetPort(std::to_string(port));
        sock->Connect();
    }
};

TEST_P(SocketLifetime, DestroyedInsideItsDataEvent) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("data\r\n");
        c.WaitForClose();
    });
    sock->OnDataAvailable = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
    EXPECT_TRUE(test::Settle(loop));
}

TEST_P(SocketLifetime, DestroyedInsideAFailedConnectEvent) {
    sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    ConnectTo(test::UnusedTcpPort());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
}

TEST_P(SocketLifetime, DestroyedInsideItsDataSentEvent) {
    ScriptedTcpServer server([](TcpConnection& c, int) { c.WaitForClose(); });
    sock->OnDataSent = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
}

TEST_P(SocketLifetime, DestroyedInsideItsClosedEvent) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("bye");
        c.Close();
    });
    sock->OnDataAvailable = [](_TCustomAsyncSocket* s, uint16_t) { s->ReceiveStr(); };
    sock->OnSessionClosed = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
}

TEST_P(SocketLifetime, DestroyedInsideALookupEvent) {
    sock->OnDnsLookupDone = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    sock->DnsLookup("localhost");
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
}

TEST_P(SocketLifetime, DestroyedInsideAnErrorEventFromANotification) {
    // A send that fails inside a notification reports through OnError; the
    // handler ends the socket there.
    ScriptedTcpServer server([](TcpConnection& c, int) { c.Reset(); });
    sock->OnError = [&](_TCustomAsyncSocket*) { sock.reset(); };
    sock->OnSessionConnected = [&](_TCustomAsyncSocket* s, uint16_t) { s->SendStr("x"); };
    sock->OnSessionClosed = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
}

TEST_P(SocketLifetime, AHandlerDestroysAnotherSocketWithPendingEvents) {
    // Two connections become readable in the same dispatch pass; whichever
    // handler runs first destroys the other socket, whose event is pending.
    auto script = [](TcpConnection& c, int) {
        c.ReadLine();
        c.Send("x");
        c.WaitForClose(2000);
    };
    ScriptedTcpServer serverA(script);
    ScriptedTcpServer serverB(script);
    std::unique_ptr<_TAsyncSocket> other = std::make_unique<_TAsyncSocket>(loop);
    int connected = 0;
    for (auto* s : {sock.get(), other.get()})
        s->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t) { ++connected; };
    ConnectTo(serverA.port());
    other->SetAddr("127.0.0.1");
    other->SetPort(serverB.portText());
    other->Connect();
    ASSERT_TRUE(RunUntil(loop, [&] { return connected == 2; }));

    int handled = 0;
    auto handler = [&](_TCustomAsyncSocket* s, uint16_t) {
        ++handled;
        s->ReceiveStr();
        if (s == sock.get())
            other.reset();
        else
            sock.reset();
    };
    sock->OnDataAvailable = handler;
    other->OnDataAvailable = handler;
    sock->SendStr("go\r\n");
    other->SendStr("go\r\n");
    // Both replies wait before the loop looks: one pass sees both.
    ASSERT_TRUE(test::WaitReadable(sock->HSocket()));
    ASSERT_TRUE(test::WaitReadable(other->HSocket()));
    loop.ProcessMessages(false);
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE((sock == nullptr) != (other == nullptr));
}

TEST_P(SocketLifetime, RetiredFromItsOwnEventAndFreedAtTheOutermostLevel) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("x");
        c.WaitForClose();
    });
    bool nestedWaitDone = false;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        s->ReceiveStr();
        loop.DeleteLater(std::move(sock));
        // The retired socket stays valid for the rest of this handler, even
        // across a nested wait.
        bool tick = false;
        loop.Post([&] { tick = true; });
        loop.WaitUntil([&] { return tick; });
        EXPECT_EQ(s->state(), wsConnected);
        nestedWaitDone = true;
    };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return nestedWaitDone; }));
}

INSTANTIATE_TEST_SUITE_P(Backends, SocketLifetime, ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });

}  // namespace
}  // namespace mv

// Line mode against scripted servers on 127.0.0.1: lines one by one, line ends
// split over reads, the last unterminated line, mode changes, handlers that do
// not read, and the bound on what is held.
#include <gtest/gtest.h>

#include <memory>
#include <semaphore>
#include <string>
#include <vector>

#include "fake_socks_proxy.h"
#include "kernel_probes.h"
#include "net/line/async_socket.h"
#include "platform/loop/epoll_loop.h"
#include "scripted_tcp_server.h"
#include "test_support.h"

namespace mv {
namespace {

using test::RunUntil;
using test::ScriptedTcpServer;
using test::TcpConnection;

class LineTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    std::unique_ptr<_TAsyncSocket> sock = std::make_unique<_TAsyncSocket>(loop);
    std::vector<std::string> lines;
    std::vector<std::string> events;
    bool closed = false;
    int closedError = -1;

    void SetUp() override {
        sock->SetLineMode(true);
        sock->OnDataAvailable = [this](_TCustomAsyncSocket* s, uint16_t) {
            lines.push_back(s->ReceiveStr());
            events.push_back("line");
        };
        sock->OnSessionClosed = [this](_TCustomAsyncSocket*, uint16_t e) {
            events.push_back("closed");
            closed = true;
            closedError = e;
        };
    }
    void ConnectTo(uint16_t port) {
        sock->SetAddr("127.0.0.1");
        sock->SetPort(std::to_string(port));
        sock->Connect();
    }
};

TEST_F(LineTest, TwoLinesAndHalfAThirdRaiseTwoEventsAndTheHalfWaits) {
    std::binary_semaphore halfSeen(0);
    ScriptedTcpServer server([&](TcpConnection& c, int) {
        c.SendPiece("one\r\ntwo\r\nthr");
        halfSeen.try_acquire_for(std::chrono::seconds(10));
        c.Send("ee\r\n");
        c.WaitForClose(3000);
    });
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return test::BytesTaken(sock->HSocket()) == 13; }));
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(lines, (std::vector<std::string>{"one\r\n", "two\r\n"}));
    halfSeen.release();
    ASSERT_TRUE(RunUntil(loop, [&] { return lines.size() == 3; }));
    EXPECT_EQ(lines[2], "three\r\n");
    EXPECT_EQ(sock->ReadCount(), 17);
}

TEST_F(LineTest, ALineEndSplitOverTwoReadsIsFound) {
    sock->SetLineEnd("<END>");
    ScriptedTcpServer server([](TcpConnection& c, int) {
        for (const char* piece : {"abc<E", "N", "D>def<END", ">"}) {
            c.SendPiece(piece);
        }
        c.WaitForClose(3000);
    });
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return lines.size() == 2; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"abc<END>", "def<END>"}));
}

TEST_F(LineTest, SmallReadsTakeTheLineInPiecesAndTheLastLineComesBeforeTheClose) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("first\r\nno end");
        c.Close();
    });
    sock->OnDataAvailable = [this](_TCustomAsyncSocket* s, uint16_t) {
        char buf[4];
        std::string line;
        int n;
        while ((n = s->Receive(buf, sizeof buf)) > 0) {
            line.append(buf, static_cast<size_t>(n));
        }
        lines.push_back(line);
        events.push_back("line");
    };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return closed; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"first\r\n", "no end"}));
    EXPECT_EQ(events, (std::vector<std::string>{"line", "line", "closed"}));
    EXPECT_EQ(closedError, 0);
}

TEST_F(LineTest, TheLastLineIsNotLostWithoutAClosedHandler) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("a\r\nlast");
        c.Close();
    });
    sock->OnSessionClosed = nullptr;
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock->state() == wsClosed; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"a\r\n", "last"}));
}

TEST_F(LineTest, SwitchingLineModeOffHandsTheRestOverRawAndInOrder) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.SendPiece("HEAD\r\nbody1\r\nbody2");
        c.Send(" more");
        c.WaitForClose(3000);
    });
    std::string raw;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        auto* self = static_cast<_TAsyncSocket*>(s);
        if (self->LineMode()) {
            lines.push_back(s->ReceiveStr());
            self->SetLineMode(false);  // the rest is read as it comes
        } else {
            raw += s->ReceiveStr();
        }
    };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return raw == "body1\r\nbody2 more"; })) << raw;
    EXPECT_EQ(lines, (std::vector<std::string>{"HEAD\r\n"}));
}

TEST_F(LineTest, LinesHeldWhenTheModeGoesOffComeAsOneRawPiece) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("a\r\nb\r\nc\r\n");
        c.WaitForClose(3000);
    });
    int calls = 0;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        auto* self = static_cast<_TAsyncSocket*>(s);
        ++calls;
        lines.push_back(s->ReceiveStr());
        if (calls == 1) {
            self->SetLineMode(false);
        }
    };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return lines.size() >= 2; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"a\r\n", "b\r\nc\r\n"}));
}

TEST_F(LineTest, AHandlerThatDoesNotReadStopsTheDeliveryWithoutSpinning) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("x\r\ny\r\n");
        c.WaitForClose(3000);
    });
    int calls = 0;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket*, uint16_t) { ++calls; };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return calls > 0; }));
    EXPECT_TRUE(test::Settle(loop)) << "the unread line keeps the loop spinning";
    EXPECT_EQ(calls, 1);
    // Reading later, from outside the event, hands out the lines in order.
    EXPECT_EQ(sock->ReceiveStr(), "x\r\n");
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        lines.push_back(s->ReceiveStr());
    };
    ASSERT_TRUE(RunUntil(loop, [&] { return !lines.empty(); }));
    EXPECT_EQ(lines, (std::vector<std::string>{"y\r\n"}));
}

TEST_F(LineTest, ASlowReaderLosesNothingWhileThePeerIsHeldBack) {
    // Far more than the held bound, in short lines.
    constexpr int kLines = 300000;
    ScriptedTcpServer server([](TcpConnection& c, int) {
        std::string all;
        for (int i = 0; i < kLines; ++i) {
            all += std::to_string(i) + "\n";
        }
        c.Send(all);
        c.WaitForClose(20000);
    });
    sock->SetLineEnd("\n");
    bool reading = false;
    int next = 0;
    int unreadCalls = 0;
    bool inOrder = true;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        if (!reading) {
            ++unreadCalls;
            return;
        }
        const std::string line = s->ReceiveStr();
        inOrder = inOrder && line == std::to_string(next) + "\n";
        ++next;
    };
    ConnectTo(server.port());
    // Offered again as more arrives, until the held bound stops the reading.
    ASSERT_TRUE(RunUntil(loop, [&] {
        return unreadCalls > 0 && test::BytesTaken(sock->HSocket()) >= _TAsyncSocket::kMaxHeld;
    }));
    ASSERT_TRUE(test::Settle(loop));
    const int offered = unreadCalls;
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(unreadCalls, offered);
    EXPECT_EQ(test::BytesTaken(sock->HSocket()), _TAsyncSocket::kMaxHeld);
    EXPECT_FALSE(closed) << "closed with " << closedError;
    reading = true;
    EXPECT_EQ(sock->ReceiveStr(), "0\n");  // read from outside: delivery resumes
    next = 1;
    ASSERT_TRUE(RunUntil(
        loop, [&] { return next == kLines; }, std::chrono::seconds(30)))
        << next;
    EXPECT_TRUE(inOrder);
}

TEST_F(LineTest, ALineWithoutEndPastTheBoundRaisesLineTooLongAndCloses) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send(std::string(_TAsyncSocket::kMaxHeld + 4096, 'z'));
        c.WaitForClose(10000);
    });
    int tooLong = 0;
    sock->OnLineTooLong = [&](_TCustomAsyncSocket*) { ++tooLong; };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return closed; }));
    EXPECT_EQ(tooLong, 1);
    EXPECT_EQ(closedError, 10040);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(sock->state(), wsClosed);
}

TEST_F(LineTest, LinesThatCameWithTheProxysReplyAreSplitToo) {
    ScriptedTcpServer target([](TcpConnection& c, int) {
        c.Send("220 a\r\n220 b\r\n");
        c.WaitForClose(3000);
    });
    test::FakeSocksProxy::Options options;
    options.joinFirstTargetBytes = true;
    test::FakeSocksProxy proxy(options);
    sock->SetSocksServer("127.0.0.1");
    sock->SetSocksPort(proxy.portText());
    ConnectTo(target.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return lines.size() == 2; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"220 a\r\n", "220 b\r\n"}));
}

TEST_F(LineTest, ClosingFromInsideALineHandlerEndsTheDelivery) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("bye\r\nignored\r\nrest");
        c.WaitForClose(3000);
    });
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        lines.push_back(s->ReceiveStr());
        s->Close();
    };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return closed; }));
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(lines, (std::vector<std::string>{"bye\r\n"}));
}

TEST_F(LineTest, DestroyingTheSocketInsideALineHandlerIsSafe) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("one\r\ntwo\r\n");
        c.WaitForClose(3000);
    });
    sock->OnDataAvailable = [&](_TCustomAsyncSocket*, uint16_t) { sock.reset(); };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return sock == nullptr; }));
    EXPECT_TRUE(test::Settle(loop));
}

}  // namespace
}  // namespace mv

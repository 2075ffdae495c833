// The asynchronous socket against real sockets on 127.0.0.1.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "net/line/async_socket.h"
#include "platform/loop/epoll_loop.h"
#include "scripted_tcp_server.h"
#include "test_support.h"

namespace mv {
namespace {

using test::RunUntil;
using test::ScriptedTcpServer;
using test::TcpConnection;

// Records the events of a socket in order, as short texts.
struct EventLog {
    std::vector<std::string> events;
    void Attach(_TCustomAsyncSocket& s) {
        s.OnSessionConnected = [this](_TCustomAsyncSocket* x, uint16_t e) {
            events.push_back("connected " + std::to_string(e) + " " + StateName(x->state()));
        };
        s.OnSessionClosed = [this](_TCustomAsyncSocket*, uint16_t e) {
            events.push_back("closed " + std::to_string(e));
        };
        s.OnDataSent = [this](_TCustomAsyncSocket*, uint16_t e) {
            events.push_back("sent " + std::to_string(e));
        };
    }
    bool Has(const std::string& e) const {
        for (const auto& x : events)
            if (x == e) return true;
        return false;
    }
    static std::string StateName(TSocketState s) {
        static const char* names[] = {"invalid",   "opened",    "bound",     "connecting",
                                      "connected", "accepting", "listening", "closed"};
        return names[s];
    }
};

class SocketTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    std::unique_ptr<_TAsyncSocket> sock = std::make_unique<_TAsyncSocket>(loop);
    EventLog log;

    void ConnectTo(uint16_t port) {
        sock->SetAddr("127.0.0.1");
        sock->SetPort(std::to_string(port));
        sock->Connect();
    }
};

TEST_F(SocketTest, RefusedConnectReportsErrorWhileConnectedThenCloses) {
    log.Attach(*sock);
    ConnectTo(test::UnusedTcpPort());
    EXPECT_EQ(sock->state(), wsConnecting);
    ASSERT_TRUE(RunUntil(loop, [&] { return log.Has("closed 0"); }));
    EXPECT_EQ(log.events, (std::vector<std::string>{"connected 10061 connected", "closed 0"}));
    EXPECT_EQ(sock->state(), wsClosed);
    EXPECT_EQ(sock->HSocket(), INVALID_SOCKET);
}

TEST_F(SocketTest, FirstWritableAfterConnectRaisesDataSentThenOnlyAfterASend) {
    ScriptedTcpServer server([](TcpConnection& c, int) { c.ReadSome(2000); });
    log.Attach(*sock);
    bool insideSend = false;
    sock->OnDataSent = [&](_TCustomAsyncSocket*, uint16_t) {
        EXPECT_FALSE(insideSend) << "OnDataSent raised inside Send";
        log.events.push_back("sent");
    };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return log.Has("sent"); }));
    EXPECT_EQ(log.events.front(), "connected 0 connected");
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(log.events.size(), 2u);  // no further writable notification

    insideSend = true;
    EXPECT_EQ(sock->SendStr("hello"), 5);
    insideSend = false;
    // The server closes after reading; that close may come in the same pass.
    ASSERT_TRUE(RunUntil(loop, [&] { return log.events.size() >= 3; }));
    EXPECT_EQ(log.events[2], "sent");
}

TEST_F(SocketTest, LargeSendsToASlowReaderFinishWithDataSentAndFlush) {
    // 20 MB fill the kernel's buffers many times over, so sends are cut short
    // and the rest must go out on later writable notifications.
    constexpr size_t kSize = 20u << 20;
    std::atomic<size_t> read{0};
    ScriptedTcpServer server([&](TcpConnection& c, int) {
        for (std::string s = c.ReadSome(5000, 4096); !s.empty(); s = c.ReadSome(5000, 4096))
            read += s.size();
    });
    int sent = 0;
    bool connected = false;
    sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t e) { connected = e == 0; };
    sock->OnDataSent = [&](_TCustomAsyncSocket*, uint16_t) { ++sent; };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return connected && sent == 1; }));

    const std::string block(kSize, 'x');
    EXPECT_EQ(sock->Send(block.data(), static_cast<int>(block.size())), static_cast<int>(kSize));
    ASSERT_TRUE(RunUntil(loop, [&] { return sent == 2; }));
    EXPECT_EQ(sock->state(), wsConnected);

    // A Flush that never returned would hang here: a timer aborts it instead.
    bool gaveUp = false;
    const auto limit = loop.StartTimer(20000, [&] {
        gaveUp = true;
        sock->Abort();
    });
    sock->Send(block.data(), static_cast<int>(block.size()));
    sock->Flush();
    loop.StopTimer(limit);
    EXPECT_FALSE(gaveUp) << "Flush did not return";
    // Handed to the network is not yet read: the reader gets every byte.
    EXPECT_TRUE(RunUntil(loop, [&] { return read == 2 * kSize; }));
}

// A handler that aborts its connection and connects again gets a new
// descriptor, normally with the same number. What was still pending for the
// old connection (a posted "data sent", the writable that follows a connect,
// the close after a failed connect) must not reach the new one.
TEST_F(SocketTest, ReconnectingInsideAHandlerGetsNoneOfTheOldConnectionsNotices) {
    enum Trigger { kDataThenSend, kConnected, kRefused };
    for (const Trigger trigger : {kDataThenSend, kConnected, kRefused}) {
        SCOPED_TRACE(trigger);
        ScriptedTcpServer server(
            [](TcpConnection& c, int i) {
                if (i == 0) c.Send("hello\r\n");
                c.WaitForClose(3000);
            },
            2);
        _TAsyncSocket s(loop);
        std::vector<std::string> events;  // of the new connection
        TSocket oldFd = INVALID_SOCKET;
        auto reconnect = [&](_TCustomAsyncSocket* x) {
            oldFd = x->HSocket();
            x->Abort();
            events.clear();
            x->SetAddr("127.0.0.1");
            x->SetPort(server.portText());
            x->Connect();
        };
        s.OnSessionConnected = [&](_TCustomAsyncSocket* x, uint16_t e) {
            events.push_back("connected " + std::to_string(e) + " " +
                             EventLog::StateName(x->state()));
            if (oldFd == INVALID_SOCKET && trigger != kDataThenSend) reconnect(x);
        };
        s.OnDataAvailable = [&](_TCustomAsyncSocket* x, uint16_t) {
            x->ReceiveStr();
            if (oldFd != INVALID_SOCKET) return;
            x->SendStr("reply\r\n");  // its "data sent" notice is posted
            reconnect(x);
        };
        s.OnDataSent = [&](_TCustomAsyncSocket* x, uint16_t) {
            events.push_back("sent " + EventLog::StateName(x->state()));
        };
        s.OnSessionClosed = [&](_TCustomAsyncSocket*, uint16_t) { events.push_back("closed"); };
        s.SetAddr("127.0.0.1");
        s.SetPort(std::to_string(trigger == kRefused ? test::UnusedTcpPort() : server.port()));
        s.Connect();
        ASSERT_TRUE(RunUntil(loop, [&] {
            return oldFd != INVALID_SOCKET &&
                   (events.size() >= 2 || (!events.empty() && events.back() == "closed"));
        }));
        EXPECT_EQ(events, (std::vector<std::string>{"connected 0 connected", "sent connected"}));
        EXPECT_EQ(s.HSocket(), oldFd) << "the descriptor number was not reused";
        s.Abort();
    }
}

TEST_F(SocketTest, DataArrivingWithThePeersCloseComesBeforeOneClosedEvent) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("last words\r\n");
        c.Close();
    });
    std::string received;
    int closedEvents = 0;
    bool dataAfterClose = false;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        if (closedEvents > 0) dataAfterClose = true;
        char buf[3];  // small reads: the loop must come back for the rest
        const int n = s->Receive(buf, sizeof buf);
        if (n > 0) received.append(buf, static_cast<size_t>(n));
    };
    sock->OnSessionClosed = [&](_TCustomAsyncSocket*, uint16_t) { ++closedEvents; };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return closedEvents > 0; }));
    EXPECT_EQ(received, "last words\r\n");
    EXPECT_FALSE(dataAfterClose);
    sock->Close();  // an explicit close afterwards raises nothing more
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(closedEvents, 1);
    EXPECT_EQ(sock->ReadCount(), 0);  // reset with the settings after the close
}

TEST_F(SocketTest, LocalCloseRaisesClosedOnceAndResetsTheSettings) {
    ScriptedTcpServer server([](TcpConnection& c, int) { c.WaitForClose(); });
    int closed = 0;
    sock->OnSessionClosed = [&](_TCustomAsyncSocket*, uint16_t) { ++closed; };
    bool connected = false;
    sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t) { connected = true; };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return connected; }));
    sock->Close();
    sock->Close();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(sock->state(), wsClosed);
    // Addr and port must be assigned again before the next Connect.
    EXPECT_THROW(
        {
            try {
                sock->Connect();
            } catch (const ESocketException& e) {
                EXPECT_STREQ(e.what(), "Connect: No Port Specified");
                throw;
            }
        },
        ESocketException);
}

TEST_F(SocketTest, WithoutADataHandlerIncomingDataIsReadAndDropped) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send(std::string(5000, 'x'));
        c.WaitForClose();
    });
    bool connected = false;
    sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t) { connected = true; };
    ConnectTo(server.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return connected && sock->ReadCount() == 5000; }));
    sock->Abort();
}

TEST_F(SocketTest, SendWhileConnectingReportsNotConnectedAndClosesTheHandle) {
    ScriptedTcpServer server([](TcpConnection& c, int) { c.WaitForClose(1000); });
    ConnectTo(server.port());
    ASSERT_EQ(sock->state(), wsConnecting);
    try {
        sock->SendStr("too early");
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Error 10057 in function Send\r\nSocket is not connected");
    }
    EXPECT_EQ(sock->state(), wsClosed);
    EXPECT_EQ(sock->HSocket(), INVALID_SOCKET);
    EXPECT_EQ(sock->LastError(), 10057);

    // With OnError assigned the error is an event and Send returns -1.
    int errors = 0;
    sock->OnError = [&](_TCustomAsyncSocket*) { ++errors; };
    EXPECT_EQ(sock->SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
}

TEST_F(SocketTest, PropertySettersFollowTheClosedRule) {
    ScriptedTcpServer server([](TcpConnection& c, int) { c.WaitForClose(); });
    ConnectTo(server.port());
    sock->SetPort(server.portText());  // the same value: nothing happens
    EXPECT_THROW(sock->SetPort("26"), ESocketException);
    EXPECT_THROW(sock->SetAddr("127.0.0.2"), ESocketException);
    EXPECT_THROW(sock->SetProto("udp"), ESocketException);
    EXPECT_THROW(sock->SetLocalPort("1000"), ESocketException);
    try {
        sock->SetPort("26");
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Cannot change Port if not closed");
    }
    try {
        sock->SetSendFlags(static_cast<TSocketSendFlags>(7));
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Invalid SendFlags");
    }
    sock->Abort();
    sock->SetAddr("  example.invalid  ");
    EXPECT_EQ(sock->Addr(), "example.invalid");  // trimmed when stored
}

TEST_F(SocketTest, ResolvingFailuresCarryTheConnectPrefix) {
    struct Case {
        std::string addr, port, proto, message;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", "99999999999999999999999999999999", "tcp",
         "connect: SocketResolvePort: Invalid Port."},
        {"127.0.0.1", "no-such-service", "tcp",
         "connect: SocketResolvePort: Cannot convert port 'no-such-service'"},
        {"1.2.3.4.5", "25", "tcp", "connect: SocketResolveHost: '1.2.3.4.5' Invalid IP address."},
        {"127.0.0.1", "25", "no-such-proto",
         "connect: SocketResolveProto: Cannot convert protocol 'no-such-proto'"},
        {std::string(300, 'a'), "25", "tcp",
         "connect: SocketResolveHost: '" + std::string(300, 'a') + "' Invalid Hostname."},
    };
    for (const Case& c : cases) {
        _TAsyncSocket s(loop);
        s.SetAddr(c.addr);
        s.SetPort(c.port);
        s.SetProto(c.proto);
        try {
            s.Connect();
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const ESocketException& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(s.state(), wsClosed);
    }
}

TEST_F(SocketTest, UdpConnectOnlyOpensAndReportsBeforeReturning) {
    std::vector<std::string> events;
    sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t e) {
        events.push_back("connected " + std::to_string(e));
    };
    sock->SetProto("udp");
    sock->SetAddr("127.0.0.1");
    sock->SetPort("9");
    sock->Connect();
    EXPECT_EQ(events, (std::vector<std::string>{"connected 0"}));
    EXPECT_EQ(sock->state(), wsConnected);
    EXPECT_NE(sock->GetXPort(), "error");  // bound to a local port
}

TEST_F(SocketTest, UdpDatagramsGoToTheResolvedAddress) {
    _TAsyncSocket receiver(loop);
    receiver.SetProto("udp");
    receiver.SetAddr("127.0.0.1");
    receiver.SetPort("0");
    receiver.Listen();
    ASSERT_EQ(receiver.state(), wsConnected);
    std::string got;
    receiver.OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        char buf[512];
        sockaddr_in from{};
        int len = sizeof from;
        const int n = s->ReceiveFrom(buf, sizeof buf, from, len);
        if (n > 0) got.assign(buf, static_cast<size_t>(n));
    };
    sock->SetProto("udp");
    sock->SetAddr("127.0.0.1");
    sock->SetPort(receiver.GetXPort());
    sock->Connect();
    sock->SendStr("datagram");
    ASSERT_TRUE(RunUntil(loop, [&] { return !got.empty(); }));
    EXPECT_EQ(got, "datagram");
}

TEST_F(SocketTest, DottedQuadLookupAnswersBeforeReturning) {
    std::vector<uint16_t> done;
    sock->OnDnsLookupDone = [&](_TCustomAsyncSocket*, uint16_t e) { done.push_back(e); };
    sock->DnsLookup("10.0.0.1");
    EXPECT_EQ(done, std::vector<uint16_t>{0});
    EXPECT_EQ(sock->DnsResult(), "10.0.0.1");
    EXPECT_TRUE(sock->DnsResultList().empty());
}

TEST_F(SocketTest, NameLookupIsAlwaysALaterEventAndCanBeCancelled) {
    std::vector<uint16_t> done;
    sock->OnDnsLookupDone = [&](_TCustomAsyncSocket*, uint16_t e) { done.push_back(e); };
    sock->DnsLookup("localhost");  // from the hosts file
    EXPECT_TRUE(done.empty());
    ASSERT_TRUE(RunUntil(loop, [&] { return !done.empty(); }));
    EXPECT_EQ(done.front(), 0);
    EXPECT_EQ(sock->DnsResult(), "127.0.0.1");
    ASSERT_FALSE(sock->DnsResultList().empty());

    done.clear();
    sock->DnsLookup("localhost");
    sock->CancelDnsLookup();
    EXPECT_EQ(done, std::vector<uint16_t>{10004});
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(done.size(), 1u);  // the cancelled lookup reports nothing more

    try {
        sock->DnsLookup("");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "DNS lookup: invalid host name.");
    }
}

TEST_F(SocketTest, ListenAcceptAndDupCarryAConnection) {
    _TAsyncSocket server(loop);
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    ASSERT_EQ(server.state(), wsListening);
    std::unique_ptr<_TAsyncSocket> accepted;
    std::string got;
    server.OnSessionAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        accepted = std::make_unique<_TAsyncSocket>(loop);
        accepted->OnDataAvailable = [&](_TCustomAsyncSocket* a, uint16_t) {
            got += a->ReceiveStr();
        };
        accepted->Dup(s->Accept());
    };
    bool connected = false;
    sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t e) { connected = e == 0; };
    sock->SetAddr("127.0.0.1");
    sock->SetPort(server.GetXPort());
    sock->Connect();
    ASSERT_TRUE(RunUntil(loop, [&] { return connected && accepted; }));
    EXPECT_EQ(accepted->state(), wsConnected);
    EXPECT_EQ(accepted->GetPeerAddr(), "127.0.0.1");
    sock->SendStr("ping");
    ASSERT_TRUE(RunUntil(loop, [&] { return got == "ping"; }));
}

TEST_F(SocketTest, ADescriptorTheSystemCannotWatchFailsTheSocketWithItsError) {
    // epoll refuses a descriptor that cannot be polled, as it would a socket
    // when the kernel runs out of watches: nothing would ever come from it.
    const int unpollable = open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(unpollable, 0);
    log.Attach(*sock);
    sock->SetLingerOnOff(wsLingerNoSet);
    sock->Dup(unpollable);
    ASSERT_TRUE(RunUntil(loop, [&] { return !log.events.empty(); }));
    EXPECT_EQ(log.events, (std::vector<std::string>{"closed 10013"}));  // EPERM
    EXPECT_EQ(sock->HSocket(), INVALID_SOCKET);
}

}  // namespace
}  // namespace mv

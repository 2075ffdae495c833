// The socket through a proxy: the fake SOCKS proxy on 127.0.0.1 relays to a
// scripted server; every level, the user-code exchange, each failure reply and
// every malformed reply.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_dns_server.h"
#include "fake_socks_proxy.h"
#include "kernel_probes.h"
#include "net/line/async_socket.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "scripted_tcp_server.h"
#include "test_support.h"

namespace mv {
namespace {

using test::FakeSocksProxy;
using test::RunUntil;
using test::ScriptedTcpServer;
using test::TcpConnection;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

std::string PortBytes(uint16_t port) {
    return Bytes({port >> 8, port & 0xFF});
}

// A target that greets, answers one line and waits for the close.
ScriptedTcpServer::Script Greeter(const std::string& greeting = "220 ready\r\n") {
    return [greeting](TcpConnection& c, int) {
        if (!greeting.empty()) {
            c.Send(greeting);
        }
        bool ok = false;
        const std::string line = c.ReadLine(&ok, 3000);
        if (ok) {
            c.Send("echo: " + line + "\r\n");
        }
        c.WaitForClose(3000);
    };
}

class SocksTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    std::unique_ptr<_TAsyncSocket> sock = std::make_unique<_TAsyncSocket>(loop);
    std::vector<std::string> log;
    std::string data;
    bool closed = false;

    void SetUp() override {
        sock->OnSocksConnected = [this](_TCustomAsyncSocket*, uint16_t e) {
            log.push_back("socks-connected " + std::to_string(e));
        };
        sock->OnSocksAuthState = [this](_TCustomAsyncSocket*, TSocksAuthState s) {
            log.push_back("auth " + std::to_string(s));
        };
        sock->OnSocksError = [this](_TCustomAsyncSocket*, int e, const std::string& m) {
            log.push_back("socks-error " + std::to_string(e) + " " + m);
        };
        sock->OnSessionConnected = [this](_TCustomAsyncSocket* s, uint16_t e) {
            log.push_back("connected " + std::to_string(e));
            if (e == 0) {
                s->SendStr("ping\r\n");
            }
        };
        sock->OnDataSent = [this](_TCustomAsyncSocket*, uint16_t) {
            if (log.empty() || log.back() != "sent") {
                log.push_back("sent");
            }
        };
        sock->OnDataAvailable = [this](_TCustomAsyncSocket* s, uint16_t) {
            data += s->ReceiveStr();
        };
        sock->OnSessionClosed = [this](_TCustomAsyncSocket*, uint16_t e) {
            log.push_back("closed " + std::to_string(e));
            closed = true;
        };
    }

    void Through(const FakeSocksProxy& proxy, const std::string& level, const std::string& addr,
                 uint16_t port) {
        sock->SetSocksServer("127.0.0.1");
        sock->SetSocksPort(proxy.portText());
        sock->SetSocksLevel(level);
        sock->SetAddr(addr);
        sock->SetPort(std::to_string(port));
        sock->Connect();
    }

    // The events from the failure on, once the socket has closed.
    std::vector<std::string> FailureEvents() {
        EXPECT_TRUE(RunUntil(loop, [&] { return closed; }));
        std::vector<std::string> tail;
        bool on = false;
        for (const auto& e : log) {
            if (e.rfind("socks-error", 0) == 0) {
                on = true;
            }
            if (on) {
                tail.push_back(e);
            }
        }
        return tail;
    }
};

// --- Connecting through each level ------------------------------------------

struct LevelCase {
    const char* level;
    const char* addr;
    bool usercode;
};

class SocksLevels : public SocksTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(SocksLevels, RelaysTheSessionAndSendsTheExactRequests) {
    const LevelCase c = GetParam();
    ScriptedTcpServer target(Greeter());
    FakeSocksProxy::Options options;
    if (c.usercode) {
        options.user = "alice", options.password = "s3cret";
    }
    FakeSocksProxy proxy(options);
    sock->SetSocksUsercode("alice");
    sock->SetSocksPassword("s3cret");
    if (c.usercode) {
        sock->SetSocksAuthentication(socksAuthenticateUsercode);
    }
    Through(proxy, c.level, c.addr, target.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return data.find("echo: ping\r\n") != std::string::npos; }));
    EXPECT_EQ(data, "220 ready\r\necho: ping\r\n");

    std::vector<std::string> expected = {"socks-connected 0"};
    if (c.usercode) {
        expected.insert(expected.end(), {"auth 0", "auth 1"});
    }
    expected.push_back("connected 0");
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected)
        << "no OnDataSent for the handshake's own requests";

    const std::string port = PortBytes(target.port());
    std::string request;
    const std::string level = c.level;
    if (level == "4") {
        request = Bytes({4, 1}) + port + Bytes({127, 0, 0, 1}) + "alice" + Bytes({0});
    } else if (level == "4A") {
        request =
            Bytes({4, 1}) + port + Bytes({0, 0, 0, 1}) + "alice" + Bytes({0}) + c.addr + Bytes({0});
    } else if (c.usercode) {
        request = Bytes({5, 1, 2}) + Bytes({1, 5}) + "alice" + Bytes({6}) + "s3cret" +
                  Bytes({5, 1, 0, 3, 9}) + c.addr + port;
    } else {
        request = Bytes({5, 1, 0}) + Bytes({5, 1, 0, 3, 9}) + c.addr + port;
    }
    EXPECT_EQ(proxy.Received().substr(0, request.size()), request);
    EXPECT_EQ(proxy.Target(), (level == "4" ? std::string("127.0.0.1") : std::string(c.addr)) +
                                  ":" + std::to_string(target.port()));
    if (level == "5") {
        EXPECT_EQ(sock->BoundAddr(), "127.0.0.1");
        EXPECT_NE(sock->BoundPort(), "0");
    }
    EXPECT_EQ(sock->ReadCount(), static_cast<int>(data.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SocksLevels,
    ::testing::Values(LevelCase{"4", "localhost", false}, LevelCase{"4A", "localhost", false},
                      LevelCase{"5", "localhost", false}, LevelCase{"5", "localhost", true}),
    [](const auto& info) {
        return std::string("Level") + info.param.level + (info.param.usercode ? "Usercode" : "");
    });

TEST_F(SocksTest, ProxyThatNeedsNoAuthenticationReportsStateThree) {
    ScriptedTcpServer target(Greeter());
    FakeSocksProxy proxy;
    sock->SetSocksAuthentication(socksAuthenticateUsercode);
    Through(proxy, "5", "127.0.0.1", target.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return data.find("echo") != std::string::npos; }));
    EXPECT_EQ(log[1], "auth 3");
    EXPECT_EQ(log[2], "connected 0");
}

TEST_F(SocksTest, BytesArrivingWithTheReplyAreDeliveredFirst) {
    ScriptedTcpServer target(Greeter());
    FakeSocksProxy::Options options;
    options.joinFirstTargetBytes = true;
    FakeSocksProxy proxy(options);
    Through(proxy, "5", "127.0.0.1", target.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return data.find("echo: ping\r\n") != std::string::npos; }));
    EXPECT_EQ(data, "220 ready\r\necho: ping\r\n");
}

TEST_F(SocksTest, LeftoverIsWhatTheFirstReceiveReturns) {
    ScriptedTcpServer target([](TcpConnection& c, int) { c.WaitForClose(3000); });
    FakeSocksProxy::Options options;
    options.connectReply = {Bytes({5, 0, 0, 3, 5}) + "proxy" + Bytes({4, 0x38}) + "extra\r\n"};
    options.continueAfterScript = true;
    FakeSocksProxy proxy(options);
    int rcvdAtFirstEvent = -1;
    sock->OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) {
        if (rcvdAtFirstEvent < 0) {
            rcvdAtFirstEvent = s->Rcvdcount();
        }
        char buf[3];
        const int n = s->Receive(buf, sizeof buf);
        if (n > 0) {
            data.append(buf, static_cast<size_t>(n));
        }
    };
    Through(proxy, "5", "127.0.0.1", target.port());
    ASSERT_TRUE(RunUntil(loop, [&] { return data == "extra\r\n"; }));
    EXPECT_EQ(rcvdAtFirstEvent, 7);
    EXPECT_EQ(sock->BoundAddr(), "proxy");
    EXPECT_EQ(sock->BoundPort(), "1080");
}

// --- Failures ---------------------------------------------------------------

struct FailureCase {
    const char* name;
    const char* level;
    int status;
    int code;
    const char* text;
};

class SocksFailureReplies : public SocksTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SocksFailureReplies, GiveTheirNumberAndTextThenConnectedWithItThenTheClose) {
    const FailureCase c = GetParam();
    FakeSocksProxy::Options options;
    options.connectStatus = c.status;
    FakeSocksProxy proxy(options);
    Through(proxy, c.level, "127.0.0.1", 25);
    const std::string code = std::to_string(c.code);
    EXPECT_EQ(FailureEvents(), (std::vector<std::string>{"socks-error " + code + " " + c.text,
                                                         "connected " + code, "closed " + code}));
    EXPECT_EQ(sock->state(), wsClosed);
    EXPECT_EQ(sock->SocksServer(), "");  // reset with the settings
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SocksFailureReplies,
    ::testing::Values(FailureCase{"L4Rejected", "4", 91, 20016, "request rejected or failed"},
                      FailureCase{"L4Refused", "4A", 92, 20008, "connection refused"},
                      FailureCase{"L4Auth", "4", 93, 20015, "authentification failed"},
                      FailureCase{"L4Other", "4", 7, 20012, "unassigned error #7"},
                      FailureCase{"L5General", "5", 1, 20004, "general SOCKS server failure"},
                      FailureCase{"L5Ruleset", "5", 2, 20005, "connection not allowed by ruleset"},
                      FailureCase{"L5Net", "5", 3, 20006, "network unreachable"},
                      FailureCase{"L5Host", "5", 4, 20007, "host unreachable"},
                      FailureCase{"L5Refused", "5", 5, 20008, "connection refused"},
                      FailureCase{"L5Ttl", "5", 6, 20009, "time to live expired"},
                      FailureCase{"L5Command", "5", 7, 20010, "command not supported"},
                      FailureCase{"L5Address", "5", 8, 20011, "address type not supported"},
                      FailureCase{"L5Other", "5", 9, 20012, "unassigned error #9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SocksTest, WrongPasswordFailsTheAuthentication) {
    FakeSocksProxy::Options options;
    options.user = "alice";
    options.password = "right";
    FakeSocksProxy proxy(options);
    sock->SetSocksAuthentication(socksAuthenticateUsercode);
    sock->SetSocksUsercode("alice");
    sock->SetSocksPassword("wrong");
    Through(proxy, "5", "127.0.0.1", 25);
    EXPECT_EQ(FailureEvents(),
              (std::vector<std::string>{"socks-error 20015 socks authentication failed",
                                        "connected 20015", "closed 20015"}));
    EXPECT_EQ(log[1], "auth 0");
    EXPECT_EQ(log[2], "auth 2");
}

TEST_F(SocksTest, ProxyThatWantsCredentialsRefusesTheMethod) {
    FakeSocksProxy::Options options;
    options.user = "alice";
    FakeSocksProxy proxy(options);
    Through(proxy, "5", "127.0.0.1", 25);
    EXPECT_EQ(FailureEvents(),
              (std::vector<std::string>{"socks-error 20003 authentification method not acceptable",
                                        "connected 20003", "closed 20003"}));
}

TEST_F(SocksTest, ConnectWhileConnectingIsRefusedAndChangesNothing) {
    // Once while the connection to the proxy is being made, once inside the
    // handshake: the refused call must leave the handshake as it was.
    for (const bool inHandshake : {false, true}) {
        SCOPED_TRACE(inHandshake);
        ScriptedTcpServer target(Greeter());
        FakeSocksProxy proxy;
        log.clear();
        data.clear();
        std::string refusal;
        auto connectAgain = [&] {
            try {
                sock->Connect();
            } catch (const ESocketException& e) {
                refusal = e.what();
            }
        };
        sock->OnSocksConnected = [&](_TCustomAsyncSocket*, uint16_t e) {
            log.push_back("socks-connected " + std::to_string(e));
            if (inHandshake) {
                connectAgain();
            }
        };
        Through(proxy, "5", "127.0.0.1", target.port());
        ASSERT_EQ(sock->state(), wsConnecting);
        if (!inHandshake) {
            connectAgain();
        }
        ASSERT_TRUE(
            RunUntil(loop, [&] { return data.find("echo: ping\r\n") != std::string::npos; }));
        EXPECT_EQ(refusal, "Connect: Socket already in use");
        EXPECT_EQ(data, "220 ready\r\necho: ping\r\n");
        EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 2),
                  (std::vector<std::string>{"socks-connected 0", "connected 0"}));
        sock->Abort();
    }
}

TEST_F(SocksTest, UnreachableProxyReportsTheConnectErrorTwice) {
    sock->SetSocksServer("127.0.0.1");
    sock->SetSocksPort(std::to_string(test::UnusedTcpPort()));
    sock->SetAddr("127.0.0.1");
    sock->SetPort("25");
    sock->Connect();
    ASSERT_TRUE(RunUntil(loop, [&] { return closed; }));
    EXPECT_EQ(log,
              (std::vector<std::string>{"socks-connected 10061", "connected 10061", "closed 0"}));
}

TEST_F(SocksTest, Level4TargetThatCannotBeResolvedGives20017) {
    FakeSocksProxy proxy;
    Through(proxy, "4", "1.2.3.4.5", 25);
    EXPECT_EQ(FailureEvents(),
              (std::vector<std::string>{
                  "socks-error 20017 ESocketException: SocketResolveHost: '1.2.3.4.5' Invalid IP "
                  "address.",
                  "connected 20017", "closed 20017"}));
}

// --- IPv6 targets and the proxy's name ------------------------------------------

TEST_F(SocksTest, AnIPv6TargetGoesToLevel5AsAnAddressAndIsRefusedBelow) {
    for (const std::string level : {"5", "4", "4A"}) {
        SCOPED_TRACE(level);
        log.clear();
        closed = false;
        FakeSocksProxy::Options options;
        options.connectStatus = 1;  // a level 5 proxy refuses once it has the request
        FakeSocksProxy proxy(options);
        Through(proxy, level, "::1", 25);
        const std::vector<std::string> events = FailureEvents();
        if (level == "5") {
            EXPECT_EQ(proxy.Received(), Bytes({5, 1, 0, 5, 1, 0, 4}) + std::string(15, '\0') +
                                            Bytes({1}) + PortBytes(25));
            EXPECT_EQ(events.at(0), "socks-error 20004 general SOCKS server failure");
        } else {
            EXPECT_EQ(proxy.Received(), "");
            EXPECT_EQ(events, (std::vector<std::string>{
                                  "socks-error 20011 the IPv6 address ::1 needs SOCKS level 5, "
                                  "not " +
                                      level,
                                  "connected 20011", "closed 20011"}));
        }
    }
}

// The proxy's name is looked up on the loop, and once for all the
// connections of a run, found or not (a TTL of 0: nothing else keeps it).
TEST_F(SocksTest, TheProxysNameIsLookedUpOnTheLoopOncePerRun) {
    test::FakeDnsServer dns([](const dnswire::Query& q) {
        if (q.name != "proxy.test")
            return std::vector<test::FakeDnsServer::Datagram>{test::NxDomain(q)};
        auto reply = dnswire::ResponseBuilder::ReplyTo(q);
        if (q.type == dnswire::kTypeA) reply.A(dnswire::Name::Pointer(12), "127.0.0.1", 0);
        return std::vector<test::FakeDnsServer::Datagram>{reply.Build()};
    });
    network_layer::SetLookupServers("127.0.0.1:" + dns.portText());
    ScriptedTcpServer target(Greeter(), 2);
    FakeSocksProxy proxy({}, 2);
    SocksProxy run;
    run.server = "proxy.test";
    run.port = proxy.portText();
    run.NewRun();
    auto connect = [&] {
        log.clear();
        data.clear();
        run.ApplyTo(*sock);
        sock->SetAddr("127.0.0.1");
        sock->SetPort(target.portText());
        sock->Connect();
    };
    for (int i = 0; i < 2; ++i) {
        connect();
        ASSERT_TRUE(RunUntil(loop, [&] { return data.find("echo: ping") != std::string::npos; }));
        sock->Close();
    }
    EXPECT_EQ(dns.receivedCount(), 2u);  // A and AAAA, once

    // Gone while its lookup runs: the answer finds nothing.
    run.NewRun();
    connect();
    sock.reset();
    ASSERT_TRUE(test::PollUntil([&] { return dns.receivedCount() == 4; }));
    sock = std::make_unique<_TAsyncSocket>(loop);
    SetUp();

    run.server = "nowhere.test";
    run.NewRun();
    for (int i = 0; i < 2; ++i) {
        connect();
        ASSERT_TRUE(RunUntil(loop, [&] { return log.size() == 2; }));
        EXPECT_EQ(log, (std::vector<std::string>{
                           "socks-error 20018 proxy host name lookup failed: 'nowhere.test': "
                           "Host not found",
                           "connected 20018"}));
    }
    EXPECT_EQ(dns.receivedCount(), 6u);
    network_layer::SetLookupServers("");
}

// --- Malformed replies -------------------------------------------------------

struct ScriptCase {
    const char* name;
    const char* level;
    int step;  // 0 method reply, 1 user-code reply, 2 connect reply
    std::vector<std::string> pieces;
    bool goOn;            // the proxy carries on after the script
    std::string outcome;  // "connected 0" or the OnSocksError entry
};

class SocksScriptedReplies : public SocksTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(SocksScriptedReplies, EndConnectedOrInTheSpecifiedError) {
    const ScriptCase& c = GetParam();
    ScriptedTcpServer target(Greeter(""));
    FakeSocksProxy::Options options;
    if (c.step == 0) {
        options.methodReply = c.pieces;
    }
    if (c.step == 1) {
        options.authReply = c.pieces, options.user = "u", options.password = "p";
    }
    if (c.step == 2) {
        options.connectReply = c.pieces;
    }
    options.continueAfterScript = c.goOn;
    FakeSocksProxy proxy(options);
    if (c.step == 1) {
        sock->SetSocksAuthentication(socksAuthenticateUsercode);
        sock->SetSocksUsercode("u");
        sock->SetSocksPassword("p");
    }
    Through(proxy, c.level, "127.0.0.1", target.port());
    if (c.outcome == "connected 0") {
        ASSERT_TRUE(RunUntil(loop, [&] { return data == "echo: ping\r\n"; }));
        EXPECT_EQ(std::count(log.begin(), log.end(), "connected 0"), 1);
        return;
    }
    const auto events = FailureEvents();
    ASSERT_EQ(events.size(), 3u) << ::testing::PrintToString(log);
    EXPECT_EQ(events[0], "socks-error " + c.outcome);
    const std::string code = c.outcome.substr(0, c.outcome.find(' '));
    EXPECT_EQ(events[1], "connected " + code);
    EXPECT_EQ(events[2], "closed " + code);
}

const std::string kV4Ok = Bytes({0, 90, 0, 0, 127, 0, 0, 1});

INSTANTIATE_TEST_SUITE_P(
    Replies, SocksScriptedReplies,
    ::testing::Values(
        ScriptCase{"MethodSplit", "5", 0, {Bytes({5}), Bytes({0})}, true, "connected 0"},
        ScriptCase{"MethodShortThenClose", "5", 0, {Bytes({5})}, false, "10054 data receive error"},
        ScriptCase{
            "MethodLong", "5", 0, {Bytes({5, 0, 0})}, false, "20001 too much data availaible"},
        ScriptCase{"MethodGarbage",
                   "5",
                   0,
                   {"HTTP/1.0 400 Bad Request\r\n\r\n"},
                   false,
                   "20001 too much data availaible"},
        ScriptCase{"MethodWrongVersion", "5", 0, {"HT"}, false, "20002 socks version error"},
        ScriptCase{"MethodUnknown",
                   "5",
                   0,
                   {Bytes({5, 0xFF})},
                   false,
                   "20003 authentification method not acceptable"},
        ScriptCase{"MethodNothingThenClose", "5", 0, {}, false, "10054 data receive error"},
        ScriptCase{"AuthSplit", "5", 1, {Bytes({1}), Bytes({0})}, true, "connected 0"},
        ScriptCase{"AuthVersionByteOfOldDrafts",
                   "5",
                   1,
                   {Bytes({5, 0})},
                   false,
                   "20002 socks version error"},
        ScriptCase{"AuthSplitFailure",
                   "5",
                   1,
                   {Bytes({1}), Bytes({1})},
                   false,
                   "20015 socks authentication failed"},
        ScriptCase{"AuthShortThenClose", "5", 1, {Bytes({1})}, false, "10054 data receive error"},
        ScriptCase{"AuthLong", "5", 1, {Bytes({1, 0, 0})}, false, "20001 too much data availaible"},
        ScriptCase{"V4Split",
                   "4",
                   2,
                   {kV4Ok.substr(0, 1), kV4Ok.substr(1, 3), kV4Ok.substr(4)},
                   true,
                   "connected 0"},
        ScriptCase{
            "V4ShortThenClose", "4", 2, {kV4Ok.substr(0, 7)}, false, "10054 data receive error"},
        ScriptCase{"V4Garbage", "4A", 2, {"garbage!"}, false, "20002 socks version error"},
        ScriptCase{"V5SplitName",
                   "5",
                   2,
                   {Bytes({5, 0, 0, 3, 5}), "pro", "xy" + Bytes({0, 25})},
                   true,
                   "connected 0"},
        ScriptCase{"V5Ipv6",
                   "5",
                   2,
                   {Bytes({5, 0, 0, 4}) + std::string(15, '\0') + Bytes({1, 0, 25})},
                   true,
                   "connected 0"},
        ScriptCase{"V5ShortThenClose",
                   "5",
                   2,
                   {Bytes({5, 0, 0, 1, 127, 0})},
                   false,
                   "10054 data receive error"},
        ScriptCase{"V5AddressType",
                   "5",
                   2,
                   {Bytes({5, 0, 0, 9, 0, 0})},
                   false,
                   "20011 address type not supported"},
        ScriptCase{"V5Garbage", "5", 2, {"\x04\x5a garbage"}, false, "20002 socks version error"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Settings ----------------------------------------------------------------

TEST(SocksSettings, LevelIsStoredUpperCasedAndOthersAreRefused) {
    EpollLoop loop;
    _TAsyncSocket s(loop);
    EXPECT_EQ(s.SocksLevel(), "5");
    s.SetSocksLevel("4a");
    EXPECT_EQ(s.SocksLevel(), "4A");
    for (const char* bad : {"6", "4b", "", "5 "}) {
        try {
            s.SetSocksLevel(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const ESocketException& e) {
            EXPECT_STREQ(e.what(), "Invalid socks level. Must be 4, 4A or 5.");
        }
    }
    EXPECT_EQ(s.SocksLevel(), "4A");
}

TEST_F(SocksTest, SettingsAreRefusedWhileOpenAndResetAfterTheClose) {
    ScriptedTcpServer target(Greeter());
    FakeSocksProxy proxy;
    sock->SetSocksUsercode("kept");
    Through(proxy, "4A", "127.0.0.1", target.port());
    auto expectRefused = [](const std::function<void()>& set, const char* message) {
        try {
            set();
            ADD_FAILURE() << "accepted while open";
        } catch (const ESocketException& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectRefused([&] { sock->SetSocksLevel("5"); }, "Can't change socks level if not closed");
    expectRefused([&] { sock->SetSocksPort("1"); }, "Can't change socks port if not closed");
    expectRefused([&] { sock->SetSocksServer("10.0.0.1"); },
                  "Can't change socks server if not closed");
    ASSERT_TRUE(RunUntil(loop, [&] { return data.find("echo") != std::string::npos; }));
    sock->Close();
    EXPECT_EQ(sock->SocksServer(), "");
    EXPECT_EQ(sock->SocksPort(), "");
    EXPECT_EQ(sock->SocksLevel(), "5");
    EXPECT_EQ(sock->SocksUsercode(), "kept");
}

TEST_F(SocksTest, OnlyTcpConnectsAndNothingListensThroughAProxy) {
    sock->SetSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(sock->SocksServer(), "127.0.0.1");
    sock->SetSocksPort("1080");
    sock->SetAddr("127.0.0.1");
    sock->SetPort("53");
    sock->SetProto("udp");
    try {
        sock->Connect();
        ADD_FAILURE();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "tcp is the only protocol supported thru socks server");
    }
    sock->SetProto("tcp");
    try {
        sock->Listen();
        ADD_FAILURE();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "listening is not supported thru socks server");
    }
    sock->SetSocksPort("");
    try {
        sock->Connect();
        ADD_FAILURE();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "connect: SocketResolvePort: Invalid Port.");
    }
    EXPECT_EQ(sock->HSocket(), INVALID_SOCKET);
}

// --- Lifetime ----------------------------------------------------------------

TEST(SocksLifetime, AHandlerMayDestroyTheSocketInEveryHandshakeEvent) {
    for (const char* event : {"socks-connected", "auth", "socks-error", "connected"}) {
        EpollLoop loop;
        auto sock = std::make_unique<_TAsyncSocket>(loop);
        FakeSocksProxy::Options options;
        options.user = "u";
        options.password = "p";
        if (std::string(event) == "socks-error") {
            options.password = "other";
        }
        FakeSocksProxy proxy(options);
        const std::string which = event;
        auto kill = [&](const std::string& e) {
            if (e == which) {
                sock.reset();
            }
        };
        sock->OnSocksConnected = [&](_TCustomAsyncSocket*, uint16_t) { kill("socks-connected"); };
        sock->OnSocksAuthState = [&](_TCustomAsyncSocket*, TSocksAuthState) { kill("auth"); };
        sock->OnSocksError = [&](_TCustomAsyncSocket*, int, const std::string&) {
            kill("socks-error");
        };
        sock->OnSessionConnected = [&](_TCustomAsyncSocket*, uint16_t) { kill("connected"); };
        sock->SetSocksAuthentication(socksAuthenticateUsercode);
        sock->SetSocksUsercode("u");
        sock->SetSocksPassword("p");
        sock->SetSocksServer("127.0.0.1");
        sock->SetSocksPort(proxy.portText());
        sock->SetAddr("127.0.0.1");
        sock->SetPort(std::to_string(test::UnusedTcpPort()));
        sock->Connect();
        EXPECT_TRUE(RunUntil(loop, [&] { return sock == nullptr; })) << event;
    }
}

}  // namespace
}  // namespace mv

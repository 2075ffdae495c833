// The SMTP client against scripted fake servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_dns_server.h"
#include "fake_smtp_server.h"
#include "net/smtp/smtp_cli.h"
#include "platform/loop/epoll_loop.h"
#include "platform/resolver/host_resolver.h"
#include "scripted_tcp_server.h"
#include "test_support.h"

namespace mv {
namespace {

using test::FakeSmtpServer;
using test::ScriptedTcpServer;
using test::TcpConnection;

struct Notice {
    TSmtpRequest type;
    uint16_t error;
    bool operator==(const Notice&) const = default;
};

const FakeSmtpServer::Rules kHappy = {{"HELO", "250 hello"}, {"RSET", "250 reset"}};

class SmtpClientTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    _TSmtpCli client{loop};
    std::vector<Notice> notices;
    std::vector<std::string> display;
    std::vector<std::string> responses;
    bool insideCall = false;

    void SetUp() override {
        client.OnRequestDone = [this](_TCustomSmtpClient*, TSmtpRequest t, uint16_t e) {
            EXPECT_FALSE(insideCall) << "OnRequestDone raised inside the call";
            notices.push_back({t, e});
        };
        client.OnDisplay = [this](_TCustomSmtpClient*, const std::string& m) {
            display.push_back(m);
        };
        client.OnResponse = [this](_TCustomSmtpClient*, const std::string& m) {
            responses.push_back(m);
        };
        client.SetHost("127.0.0.1");
        client.SetSignOn("checker.test");
        client.SetFromName("me@checker.test");
    }
    template <class F>
    void Call(F f) {
        insideCall = true;
        f();
        insideCall = false;
    }
    Notice Next() {
        const size_t n = notices.size() + 1;
        EXPECT_TRUE(test::RunUntil(
            loop, [&] { return notices.size() >= n; }, std::chrono::seconds(5)));
        return notices.size() >= n ? notices[n - 1] : Notice{smtpConnect, 65535};
    }
};

TEST_F(SmtpClientTest, ACheckDialogueFromOpenToQuit) {
    FakeSmtpServer server(kHappy);
    client.SetPort(server.portText());
    client.SetRcptName({"user@fake.test"});
    Call([&] { client.Open(); });
    EXPECT_EQ(Next(), (Notice{smtpConnect, 0}));
    EXPECT_TRUE(client.Connected());
    Call([&] { client.MailFrom(); });
    EXPECT_EQ(Next(), (Notice{smtpMailFrom, 0}));
    Call([&] { client.RcptTo(); });
    EXPECT_EQ(Next(), (Notice{smtpRcptTo, 0}));
    Call([&] { client.Rset(); });
    EXPECT_EQ(Next(), (Notice{smtpRset, 0}));
    Call([&] { client.Quit(); });
    EXPECT_EQ(Next(), (Notice{smtpQuit, 0}));
    server.Join();
    EXPECT_EQ(server.commands(),
              (std::vector<std::string>{"HELO checker.test", "MAIL FROM:<me@checker.test>",
                                        "RCPT TO:<user@fake.test>", "RSET", "QUIT"}));
    ASSERT_GE(display.size(), 3u);
    EXPECT_EQ(display[0], "< 220 fake.test ready");
    EXPECT_EQ(display[1], "> HELO checker.test");
    EXPECT_EQ(display[2], "< 250 hello");
    test::RunUntil(loop, [&] { return !client.Connected(); });
    EXPECT_EQ(notices.size(), 5u);  // the server's close after 221 adds nothing
}

TEST_F(SmtpClientTest, MultiLineGreetingCompletesAfterItsLastLine) {
    FakeSmtpServer server(kHappy, "220-fake.test first line\r\n220 fake.test second line");
    client.SetPort(server.portText());
    client.Open();
    EXPECT_EQ(Next(), (Notice{smtpConnect, 0}));
    ASSERT_GE(responses.size(), 3u);
    EXPECT_EQ(responses[0], "220-fake.test first line");
    EXPECT_EQ(responses[1], "220 fake.test second line");
    EXPECT_EQ(responses[2], "250 hello");
}

TEST_F(SmtpClientTest, AReplySplitOverTwoReadsIsOneLine) {
    ScriptedTcpServer server([](TcpConnection& c, int) {
        c.Send("220 hi\r\n");
        c.ReadLine();
        c.SendPiece("25");
        c.Send("0 OK\r\n");
        c.WaitForClose();
    });
    client.SetPort(server.portText());
    client.Open();
    EXPECT_EQ(Next(), (Notice{smtpConnect, 0}));
    EXPECT_EQ(client.LastResponse(), "250 OK");
    EXPECT_EQ(client.StatusCode(), 250);
}

TEST_F(SmtpClientTest, HeloRefusedEndsOpenWithTheCodeAndSendsNoQuit) {
    FakeSmtpServer server(FakeSmtpServer::Rules{{"HELO", "501 bad helo"}});
    client.SetPort(server.portText());
    client.Open();
    EXPECT_EQ(Next(), (Notice{smtpConnect, 501}));
    EXPECT_EQ(client.ErrorMessage(), "501 bad helo");
    client.Abort();
    server.Join();
    EXPECT_EQ(server.commands(), std::vector<std::string>{"HELO checker.test"});
}

TEST_F(SmtpClientTest, RecipientRepliesDecideByTheLastRecipient) {
    FakeSmtpServer server(FakeSmtpServer::Rules{{"RCPT TO:<gone", "550 no such user"},
                                                {"RCPT TO:<forwarded", "251 will forward"},
                                                {"RCPT TO:<maybe", "252 cannot verify"}});
    client.SetPort(server.portText());
    client.Open();
    ASSERT_EQ(Next().error, 0);
    client.MailFrom();
    ASSERT_EQ(Next().error, 0);
    client.SetRcptName({"forwarded@x.test"});
    client.RcptTo();
    EXPECT_EQ(Next(), (Notice{smtpRcptTo, 0}));  // 251 is accepted
    client.SetRcptName({"maybe@x.test"});
    client.RcptTo();
    EXPECT_EQ(Next(), (Notice{smtpRcptTo, 252}));
    client.SetRcptName({" gone@x.test ", "forwarded@x.test"});
    client.RcptTo();
    EXPECT_EQ(Next(), (Notice{smtpRcptTo, 0}));  // the first refused, the last accepted
    client.SetRcptName({"forwarded@x.test", "gone@x.test"});
    client.RcptTo();
    EXPECT_EQ(Next(), (Notice{smtpRcptTo, 550}));
    client.Abort();
    server.Join();
    const auto commands = server.commands();
    EXPECT_EQ(commands[4], "RCPT TO:<gone@x.test>");  // trimmed inside the brackets
}

TEST_F(SmtpClientTest, AFailureSendingTheNextRecipientEndsTheRequestWithOneNotice) {
    FakeSmtpServer server(kHappy);
    client.SetPort(server.portText());
    client.Open();
    ASSERT_EQ(Next().error, 0);
    client.MailFrom();
    ASSERT_EQ(Next().error, 0);
    // The second address is refused while the first one's reply is handled,
    // inside a socket notification where no caller can catch the error.
    client.SetRcptName({"first@x.test", "bad@x.test>\r\nDATA", "third@x.test"});
    client.RcptTo();
    EXPECT_EQ(Next(), (Notice{smtpRcptTo, 500}));
    ASSERT_TRUE(test::Settle(loop));
    EXPECT_EQ(notices.size(), 3u) << "one notice for the request";
    EXPECT_EQ(client.State(), ssReady);
    client.Abort();
    server.Join();
    EXPECT_EQ(server.commands().back(), "RCPT TO:<first@x.test>");
}

TEST_F(SmtpClientTest, QuitWhenNotConnectedIsALaterNotice) {
    Call([&] { client.Quit(); });
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(Next(), (Notice{smtpQuit, 0}));
}

TEST_F(SmtpClientTest, RefusedConnectionAndUnknownHost) {
    client.SetPort(std::to_string(test::UnusedTcpPort()));
    client.Open();
    EXPECT_EQ(Next(), (Notice{smtpConnect, 10061}));
    EXPECT_EQ(client.LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.State(), ssReady);

    test::FakeDnsServer dns([](const dnswire::Query& q) {
        return std::vector<test::FakeDnsServer::Datagram>{test::NxDomain(q)};
    });
    network_layer::SetLookupServers("127.0.0.1:" + dns.portText());
    client.SetHost("no-such-host.invalid");
    client.Open();
    EXPECT_EQ(Next(), (Notice{smtpConnect, 11001}));
    EXPECT_EQ(client.LastResponse(), "500 Host not found (Winsock error #11001)");
    network_layer::SetLookupServers("");
}

TEST_F(SmtpClientTest, MisuseRaisesAtTheCall) {
    FakeSmtpServer server(FakeSmtpServer::Rules{{"MAIL FROM", FakeSmtpServer::kSilent}});
    client.SetPort(server.portText());
    EXPECT_THROW(client.MailFrom(), SmtpException);  // not connected
    client.Open();
    ASSERT_EQ(Next().error, 0);
    client.MailFrom();  // the server never answers
    try {
        client.Rset();
        FAIL();
    } catch (const SmtpException& e) {
        EXPECT_STREQ(e.what(), "SMTP component not ready");
    }
    client.Abort();
    client.SetRcptName({});
    EXPECT_THROW(client.RcptTo(), SmtpException);
    try {
        client.Open();
        client.Abort();
    } catch (const SmtpException&) {
        // Refusing an Open right after an Abort is as fine as accepting it;
        // only a crash or another exception would be a fault.
    }
}

TEST_F(SmtpClientTest, ALineBreakInAnArgumentNeverReachesTheWire) {
    FakeSmtpServer server(kHappy);
    client.SetPort(server.portText());
    client.Open();
    ASSERT_EQ(Next().error, 0);
    client.SetFromName("me@x.test>\r\nRCPT TO:<victim@y.test");
    EXPECT_THROW(client.MailFrom(), SmtpException);
    EXPECT_EQ(client.State(), ssReady);
    client.SetFromName("me@x.test");
    client.MailFrom();
    EXPECT_EQ(Next(), (Notice{smtpMailFrom, 0}));
    client.Abort();
    server.Join();
    EXPECT_EQ(server.commands().size(), 2u);
}

TEST_F(SmtpClientTest, AbortInEveryStateLeavesTheClientReadyWithoutStaleNotices) {
    test::FakeDnsServer silentDns;  // host lookups never answer
    network_layer::SetLookupServers("127.0.0.1:" + silentDns.portText());
    FakeSmtpServer busy(FakeSmtpServer::Rules{{"MAIL FROM", FakeSmtpServer::kSilent}});
    ScriptedTcpServer mute([](TcpConnection& c, int) { c.WaitForClose(); });

    struct Case {
        const char* name;
        std::function<void()> start;
    };
    const std::vector<Case> cases = {
        {"looking up",
         [&] {
             client.SetHost("slow.invalid");
             client.Open();
         }},
        {"connecting",
         [&] {
             client.SetHost("127.0.0.1");
             client.SetPort(mute.portText());
             client.Open();
         }},
        {"awaiting greeting",
         [&] {
             client.SetPort(mute.portText());
             client.Open();
             test::RunUntil(loop, [&] { return client.State() == ssAwaitingGreeting; });
         }},
        {"awaiting reply",
         [&] {
             client.SetPort(busy.portText());
             client.Open();
             Next();
             client.MailFrom();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notices.clear();
        c.start();
        const size_t before = notices.size();
        client.Abort();
        EXPECT_EQ(client.State(), ssReady);
        EXPECT_FALSE(client.Connected());
        ASSERT_TRUE(test::Settle(loop));
        EXPECT_EQ(notices.size(), before);
    }
    network_layer::SetLookupServers("");
}

TEST_F(SmtpClientTest, BadServersEndTheRequestInsteadOfHanging) {
    struct Case {
        const char* name;
        std::string reply;
        uint16_t error;
        std::string greeting = "220 hi\r\n";
    };
    const std::vector<Case> cases = {
        {"line longer than the buffer", std::string(5000, 'x'), 10040},
        {"endless continuation",
         [] {
             std::string s;
             for (int i = 0; i < 150; ++i)
                 s += "250-more\r\n";
             return s;
         }(),
         10040},
        {"no status code", "hello there\r\n", 500},
        {"NUL and bare LF", std::string("250 a\0b\nc\r\n", 11), 0},
        {"lines that disagree", "550-no\r\n250 ok\r\n", 500},
        {"greeting lines that disagree", "250 ok\r\n", 500, "554-no\r\n220 hi\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notices.clear();
        ScriptedTcpServer server([&c](TcpConnection& conn, int) {
            conn.Send(c.greeting);
            conn.ReadLine();
            conn.Send(c.reply);
            conn.WaitForClose(3000);
        });
        client.SetHost("127.0.0.1");
        client.SetPort(server.portText());
        client.Open();
        EXPECT_EQ(Next(), (Notice{smtpConnect, c.error}));
        if (c.error == 10040) {
            EXPECT_FALSE(client.Connected());
        }
        client.Abort();
    }
}

TEST_F(SmtpClientTest, GreetingRefusedEndsWithItsCodeAndClosesTheConnection) {
    FakeSmtpServer server(kHappy, "554 go away");
    client.SetPort(server.portText());
    client.Open();
    EXPECT_EQ(Next(), (Notice{smtpConnect, 554}));
    EXPECT_EQ(client.ErrorMessage(), "554 go away");
    EXPECT_FALSE(client.Connected());
}

// An owner that ends the client inside one of its events retires it; the
// client then runs on to the end of the event without any check of its own,
// and is freed at the loop's outermost level (AddressSanitizer watches).
TEST(SmtpClientLifetime, RetiredInsideEachOfItsEventsAndFreedLater) {
    struct Client : _TSmtpCli {
        using _TSmtpCli::_TSmtpCli;
        ~Client() override { *freed = true; }
        bool* freed = nullptr;
    };
    const std::vector<std::string> events = {"display", "response", "command", "request done"};
    for (const std::string& event : events) {
        SCOPED_TRACE(event);
        EpollLoop loop;
        FakeSmtpServer server(kHappy);
        bool freed = false;
        auto owned = std::make_unique<Client>(loop);
        owned->freed = &freed;
        auto retire = [&] {
            if (owned) loop.DeleteLater(std::move(owned));
        };
        auto onText = [&](const std::string& name) {
            return [&, name](_TCustomSmtpClient*, const std::string&) {
                if (name == event) retire();
            };
        };
        owned->OnDisplay = onText("display");
        owned->OnResponse = onText("response");
        owned->OnCommand = onText("command");
        owned->OnRequestDone = [&](_TCustomSmtpClient*, TSmtpRequest, uint16_t) {
            if (event == "request done") retire();
        };
        owned->SetHost("127.0.0.1");
        owned->SetPort(server.portText());
        owned->SetSignOn("checker.test");
        owned->Open();
        EXPECT_TRUE(test::RunUntil(loop, [&] { return freed; }));
    }
}

}  // namespace
}  // namespace mv

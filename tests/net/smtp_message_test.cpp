// Message transmission: header lines, dot-stuffing and MIME attachments, as
// the server receives them.
#include <gtest/gtest.h>

#include "fake_smtp_server.h"
#include "net/smtp/smtp_cli.h"
#include "net/smtp/smtp_message_format.h"
#include "platform/loop/epoll_loop.h"
#include "test_support.h"

namespace mv {
namespace {

using test::FakeSmtpServer;

TEST(SmtpMessageFormat, EnglishDatesWhateverTheLocale) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_wday = 2;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(FormatHeaderDate(t), "Tue, 8 Dec 2026 07:05:09");
    EXPECT_EQ(FormatBoundaryStamp(t), "1208260705");
}

TEST(SmtpMessageFormat, Base64AndDotStuffing) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode(std::string(45, 'a')).size(), 60u);
    EXPECT_EQ(DotStuffed(".hidden"), "..hidden");
    EXPECT_EQ(DotStuffed("a\r\n.\r\nb"), "a\r\n..\r\nb");  // an embedded end mark
    EXPECT_EQ(DotStuffed("x\n.y"), "x\r\n..y");
}

// Accepts a message with 354 (or refuses DATA) and records it.
FakeSmtpServer::Rules Sink(bool refuseData = false) {
    return {{"DATA", refuseData ? "554 no" : "354 go"}};
}

class SmtpMessageTest : public ::testing::Test {
  protected:
    EpollLoop loop;
    _TSmtpCli client{loop};
    std::vector<std::pair<TSmtpRequest, uint16_t>> done;
    std::vector<std::string> body{"Hello,", ".starts with a dot", "bye"};

    void SetUp() override {
        client.OnRequestDone = [this](_TCustomSmtpClient*, TSmtpRequest t, uint16_t e) {
            done.emplace_back(t, e);
        };
        client.OnGetData = [this](_TCustomSmtpClient*, int n, std::string& line, int, bool& more) {
            if (n > static_cast<int>(body.size())) {
                more = false;
                return;
            }
            line = body[static_cast<size_t>(n - 1)];
        };
        client.SetHost("127.0.0.1");
        client.SetSignOn("me.test");
        client.SetFromName("me@me.test");
        client.SetRcptName({"you@you.test"});
        client.SetHdrFrom("Me <me@me.test>");
        client.SetHdrTo("You <you@you.test>");
        client.SetHdrSubject("Test");
    }
    void Run(const std::string& port) {
        client.SetPort(port);
        client.Open();
        ASSERT_TRUE(test::RunUntil(loop, [&] { return done.size() == 1; }));
        ASSERT_EQ(done[0].second, 0);
        client.Mail();
        ASSERT_TRUE(test::RunUntil(loop, [&] { return done.size() == 2; }));
        client.Quit();
        ASSERT_TRUE(test::RunUntil(loop, [&] { return done.size() == 3; }));
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    return out;
}

TEST_F(SmtpMessageTest, PlainMessageHeaderBodyAndDotStuffing) {
    FakeSmtpServer sink(Sink());
    client.OnProcessHeader = [](_TCustomSmtpClient*, std::vector<std::string>& lines) {
        lines.push_back("X-Checker: yes");
    };
    Run(sink.portText());
    sink.Join();
    EXPECT_EQ(done[1], std::make_pair(smtpMail, uint16_t{0}));
    const auto lines = Lines(sink.message());
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "From: Me <me@me.test>");
    EXPECT_EQ(lines[1], "To: You <you@you.test>");
    EXPECT_EQ(lines[2], "Subject: Test");
    EXPECT_EQ(lines[3], "Mime-Version: 1.0");
    EXPECT_EQ(lines[4], "Content-Type: text/plain; charset=\"iso-8859-1\"");
    EXPECT_EQ(lines[5].rfind("Date: ", 0), 0u);
    EXPECT_EQ(lines[6], "X-Checker: yes");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "Hello,");
    EXPECT_EQ(lines[9], "..starts with a dot");
    EXPECT_EQ(lines[10], "bye");
}

TEST_F(SmtpMessageTest, TwoAttachmentsAsMultipartMime) {
    test::TempDir dir;
    const std::string a = (dir / "a.txt").string();
    const std::string b = (dir / "b.bin").string();
    test::WriteFile(a, "short");
    std::string binary;
    for (int i = 0; i < 100; ++i)
        binary += static_cast<char>(i * 7);
    test::WriteFile(b, binary);
    client.SetEmailFiles({" " + a + " ", "", b});
    EXPECT_EQ(client.EmailFiles().size(), 2u);
    FakeSmtpServer sink(Sink());
    Run(sink.portText());
    sink.Join();
    const auto lines = Lines(sink.message());
    EXPECT_EQ(lines[4], "Content-Type: multipart/mixed;");
    const std::string boundary =
        lines[5].substr(lines[5].find('"') + 1, lines[5].rfind('"') - lines[5].find('"') - 1);
    EXPECT_EQ(lines[5].rfind("\tboundary=\"", 0), 0u);
    EXPECT_EQ(boundary.rfind("= Multipart Boundary ", 0), 0u);
    EXPECT_EQ(boundary.size(), std::string("= Multipart Boundary ").size() + 10);
    const std::vector<std::string> expected = {"This is a multipart MIME message.",
                                               "",
                                               "--" + boundary,
                                               "Content-Type: text/plain; charset=\"iso-8859-1\"",
                                               "Content-Transfer-Encoding: 7bit",
                                               "",
                                               "Hello,",
                                               "..starts with a dot",
                                               "bye",
                                               "--" + boundary,
                                               "Content-Type: application/octet-stream;",
                                               "\tname=\"a.txt\"",
                                               "Content-Transfer-Encoding: base64",
                                               "Content-Disposition: attachment;",
                                               "\tfilename=\"a.txt\"",
                                               "",
                                               Base64Encode("short"),
                                               "--" + boundary,
                                               "Content-Type: application/octet-stream;",
                                               "\tname=\"b.bin\"",
                                               "Content-Transfer-Encoding: base64",
                                               "Content-Disposition: attachment;",
                                               "\tfilename=\"b.bin\"",
                                               "",
                                               Base64Encode(binary.substr(0, 45)),
                                               Base64Encode(binary.substr(45, 45)),
                                               Base64Encode(binary.substr(90)),
                                               "",
                                               "--" + boundary + "--"};
    const std::vector<std::string> bodyLines(lines.begin() + 8, lines.end());
    EXPECT_EQ(bodyLines, expected);
    EXPECT_THROW(client.SetEmailFiles({(dir / "missing").string()}), SmtpException);
    try {
        client.SetEmailFiles({"/no/such/file"});
    } catch (const SmtpException& e) {
        EXPECT_STREQ(e.what(), "File not found '/no/such/file'");
    }
}

TEST_F(SmtpMessageTest, ARefusedDataCommandSendsNoMessage) {
    FakeSmtpServer sink(Sink(true));
    Run(sink.portText());
    sink.Join();
    EXPECT_EQ(done[1], std::make_pair(smtpMail, uint16_t{554}));
    EXPECT_EQ(sink.message(), "");
    // Nothing of the message was sent after the refusal.
    EXPECT_EQ(sink.commands(),
              (std::vector<std::string>{"HELO me.test", "MAIL FROM:<me@me.test>",
                                        "RCPT TO:<you@you.test>", "DATA", "QUIT"}));
}

}  // namespace
}  // namespace mv

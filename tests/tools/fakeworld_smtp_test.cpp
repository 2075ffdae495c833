// The scripted behaviours of the fake SMTP hosts, checked over plain sockets.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "fake_world.h"
#include "wire_clients.h"

namespace mv::test {
namespace {

const char kWorld[] = R"(
host users.test       users=alice,Bob@Example.test
host forward.test     rcpt=251
host cannot.test      rcpt=252
host grey.test        greylist
host slowgrey.test    greylist=60000
host listed.test      blocklist
host multi.test       multiline
host busy.test        greeting=554
host picky.test       helo=501
host nosender.test    mail=550
host mute.test        silent
host hangup.test      close-after-rcpt
host muted.test       silent-after-rcpt
host drip.test        drip=5
host dead.test        refuse
host slow.test        delay=300
host trickle.test     trickle=10 rcpt=550
host open.test        accept
)";

class FakeWorldSmtp : public ::testing::Test {
  protected:
    std::unique_ptr<SmtpTestClient> Connect(const std::string& host) {
        return std::make_unique<SmtpTestClient>(world.hostAddress(host), world.smtpPort());
    }
    // Greeting, HELO and MAIL FROM, each expected to succeed.
    std::unique_ptr<SmtpTestClient> ReadyForRcpt(const std::string& host) {
        auto client = Connect(host);
        EXPECT_EQ(client->ReadReply().back().substr(0, 4), "220 ") << host;
        EXPECT_EQ(client->Command("HELO tester.local").substr(0, 3), "250") << host;
        EXPECT_EQ(client->Command("MAIL FROM:<probe@tester.local>").substr(0, 3), "250") << host;
        return client;
    }
    std::string Rcpt(const std::string& host, const std::string& address) {
        auto client = ReadyForRcpt(host);
        return client->Command("RCPT TO:<" + address + ">").substr(0, 3);
    }
    FakeWorld world{kWorld};
};

TEST_F(FakeWorldSmtp, AWholeCheckDialogue) {
    auto client = Connect("open.test");
    ASSERT_TRUE(client->connected());
    EXPECT_EQ(client->ReadReply(), std::vector<std::string>{"220 open.test ESMTP fakeworld"});
    EXPECT_EQ(client->Command("HELO tester.local"), "250 open.test");
    EXPECT_EQ(client->Command("MAIL FROM:<probe@tester.local>"), "250 2.0.0 OK");
    EXPECT_EQ(client->Command("RCPT TO:<anyone@anywhere.test>"), "250 2.0.0 OK");
    EXPECT_EQ(client->Command("RSET"), "250 2.0.0 OK");
    EXPECT_EQ(client->Command("QUIT"), "221 2.0.0 Bye");
    EXPECT_TRUE(client->ClosedByPeer());
}

TEST_F(FakeWorldSmtp, ListedUsersAreAcceptedAndOthersRejected) {
    EXPECT_EQ(Rcpt("users.test", "alice@anywhere.test"), "250")
        << "a local part matches any domain";
    EXPECT_EQ(Rcpt("users.test", "ALICE@Other.Test"), "250") << "without regard to case";
    EXPECT_EQ(Rcpt("users.test", "bob@example.test"), "250");
    EXPECT_EQ(Rcpt("users.test", "bob@elsewhere.test"), "550")
        << "a full address matches only itself";
    EXPECT_EQ(Rcpt("users.test", "carol@example.test"), "550");
    EXPECT_EQ(Rcpt("users.test", "alicex@example.test"), "550");
}

TEST_F(FakeWorldSmtp, ScriptedRcptCodes) {
    EXPECT_EQ(Rcpt("forward.test", "x@y.test"), "251");
    EXPECT_EQ(Rcpt("cannot.test", "x@y.test"), "252");
}

TEST_F(FakeWorldSmtp, GreylistingRefusesOnceForEachAddressAcrossConnections) {
    EXPECT_EQ(Rcpt("grey.test", "first@y.test"), "450");
    EXPECT_EQ(Rcpt("grey.test", "First@Y.test"), "250") << "the retry, on a new connection";
    EXPECT_EQ(Rcpt("grey.test", "first@y.test"), "250");
    EXPECT_EQ(Rcpt("grey.test", "second@y.test"), "450");
}

TEST_F(FakeWorldSmtp, TimedGreylistingAndBlockListRefusalsSayWhy) {
    auto client = ReadyForRcpt("slowgrey.test");
    EXPECT_EQ(client->Command("RCPT TO:<a@y.test>"),
              "450 4.2.0 Recipient address rejected: Greylisted, please try again later");
    EXPECT_EQ(client->Command("RCPT TO:<a@y.test>").substr(0, 3), "450") << "still too early";
    EXPECT_EQ(Rcpt("listed.test", "a@y.test"), "554");
    EXPECT_EQ(ReadyForRcpt("listed.test")->Command("RCPT TO:<b@y.test>"),
              "554 5.7.1 Service unavailable; Client host blocked using zen.spamhaus.org");
}

TEST_F(FakeWorldSmtp, GreetingVariants) {
    auto multi = Connect("multi.test");
    const std::vector<std::string> greeting = multi->ReadReply();
    ASSERT_EQ(greeting.size(), 2u);
    EXPECT_EQ(greeting[0].substr(0, 4), "220-");
    EXPECT_EQ(greeting[1].substr(0, 4), "220 ");

    auto busy = Connect("busy.test");
    EXPECT_EQ(busy->ReadReply().at(0).substr(0, 4), "554 ");
    EXPECT_EQ(busy->Command("HELO tester.local").substr(0, 3), "503");
    EXPECT_EQ(busy->Command("QUIT").substr(0, 3), "221");
    EXPECT_TRUE(busy->ClosedByPeer());
}

TEST_F(FakeWorldSmtp, RefusedHeloAndMailFrom) {
    auto picky = Connect("picky.test");
    picky->ReadReply();
    EXPECT_EQ(picky->Command("HELO tester.local").substr(0, 3), "501");
    EXPECT_EQ(picky->Command("MAIL FROM:<a@b.test>").substr(0, 3), "503") << "no MAIL before HELO";

    auto nosender = Connect("nosender.test");
    nosender->ReadReply();
    EXPECT_EQ(nosender->Command("EHLO tester.local").substr(0, 3), "250");
    EXPECT_EQ(nosender->Command("MAIL FROM:<a@b.test>").substr(0, 3), "550");
    EXPECT_EQ(nosender->Command("RCPT TO:<c@d.test>").substr(0, 3), "503") << "no RCPT before MAIL";
}

TEST_F(FakeWorldSmtp, SilentHostNeverSpeaks) {
    auto mute = Connect("mute.test");
    ASSERT_TRUE(mute->connected());
    mute->SendRaw("HELO tester.local\r\nQUIT\r\n");
    // The world serves every connection from one loop: once a later client
    // has had a whole dialogue, the silent host has read its lines too, and
    // anything it had said would already be here.
    EXPECT_EQ(Rcpt("open.test", "a@b.test"), "250");
    EXPECT_EQ(mute->ReadSome(0), "");
    EXPECT_FALSE(mute->ClosedByPeer(0));
}

TEST_F(FakeWorldSmtp, CloseAfterRcptAndRefusedConnections) {
    auto hangup = ReadyForRcpt("hangup.test");
    EXPECT_EQ(hangup->Command("RCPT TO:<x@y.test>").substr(0, 3), "250");
    EXPECT_TRUE(hangup->ClosedByPeer());

    auto dead = Connect("dead.test");
    EXPECT_FALSE(dead->connected());
    EXPECT_EQ(dead->connectError(), ECONNREFUSED);
}

TEST_F(FakeWorldSmtp, SilentAfterRcptAndAGreetingThatNeverEnds) {
    auto muted = ReadyForRcpt("muted.test");
    EXPECT_EQ(muted->Command("RCPT TO:<x@y.test>").substr(0, 3), "250");
    muted->SendRaw("RSET\r\nQUIT\r\n");
    EXPECT_EQ(muted->ReadSome(300), "");
    EXPECT_FALSE(muted->ClosedByPeer(100));

    auto drip = Connect("drip.test");
    drip->SendRaw("HELO tester.local\r\n");  // never answered
    const std::string line = "220-drip.test ESMTP fakeworld\r\n";
    std::string text;
    for (int i = 0; i < 50 && text.size() < 3 * line.size(); ++i)
        text += drip->ReadSome();
    EXPECT_EQ(text.substr(0, 3 * line.size()), line + line + line);
}

TEST_F(FakeWorldSmtp, OtherCommandsAndDataIsCounted) {
    auto client = ReadyForRcpt("open.test");
    EXPECT_EQ(client->Command("NOOP").substr(0, 3), "250");
    EXPECT_EQ(client->Command("VRFY someone").substr(0, 3), "252");
    EXPECT_EQ(client->Command("DATA").substr(0, 3), "554");
    EXPECT_EQ(client->Command("data").substr(0, 3), "554");
    EXPECT_EQ(client->Command("STARTTLS").substr(0, 3), "500");
    EXPECT_EQ(client->Command("RCPT TO: no brackets").substr(0, 3), "501");
    EXPECT_EQ(world.Statistic("data"), 2);
    EXPECT_EQ(world.Statistic("VRFY"), 1);
    EXPECT_EQ(world.Statistic("unknown"), 1);
    EXPECT_EQ(world.Statistic("rcpt-rejected"), 1);
}

TEST_F(FakeWorldSmtp, PipelinedCommandsAreAnsweredInOrder) {
    auto client = Connect("open.test");
    client->ReadReply();
    client->SendRaw("HELO a\r\nMAIL FROM:<a@b>\r\nRCPT TO:<c@d>\nRSET\r\nQUIT\r\n");
    const char* codes[] = {"250", "250", "250", "250", "221"};
    for (const char* code : codes) {
        EXPECT_EQ(client->ReadReply().at(0).substr(0, 3), code);
    }
    EXPECT_TRUE(client->ClosedByPeer());
}

TEST_F(FakeWorldSmtp, OverlongLineGets500AndTheConnectionCloses) {
    auto fits = Connect("open.test");
    fits->ReadReply();
    EXPECT_EQ(fits->Command("NOOP " + std::string(995, 'x')).substr(0, 3), "250") << "1000 bytes";

    auto client = Connect("open.test");
    client->ReadReply();
    client->SendRaw("NOOP " + std::string(996, 'x') + "\r\n");
    EXPECT_EQ(client->ReadReply().at(0).substr(0, 3), "500");
    EXPECT_TRUE(client->ClosedByPeer());

    auto endless = Connect("open.test");
    endless->ReadReply();
    endless->SendRaw(std::string(5000, 'y'));
    EXPECT_EQ(endless->ReadReply().at(0).substr(0, 3), "500") << "no line end at all";
    EXPECT_TRUE(endless->ClosedByPeer());
}

TEST_F(FakeWorldSmtp, DelayedAndTricklingReplies) {
    const auto start = std::chrono::steady_clock::now();
    auto slow = Connect("slow.test");
    EXPECT_EQ(slow->ReadReply().at(0).substr(0, 3), "220");
    EXPECT_EQ(slow->Command("HELO a").substr(0, 3), "250");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600))
        << "the greeting and the HELO reply each wait 300 ms";

    auto trickle = Connect("trickle.test");
    EXPECT_EQ(trickle->ReadSome().size(), 1u) << "one byte at a time";
    trickle->ReadReply();
    trickle->SendRaw("HELO a\r\nMAIL FROM:<a@b>\r\nRCPT TO:<c@d>\r\n");
    EXPECT_EQ(trickle->ReadReply().at(0).substr(0, 3), "250");
    EXPECT_EQ(trickle->ReadReply().at(0).substr(0, 3), "250");
    EXPECT_EQ(trickle->ReadReply().at(0), "550 5.1.1 Mailbox unavailable");
}

TEST_F(FakeWorldSmtp, StatisticsCountConnectionsCommandsAndRecipients) {
    Rcpt("users.test", "alice@x.test");
    Rcpt("users.test", "nobody@x.test");
    EXPECT_EQ(world.Statistic("connections"), 2);
    EXPECT_EQ(world.Statistic("HELO"), 2);
    EXPECT_EQ(world.Statistic("RCPT"), 2);
    EXPECT_EQ(world.Statistic("rcpt-accepted"), 1);
    EXPECT_EQ(world.Statistic("rcpt-rejected"), 1);
    EXPECT_EQ(world.Statistic("data"), 0);
}

}  // namespace
}  // namespace mv::test

// The world file's rules as the program reads them: good files start, bad
// lines are each reported with their line number, and the program then
// exits with status 2.
#include <gtest/gtest.h>

#include "fake_world.h"

namespace mv::test {
namespace {

// Passes when `text` contains `part`, and shows both otherwise.
::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "'" << part << "' not found in:\n" << text;
}

TEST(WorldFile, CommentsBlankLinesAndWindowsLineEndsAreFine) {
    const auto result = FakeWorld::CheckWorld(
        "# a comment\r\n"
        "\r\n"
        "   host mx.test   accept  # trailing comment\r\n"
        "domain A.Test. mx 0 MX.test. 65535 mx.test\r\n"
        "domain *.bench mx mx.test\n"
        "domain * empty\n"
        "host * greylist delay=0 trickle=1 greeting=421 helo=250 mail=451 rcpt=252 reject=553\n"
        "host x.test users=a,b@c.test multiline silent close-after-rcpt silent-after-rcpt drip=5\n"
        "host w.test greylist=2000 blocklist max-connections=3\n"
        "domain nomail.test nullmx\n"
        "host y.test refuse\n"
        "host z.test unresolvable");
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
}

struct BadLine {
    const char* text;
    const char* reason;
};

TEST(WorldFile, EveryBadLineIsReportedWithItsNumberAndReason) {
    const BadLine cases[] = {
        {"hots mx.test", "unknown rule 'hots' (expected 'host', 'domain' or 'record')"},
        {"record a.test a", "'record' needs a name, a type (a, aaaa or ptr) and its value"},
        {"record a.test a 1.2.3", "'record ... a' needs an IPv4 address"},
        {"record a.test txt hello", "unknown record type 'txt' (expected a, aaaa or ptr)"},
        {"record *.test a 1.2.3.4", "bad record name '*.test'"},
        {"host", "'host' needs a name"},
        {"host bad..name", "bad host name 'bad..name'"},
        {"host a*.test", "bad host name 'a*.test'"},
        {"host mx.test fast", "unknown host option 'fast'"},
        {"host mx.test rcpt=25", "'rcpt' needs a reply code from 200 to 599, not '25'"},
        {"host mx.test greeting=600", "'greeting' needs a reply code from 200 to 599, not '600'"},
        {"host mx.test helo=", "'helo' needs a reply code from 200 to 599, not ''"},
        {"host mx.test delay=soon",
         "'delay' needs a time in milliseconds (1 to 600000), not 'soon'"},
        {"host mx.test trickle=0", "'trickle' needs a time in milliseconds (1 to 600000), not '0'"},
        {"host mx.test drip=0", "'drip' needs a time in milliseconds (1 to 600000), not '0'"},
        {"host mx.test greylist=0",
         "'greylist' needs a time in milliseconds (1 to 600000), not '0'"},
        {"host mx.test silent=yes", "host option 'silent' takes no value"},
        {"host mx.test max-connections=0",
         "'max-connections' needs a number from 1 to 100000, not '0'"},
        {"host mx.test users=a,,b",
         "'users' needs a comma-separated list of addresses or local parts"},
        {"host mx.test refuse delay=5", "'refuse' cannot be combined with other host options"},
        {"domain a.test", "'domain' needs a name and a rule"},
        {"domain a.test mx", "'mx' needs a host name after each preference and at least one host"},
        {"domain a.test mx 10",
         "'mx' needs a host name after each preference and at least one host"},
        {"domain a.test mx 10 20 b.test",
         "bad MX preference '20' (a number from 0 to 65535 before each host)"},
        {"domain a.test mx 70000 b.test",
         "bad MX preference '70000' (a number from 0 to 65535 before each host)"},
        {"domain a.test mx *.b.test", "bad MX host name '*.b.test'"},
        {"domain a.test empty please", "domain rule 'empty' takes nothing more"},
        {"domain a.test nullmx b.test", "domain rule 'nullmx' takes nothing more"},
        {"domain a.test cname", "'cname' needs exactly one target name"},
        {"domain a.test a 300.1.1.1", "'a' takes at most one IPv4 address"},
        {"domain a.test forward",
         "unknown domain rule 'forward' (expected mx, empty, nxdomain, servfail, refused, silent, "
         "nullmx, cname or a)"},
    };
    for (const BadLine& bad : cases) {
        // The bad line is line 3, between two good ones.
        const auto result = FakeWorld::CheckWorld(std::string("host ok.test\n# comment\n") +
                                                  bad.text + "\ndomain ok.test mx ok.test\n");
        EXPECT_EQ(result.exitCode, 2) << bad.text;
        EXPECT_TRUE(Contains(result.errors, std::string("world.txt:3: ") + bad.reason + "\n"))
            << bad.text;
    }
}

TEST(WorldFile, DuplicatesNameTheFirstDeclarationAndAllErrorsAreListed) {
    const auto result = FakeWorld::CheckWorld(
        "host mx.test\n"
        "host MX.Test.\n"
        "domain a.test empty\n"
        "domain A.TEST nxdomain\n"
        "bogus\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(
        Contains(result.errors, "world.txt:2: host 'mx.test' was already declared on line 1\n"));
    EXPECT_TRUE(
        Contains(result.errors, "world.txt:4: domain 'a.test' was already declared on line 3\n"));
    EXPECT_TRUE(Contains(result.errors, "world.txt:5: unknown rule 'bogus'"));
}

TEST(WorldFile, AtMost254HostsFitTheNetwork) {
    std::string text;
    for (int i = 0; i < 254; ++i) {
        text += "host h" + std::to_string(i) + ".test\n";
    }
    text += "host gone.test unresolvable\n";  // needs no address
    EXPECT_EQ(FakeWorld::CheckWorld(text).exitCode, 0);
    const auto result = FakeWorld::CheckWorld(text + "host one-too-many.test\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.errors, "world.txt:256: too many hosts: at most 254"));
}

TEST(WorldFile, AWorldThatCannotStartReportsWhy) {
    try {
        FakeWorld world("host mx.test bogus\n");
        FAIL() << "started a bad world";
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(Contains(e.what(), "status 2"));
        EXPECT_TRUE(Contains(e.what(), ":1: unknown host option 'bogus'"));
    }
}

}  // namespace
}  // namespace mv::test

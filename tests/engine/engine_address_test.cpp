// What an address tells the engine by itself (syntax, IDNA, literals,
// SMTPUTF8, providers), end to end against the fake mail world.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "address/address_knowledge.h"
#include "engine/result_codes.h"
#include "fake_world.h"
#include "platform/loop/epoll_loop.h"
#include "world_run.h"

namespace mv {
namespace {

const char* const kWorld = R"(
host mta5.am0.yahoodns.net      accept
host gmail-smtp-in.l.google.com accept
host aspmx.l.google.com         accept
host utf8.test                  smtputf8 users=only@utf8.test
host plain.test                 users=a
host noehlo.test                ehlo=502
domain yahoo.com        mx mta5.am0.yahoodns.net
domain gmail.com        mx gmail-smtp-in.l.google.com
domain biz.test         mx aspmx.l.google.com
domain utf8.test        mx utf8.test
domain plain.test       mx plain.test
domain noehlo.test      mx noehlo.test
domain xn--br-xka.test mx plain.test
)";

size_t Count(const std::vector<std::string>& log, const std::string& prefix) {
    return static_cast<size_t>(std::count_if(
        log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

TEST(EngineAddress, WhatTheAddressTellsDecidesBeforeAndDuringTheConversation) {
    // RCPT TO lines (the address and the probe), EHLO lines, a line the transcript holds.
    struct Case {
        std::string address;
        int code;
        Reason reason;
        size_t rcpts, ehlos;
        std::string line;
    };
    test::FakeWorld world(kWorld);
    const std::string literal = "a@[" + world.hostAddress("plain.test") + "]";
    const std::vector<Case> cases = {
        {"a@yahoo.com", 0, Reason::kProviderAcceptsAll, 1, 0, "HELO probe.test"},
        {"a@gmail.com", 0, Reason::kAccepted, 1, 0, "RCPT TO:<a@gmail.com>"},
        {"a@biz.test", 0, Reason::kAcceptAll, 2, 0, "RCPT TO:<a@biz.test>"},
        {"a@b\xc3\xbcr.test", 0, Reason::kAccepted, 2, 0, "RCPT TO:<a@xn--br-xka.test>"},
        {"a@plain.test.", 0, Reason::kAccepted, 2, 0, "RCPT TO:<a@plain.test>"},
        {literal, 0, Reason::kAccepted, 2, 0, "RCPT TO:<" + literal + ">"},
        {"a..b@plain.test", ResultRcptFailed, Reason::kBadSyntax, 0, 0,
         "Bad address syntax: two dots in a row outside quotes"},
        {"a@-plain.test", ResultInvalidDomain, Reason::kBadSyntax, 0, 0,
         "Bad address syntax: label starts or ends with a hyphen"},
        {"jos\xc3\xa9@utf8.test", 550, Reason::kMailboxUnknown, 1, 1,
         "MAIL FROM:<checker@probe.test> SMTPUTF8"},
        {"jos\xc3\xa9@plain.test", ResultRcptFailed, Reason::kNeedsSmtputf8, 0, 1,
         "plain.test does not offer SMTPUTF8: the address is not asked for"},
        {"jos\xc3\xa9@noehlo.test", ResultRcptFailed, Reason::kNeedsSmtputf8, 0, 1,
         "HELO probe.test"},
    };
    EpollLoop loop;
    test::WorldRun run(loop);
    run.Point(world, 2);
    run.d.SetAcceptAllProbe(true);
    run.d.SetProviders(&AddressKnowledge::Installed().Providers());
    std::vector<std::string> addresses(cases.size());
    std::transform(cases.begin(), cases.end(), addresses.begin(),
                   [](auto& c) { return c.address; });
    ASSERT_TRUE(run.Check(addresses, 1));
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const test::RunReport& r = run.Final(static_cast<int>(i));
        EXPECT_EQ(r.code, c.code) << c.address;
        EXPECT_EQ(ReasonName(r.info.finding.reason), ReasonName(c.reason)) << c.address;
        EXPECT_EQ(Count(r.log, "RCPT TO:"), c.rcpts) << c.address;
        EXPECT_EQ(Count(r.log, "EHLO "), c.ehlos) << c.address;
        EXPECT_EQ(Count(r.log, c.line), 1u) << c.address << ": " << c.line;
    }
}

}  // namespace
}  // namespace mv

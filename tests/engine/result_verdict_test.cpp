// The reason and verdict of results: reply lines as the large mail providers
// and the common mail server programs send them, grouped by the reason they
// must give, and the results that no reply decides.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/reply_recorder.h"
#include "engine/result_verdict.h"

namespace mv {
namespace {

using S = SmtpStage;

struct ReplyCase {
    int code;
    SmtpStage stage;
    const char* reply;
};

struct ReplyGroup {
    Reason reason;
    std::vector<ReplyCase> cases;
};

const std::vector<ReplyGroup>& ReplyGroups() {
    static const std::vector<ReplyGroup> groups = {
        {Reason::kMailboxUnknown,
         {
             {550, S::kRcptTo,
              "550-5.1.1 The email account that you tried to reach does not exist. Please try\r\n"
              "550-5.1.1 double-checking the recipient's email address for typos or\r\n"
              "550-5.1.1 unnecessary spaces. For more information, go to\r\n"
              "550 5.1.1  https://support.google.com/mail/?p=NoSuchUser a6-20020a17 - gsmtp"},
             {550, S::kRcptTo,
              "550 5.5.0 Requested action not taken: mailbox unavailable (S2017062302). "
              "[AM4PEPF00025F97.EURPRD83.prod.outlook.com]"},
             // Directory-based edge blocking: "Access denied" for a recipient it does not know.
             {550, S::kRcptTo,
              "550 5.4.1 Recipient address rejected: Access denied. For more information see "
              "https://aka.ms/EXOSmtpErrors [DB5PEPF00014B8E.eurprd02.prod.outlook.com]"},
             {550, S::kRcptTo,
              "550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient nobody@example.com not found "
              "by SMTP address lookup"},
             {554, S::kRcptTo,
              "554 delivery error: dd This user doesn't have a yahoo.com account "
              "(nobody123@yahoo.com) [0] - mta4023.mail.bf1.yahoo.com"},
             {550, S::kRcptTo,
              "550 5.1.1 <nobody@example.com>: Recipient address rejected: User unknown in local "
              "recipient table"},
             // The address itself says "blocked": only the server's words count.
             {550, S::kRcptTo,
              "550 5.1.1 <blocked.list@example.com>: Recipient address rejected: User unknown in "
              "virtual mailbox table"},
             {550, S::kRcptTo, "550 5.1.1 <nobody@example.com>... User unknown"},
             {550, S::kRcptTo, "550 No Such User Here"},
             {550, S::kRcptTo, "550 Unrouteable address"},
             {550, S::kRcptTo, "550 sorry, no mailbox here by that name. (#5.1.1)"},
             {550, S::kRcptTo, "550 5.7.1 No such user!"},
             {550, S::kRcptTo,
              "550 Message was not accepted -- invalid mailbox.  Local mailbox nobody@mail.ru is "
              "unavailable: user not found"},
             {550, S::kRcptTo, "550 5.1.1 <nobody@icloud.com>: user does not exist"},
             {550, S::kRcptTo, "550 5.1.1 User does not exist - <nobody@zoho.com>"},
             {550, S::kRcptTo,
              "550 Invalid Recipient - https://community.mimecast.com/docs/DOC-1369#550 "
              "[xJ2bYkqsN3qH7f.uk123]"},
             {550, S::kRcptTo, "550 Invalid recipient: <nobody@example.com>"},
             {550, S::kRcptTo, "550 5.1.1 <nobody@comcast.net> Not our Customer"},
             {550, S::kRcptTo, "550 Requested action not taken: mailbox unavailable"},
         }},
        {Reason::kMailboxFull,
         {
             {552, S::kRcptTo,
              "552-5.2.2 The email account that you tried to reach is over quota. Please direct\n"
              "552-5.2.2 the recipient to\n"
              "552 5.2.2  https://support.google.com/mail/?p=OverQuotaPerm x2-20020a05 - gsmtp"},
             {452, S::kRcptTo,
              "452-4.2.2 The recipient's inbox is out of storage space. Please direct the\n"
              "452-4.2.2 recipient to\n"
              "452 4.2.2  https://support.google.com/mail/?p=OverQuotaTemp x12-20020a05 - gsmtp"},
             {552, S::kRcptTo,
              "552 5.2.2 <full@example.com>: Recipient address rejected: Mailbox is full"},
             {550, S::kRcptTo, "550 Mailbox quota exceeded"},
             {552, S::kRcptTo, "552 user is over quota (#5.2.2)"},
             {552, S::kRcptTo, "552 5.2.2 Mailbox size limit exceeded"},
             {552, S::kRcptTo, "552 Requested mail action aborted: exceeded storage allocation"},
         }},
        {Reason::kMailboxDisabled,
         {
             {550, S::kRcptTo,
              "550-5.2.1 The email account that you tried to reach is disabled. Learn more at\n"
              "550 5.2.1  https://support.google.com/mail/?p=DisabledUser d1-20020a - gsmtp"},
             {554, S::kRcptTo,
              "554 delivery error: dd Sorry your message to gone@yahoo.com cannot be delivered. "
              "This mailbox is disabled (554.30). - mta1061.mail.gq1.yahoo.com"},
             {550, S::kRcptTo,
              "550 Message was not accepted -- invalid mailbox.  Local mailbox gone@mail.ru is "
              "unavailable: account is disabled"},
             {550, S::kRcptTo, "550 5.2.1 Mailbox disabled, not accepting messages"},
             {550, S::kRcptTo,
              "550 5.1.1 <gone@example.com>: Recipient address rejected: Account is closed"},
             {550, S::kRcptTo, "550 5.2.1 <gone@icloud.com>: user account is inactive"},
         }},
        {Reason::kPolicyBlock,
         {
             {554, S::kRcptTo,
              "554 5.7.1 Service unavailable; Client host [203.0.113.5] blocked using "
              "zen.spamhaus.org; https://www.spamhaus.org/query/ip/203.0.113.5"},
             // A 550 without an enhanced status code that quotes a block list.
             {550, S::kRcptTo,
              "550-JunkMail rejected - checker.example.org [203.0.113.5]:41234 is in an RBL on\n"
              "550 zen.spamhaus.org, see https://check.spamhaus.org/"},
             {550, S::kMailFrom,
              "550 5.7.1 Unfortunately, messages from [203.0.113.5] weren't sent. Please contact "
              "your Internet service provider since part of their network is on our block list "
              "(S3150). You can also refer your provider to "
              "http://mail.live.com/mail/troubleshooting.aspx#errors."},
             {553, S::kRcptTo,
              "553 5.7.1 [BL21] Connections will not be accepted from 203.0.113.5, because the ip "
              "is in Spamhaus's list; see http://postmaster.yahoo.com/errors/550-bl23.html"},
             {553, S::kRcptTo,
              "553 5.3.0 flpd112 DNSBL:RBL 521< 203.0.113.5 >_is_blocked.For assistance forward "
              "this email to abuse_rbl@abuse-att.net"},
             {550, S::kRcptTo,
              "550-5.7.1 [203.0.113.5] The IP you're using to send mail is not authorized to\n"
              "550-5.7.1 send email directly to our servers. Please use the SMTP relay at your\n"
              "550 5.7.1 service provider instead. - gsmtp"},
             {550, S::kRcptTo,
              "550 5.7.606 Access denied, banned sending IP [203.0.113.5]. To request removal "
              "from this list please visit https://sender.office.com/"},
             {554, S::kGreeting,
              "554-gmx.net (mxgmx117) Nemesis ESMTP Service not available\n"
              "554-No SMTP service\n554-IP address is black listed.\n"
              "554 For explanation visit https://postmaster.gmx.net/en/case?c=r0601"},
             {554, S::kGreeting,
              "554 IP=203.0.113.5 - A problem occurred. (Ask your postmaster for help or to "
              "contact tosa@rx.t-online.de to clarify.)"},
             {554, S::kGreeting,
              "554 resimta-po-01v.sys.comcast.net comcast 203.0.113.5 Comcast block for spam. "
              "Please see http://postmaster.comcast.net/smtp-error-codes.php#BL000000"},
             // Relay denied at RCPT TO: the server does not take mail for the domain from us.
             {554, S::kRcptTo, "554 5.7.1 <someone@elsewhere.example>: Relay access denied"},
             {550, S::kRcptTo, "550 5.7.54 SMTP; Unable to relay recipient in non-accepted domain"},
             {550, S::kRcptTo, "550 relay not permitted"},
             // Only the enhanced status code at the end tells that this 553 is a relay denial.
             {553, S::kRcptTo,
              "553 sorry, that domain isn't in my list of allowed rcpthosts (#5.7.1)"},
             {554, S::kRcptTo,
              "554 Service unavailable; Client host [203.0.113.5] blocked using Barracuda "
              "Reputation; http://www.barracudanetworks.com/reputation/?r=1&ip=203.0.113.5"},
             {554, S::kRcptTo,
              "554 5.7.1 [CS01] Message rejected due to local policy. Please visit "
              "https://support.apple.com/en-us/HT204137"},
             {554, S::kRcptTo,
              "554 5.7.1 <unknown[203.0.113.5]>: Client host rejected: Access denied"},
             {450, S::kRcptTo,
              "450 4.7.1 Client host rejected: cannot find your reverse hostname, [203.0.113.5]"},
             // The classes of the receiving system and of policy, not the mailbox:
             // postscreen refusing this computer, account words about the client.
             {550, S::kRcptTo, "550 5.3.2 Service currently unavailable"},
             {521, S::kHelo, "521 5.3.2 Service currently unavailable"},
             {521, S::kRcptTo, "521 Service not available"},
             {550, S::kRcptTo, "550 5.7.1 Client host disabled due to too many invalid recipients"},
             {550, S::kRcptTo, "550 5.7.1 Your account has been suspended for sending spam"},
         }},
        {Reason::kDeferred,
         {
             // Greylisting.
             {450, S::kRcptTo,
              "450 4.2.0 <someone@example.com>: Recipient address rejected: Greylisted, see "
              "http://postgrey.schweikert.ch/help/example.com.html"},
             {450, S::kRcptTo,
              "450 4.2.0 <unknown[203.0.113.5]>: Client host rejected: Greylisted, see "
              "http://postgrey.schweikert.ch/help/example.com.html"},
             {451, S::kRcptTo, "451 4.7.1 Greylisting in action, please come back in 00:05:00"},
             {451, S::kRcptTo, "451 Temporary failure, please try again later."},
             {451, S::kRcptTo, "451 4.7.1 Try again later"},
             // Rate limits and busy servers.
             {450, S::kRcptTo,
              "450-4.2.1 The user you are trying to contact is receiving mail at a rate that\n"
              "450-4.2.1 prevents additional messages from being delivered. Please resend your\n"
              "450 4.2.1 message at a later time. - gsmtp"},
             {451, S::kRcptTo,
              "451 4.7.500 Server busy. Please try again later from [203.0.113.5]. (S77719) "
              "[AM4PEPF00027A5F.eurprd04.prod.outlook.com]"},
             {421, S::kRcptTo,
              "421 4.7.0 [TSS04] Messages from 203.0.113.5 temporarily deferred due to "
              "unexpected volume or user complaints - 4.16.55.1; see "
              "https://postmaster.yahooinc.com/error-codes"},
             {421, S::kGreeting,
              "421 4.7.0 mx.example.com Error: too many connections from 203.0.113.5"},
             {421, S::kHelo,
              "421-4.7.0 Try again later, closing connection. (EHLO)\n"
              "421 4.7.0  For more information, go to https://support.google.com/a/answer/3221692"},
             // The server's own storage, not the mailbox.
             {452, S::kRcptTo, "452 4.3.1 Insufficient system storage"},
         }},
        {Reason::kRefusedSender,
         {
             {504, S::kHelo,
              "504 5.5.2 <localhost>: Helo command rejected: need fully-qualified hostname"},
             // A sender verification callout fails at RCPT TO, quoting an unknown user.
             {550, S::kRcptTo,
              "550-Verification failed for <checker@example.org>\n"
              "550-Called:   192.0.2.10\n550-Sent:     RCPT TO:<checker@example.org>\n"
              "550-Response: 550 5.1.1 <checker@example.org>: Recipient address rejected: User "
              "unknown in local recipient table\n550 Sender verify failed"},
             {450, S::kMailFrom,
              "450 4.1.8 <checker@example.org>: Sender address rejected: Domain not found"},
             {550, S::kRcptTo,
              "550-5.7.26 This mail is unauthenticated, which poses a security risk to the\n"
              "550-5.7.26 sender and Gmail users, and has been blocked. The sender must\n"
              "550 5.7.26 authenticate with at least one of SPF or DKIM. - gsmtp"},
             {553, S::kMailFrom,
              "553 5.1.8 <checker@example.invalid>... Domain of sender address "
              "checker@example.invalid does not exist"},
             {501, S::kMailFrom, "501 <checker@example>: sender address must contain a domain"},
             {550, S::kRcptTo,
              "550 5.7.23 The message was rejected because of Sender Policy Framework violation"},
         }},
        {Reason::kProtocol,
         {
             // A 552 about the message size, not the mailbox.
             {552, S::kRcptTo, "552 5.3.4 Message size exceeds fixed maximum message size"},
             {552, S::kRcptTo, "552 Message size exceeds maximum permitted"},
             {500, S::kRcptTo, "500 5.5.1 Command unrecognized: \"RCPT\""},
             {503, S::kRcptTo, "503 5.5.1 Error: need MAIL command"},
             {252, S::kRcptTo, "252 2.1.5 Cannot VRFY user, but will accept message"},
             {421, S::kLeaving, "421 4.4.2 mx.example.com Error: timeout exceeded"},
             {550, S::kRcptTo, "550 5.5.1 Protocol error"},
             {554, S::kRcptTo, "554 5.4.6 Routing loop detected"},
         }},
        {Reason::kNoMailDomain,
         {
             {521, S::kGreeting, "521 5.3.2 mx.example.com does not accept mail"},
             {556, S::kRcptTo, "556 5.1.10 Recipient address has null MX"},
             {556, S::kRcptTo,
              "556 5.1.10 <someone@example.com>: Recipient address rejected: Domain example.com "
              "does not accept mail (nullMX)"},
             {550, S::kRcptTo,
              "550 5.1.2 <someone@nonexistent.example>... Host unknown (Name server: "
              "nonexistent.example: host not found)"},
             {550, S::kRcptTo,
              "550 5.1.2 <someone@nonexistent.example>: Recipient address rejected: Domain not "
              "found"},
         }},
    };
    return groups;
}

// Failures name the group by its reason.
void PrintTo(const ReplyGroup& group, std::ostream* out) {
    *out << ReasonName(group.reason);
}

std::string TestName(const testing::TestParamInfo<ReplyGroup>& info) {
    std::string name(ReasonName(info.param.reason));
    for (char& c : name)
        if (c == '-') c = '_';
    return name;
}

class ReasonFromReply : public testing::TestWithParam<ReplyGroup> {};

TEST_P(ReasonFromReply, EveryLineOfTheGroupGivesItsReason) {
    for (const ReplyCase& c : GetParam().cases) {
        ResultEvidence evidence;
        evidence.code = c.code;
        evidence.stage = c.stage;
        evidence.reply = c.reply;
        EXPECT_EQ(ReasonName(DecideReason(evidence)), ReasonName(GetParam().reason)) << c.reply;
    }
}

INSTANTIATE_TEST_SUITE_P(Providers, ReasonFromReply, testing::ValuesIn(ReplyGroups()), TestName);

TEST(ResultReason, ResultsThatNoReplyDecides) {
    using H = MailHostSource;
    struct Case {
        int code;
        SmtpStage stage;
        MailHostSource hosts;
        Reason reason;
    };
    const std::vector<Case> cases = {
        {0, S::kNone, H::kUnknown, Reason::kAccepted},
        {-1, S::kNone, H::kUnknown, Reason::kNoMailDomain},
        {-1, S::kNone, H::kDnsFailed, Reason::kUnreachable},
        {11001, S::kNone, H::kUnknown, Reason::kNoMailDomain},
        {11001, S::kNone, H::kDomainName, Reason::kNoMailDomain},
        {11001, S::kNone, H::kNullMx, Reason::kNoMailDomain},
        {11001, S::kNone, H::kMxRecords, Reason::kNoMailHost},
        {11004, S::kNone, H::kMxRecords, Reason::kNoMailHost},
        {11002, S::kNone, H::kMxRecords, Reason::kUnreachable},
        {10061, S::kGreeting, H::kMxRecords, Reason::kUnreachable},
        {10064, S::kNone, H::kUnknown, Reason::kUnreachable},
        {10065, S::kNone, H::kUnknown, Reason::kUnreachable},
        {10051, S::kNone, H::kUnknown, Reason::kUnreachable},
        {10024, S::kNone, H::kUnknown, Reason::kUnreachable},
        {10004, S::kGreeting, H::kMxRecords, Reason::kUnreachable},
        {10004, S::kRcptTo, H::kMxRecords, Reason::kProtocol},
        {10054, S::kMailFrom, H::kMxRecords, Reason::kProtocol},
        {10060, S::kNone, H::kUnknown, Reason::kTimeout},
        {-2, S::kNone, H::kUnknown, Reason::kTimeout},
        {-3, S::kNone, H::kUnknown, Reason::kUnreachable},
        {-4, S::kNone, H::kUnknown, Reason::kProtocol},
        {-5, S::kNone, H::kUnknown, Reason::kProtocol},
        {-6, S::kNone, H::kUnknown, Reason::kProtocol},
        {-7, S::kNone, H::kUnknown, Reason::kProtocol},
        {-8, S::kNone, H::kUnknown, Reason::kAborted},
    };
    for (const Case& c : cases) {
        ResultEvidence evidence;
        evidence.code = c.code;
        evidence.stage = c.stage;
        evidence.hosts = c.hosts;
        EXPECT_EQ(ReasonName(DecideReason(evidence)), ReasonName(c.reason))
            << c.code << " " << static_cast<int>(c.stage);
    }
}

TEST(ResultReason, OnlyAnAcceptedAddressOfAnAcceptAllDomainIsAcceptAll) {
    ResultEvidence evidence{0, S::kRcptTo, "250 2.1.5 Ok", MailHostSource::kMxRecords, true};
    EXPECT_EQ(DecideReason(evidence), Reason::kAcceptAll);
    evidence = {550, S::kRcptTo, "550 5.1.1 User unknown", MailHostSource::kMxRecords, true};
    EXPECT_EQ(DecideReason(evidence), Reason::kMailboxUnknown);
}

TEST(ResultVerdict, RefusalsOfTheCheckerNeverCallTheMailboxUndeliverable) {
    for (Reason r : {Reason::kPolicyBlock, Reason::kDeferred, Reason::kRefusedSender,
                     Reason::kUnreachable, Reason::kTimeout, Reason::kProtocol, Reason::kAborted})
        EXPECT_EQ(VerdictOfReason(r), Verdict::kUnknown) << ReasonName(r);
    EXPECT_EQ(VerdictOfReason(Reason::kAccepted), Verdict::kDeliverable);
    EXPECT_EQ(VerdictOfReason(Reason::kAcceptAll), Verdict::kRisky);
    EXPECT_EQ(VerdictOfReason(Reason::kMailboxUnknown), Verdict::kUndeliverable);
}

// A project opened from disk knows only the code: its verdict must be the one
// the rules give when no reply is known, so a row does not change its verdict
// by being saved and opened again.
TEST(ResultVerdict, TheCodeAloneGivesTheVerdictOfTheRulesWithoutAReply) {
    std::vector<int> codes = {-9, -8, -7, -6, -5, -4, -3, -2, -1};
    for (int code = 0; code <= 1000; ++code)
        codes.push_back(code);
    for (int code = 10000; code <= 11010; ++code)
        codes.push_back(code);
    for (int code : codes) {
        ResultEvidence codeOnly;
        codeOnly.code = code;
        EXPECT_EQ(VerdictOfCode(code), VerdictOfReason(DecideReason(codeOnly))) << code;
    }
    EXPECT_EQ(VerdictOfCode(550), Verdict::kUndeliverable);
    EXPECT_EQ(VerdictOfCode(554), Verdict::kUnknown);
    EXPECT_EQ(VerdictOfCode(552), Verdict::kRisky);
    EXPECT_EQ(VerdictOfCode(521), Verdict::kUnknown);  // as often a block as an answer
    EXPECT_EQ(VerdictOfCode(553), Verdict::kUnknown);
}

TEST(ResultReason, TooManyConnectionsInItsCommonWordings) {
    for (const char* reply :
         {"421 4.7.0 mx.example.com Error: too many connections from 203.0.113.5",
          "421 Too many concurrent SMTP connections; please try again later.",
          "421 4.7.0 Connection limit exceeded",
          "421-4.7.0 Maximum number of\n421 4.7.0 connections exceeded"})
        EXPECT_TRUE(SaysTooManyConnections(reply)) << reply;
    EXPECT_FALSE(SaysTooManyConnections("421 4.3.2 Service shutting down"));
}

TEST(ResultVerdict, NamesAreReadBackIgnoringCase) {
    const std::vector<std::string> reasons = {
        "accepted",     "accept-all",     "mailbox-unknown", "mailbox-full", "mailbox-disabled",
        "policy-block", "deferred",       "no-mail-domain",  "no-mail-host", "unreachable",
        "timeout",      "refused-sender", "protocol",        "aborted"};
    for (size_t i = 0; i < reasons.size(); ++i) {
        const auto reason = static_cast<Reason>(i);
        EXPECT_EQ(ReasonName(reason), reasons[i]);
        EXPECT_EQ(ParseReason(reasons[i]), reason);
    }
    const std::vector<std::string> verdicts = {"deliverable", "undeliverable", "risky", "unknown"};
    for (size_t i = 0; i < verdicts.size(); ++i) {
        EXPECT_EQ(VerdictName(static_cast<Verdict>(i)), verdicts[i]);
        EXPECT_EQ(ParseVerdict(verdicts[i]), static_cast<Verdict>(i));
    }
    EXPECT_EQ(ParseReason("Policy-Block"), Reason::kPolicyBlock);
    EXPECT_EQ(ParseVerdict("RISKY"), Verdict::kRisky);
    for (const char* bad : {"", "accept all", "risky ", "valid"}) {
        EXPECT_FALSE(ParseReason(bad).has_value()) << bad;
        EXPECT_FALSE(ParseVerdict(bad).has_value()) << bad;
    }
}

// The session's record of the deciding reply: every line of it, with the
// command it answers, and never more than its bound.
TEST(ReplyRecorder, KeepsTheWholeReplyWithTheCommandItAnswers) {
    ReplyRecorder r;
    r.BeginHost();
    r.LineReceived("220-mx.test ESMTP");
    r.LineReceived("220 ready");
    EXPECT_EQ(r.Current().stage, SmtpStage::kGreeting);
    EXPECT_EQ(r.Current().lines, "220-mx.test ESMTP\n220 ready");
    r.CommandSent("rcpt TO:<a@b.test>");
    r.LineReceived("550-5.1.1 no such");
    r.LineReceived("550 5.1.1 user");
    EXPECT_EQ(r.Current().stage, SmtpStage::kRcptTo);
    EXPECT_EQ(r.Current().lines, "550-5.1.1 no such\n550 5.1.1 user");
    r.LineReceived("421 closing");  // no command asked for it: a reply of its own
    EXPECT_EQ(r.Current().lines, "421 closing");
    r.CommandSent("QUIT");
    for (int i = 0; i < 1000; ++i)
        r.LineReceived("221-" + std::string(100, 'x'));
    EXPECT_EQ(r.Current().stage, SmtpStage::kLeaving);
    EXPECT_EQ(r.Current().lines.size(), ReplyRecorder::kMaxReply);
}

}  // namespace
}  // namespace mv

// mailvetter-cli check, show and settings as a user runs them, against the
// fake mail world.
#include <gtest/gtest.h>
#include <signal.h>

#include "fake_world.h"
#include "kernel_probes.h"
#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

using test::CliPath;
using test::RunProgram;

class CheckCommand : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        world = new test::FakeWorld(
            "host mx.good.test users=alice,bob\n"
            "host mute.test silent\n"
            "host dead.test refuse\n"
            "host mx.all.test accept\n"
            "domain all.test mx 10 mx.all.test\n"
            "domain good.test mx 10 mx.good.test\n"
            "domain mute.test mx 10 mute.test\n"
            "domain dead.test mx 10 dead.test\n"
            "host aspmx.l.google.com users=info\n"
            "domain biz.test mx 10 aspmx.l.google.com\n");
    }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }

    // The environment of every run: a settings folder of the test's own.
    std::vector<std::string> Env() const { return {"XDG_CONFIG_HOME=" + dir.path().string()}; }
    std::vector<std::string> Check(std::vector<std::string> extra) const {
        std::vector<std::string> argv = {CliPath(), "check", "--dns", world->dnsServer(),
                                         "--dns-port", std::to_string(world->dnsPort()),
                                         "--smtp-port", std::to_string(world->smtpPort()),
                                         "--timeout", "1",
                                         // Figures and transcripts as before the
                                         // politeness per mail server.
                                         "--per-server", "0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return argv;
    }
    std::string MakeProject(const std::vector<std::pair<std::string, int>>& rows) {
        RecipientList list;
        list.AddColumn("Name", 120);
        for (const auto& [caption, mark] : rows) {
            RecipientRow r;
            r.caption = caption;
            r.subItems = {"", "extra " + caption};
            r.stateIndex = mark;
            list.AppendRow(r);
        }
        std::string path = (dir / "project.mlt").string();
        SaveProjectFile(list, path);
        return path;
    }

    static test::FakeWorld* world;
    test::TempDir dir;
};

test::FakeWorld* CheckCommand::world = nullptr;

TEST_F(CheckCommand, AProjectIsCheckedSavedAndShown) {
    const std::string project = MakeProject({{"Alice <alice@good.test>", 1},
                                             {"carol@good.test", 1},
                                             {"x@dead.test", 1},
                                             {"skipped@good.test", 0}});
    auto r = RunProgram(Check({"--from", "me@checker.test", "--save", project}), "", Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The first six columns as they always were, then the verdict and its
    // reason, then what the address tells by itself.
    EXPECT_NE(r.out.find("row,email,address,code,result,valid,verdict,reason,flags,suggestion,"
                         "provider\r\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("0,Alice <alice@good.test>,alice@good.test,0,[0] Valid E-mail Address!,"
                         "true,deliverable,accepted,,,\r\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("1,carol@good.test,carol@good.test,550,[550] Mailbox unavailable,false,"
                         "undeliverable,mailbox-unknown,,,\r\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("2,x@dead.test,x@dead.test,10061,"), std::string::npos);
    EXPECT_NE(r.out.find(",false,unknown,unreachable,,,\r\n"), std::string::npos);
    EXPECT_EQ(r.out.find("skipped"), std::string::npos);
    EXPECT_NE(r.err.find("Total: 4"), std::string::npos);
    EXPECT_NE(r.err.find("deliverable: 1   risky: 0   undeliverable: 1   unknown: 1\n"),
              std::string::npos)
        << r.err;
    // The counters end with how far the run came, and the run with its pace.
    EXPECT_NE(r.err.find("   3/3 100% "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nchecked 3 in 0:00:"), std::string::npos) << r.err;

    r = RunProgram({CliPath(), "show", project}, "", Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "row,checked,Email,Result,Name\r\n"
        "0,0,Alice <alice@good.test>,[0] Valid E-mail Address!,extra Alice <alice@good.test>\r\n"
        "1,1,carol@good.test,[550] Mailbox unavailable,extra carol@good.test\r\n"
        "2,1,x@dead.test,[10061] Conection refused or host is down. Try later,extra x@dead.test\r\n"
        "3,0,skipped@good.test,,extra skipped@good.test\r\n");
}

TEST_F(CheckCommand, StandardInputAndJsonLines) {
    const auto r = RunProgram(
        Check({"--from", "Me <me@checker.test>", "--format", "jsonl", "--transcripts", "-"}),
        "bob@good.test\n\n   \nnobody@good.test\n", Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("{\"row\":0,\"email\":\"bob@good.test\",\"address\":\"bob@good.test\","
                         "\"code\":0,\"result\":\"[0] Valid E-mail Address!\",\"valid\":true,"
                         "\"verdict\":\"deliverable\",\"reason\":\"accepted\","
                         "\"reply\":\"250 2.0.0 OK\","
                         "\"transcript\":[\"Requesting SMTP servers for this domain (good.test)\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"row\":1,\"email\":\"nobody@good.test\""), std::string::npos);
    EXPECT_NE(r.out.find("\"HELO checker.test\""), std::string::npos);
}

TEST_F(CheckCommand, ADomainThatAcceptsEveryAddressIsRiskyUnlessTheProbeIsOff) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, ",true,risky,accept-all,,,\r\n"},
        {{"--no-accept-all-probe", "--recheck-deferred", "0"}, ",true,deliverable,accepted,,,\r\n"},
    };
    for (const auto& [options, ending] : cases) {
        std::vector<std::string> extra = {"--from", "me@checker.test"};
        extra.insert(extra.end(), options.begin(), options.end());
        extra.push_back("-");
        const auto r = RunProgram(Check(extra), "made-up@all.test\n", Env());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(ending), std::string::npos) << r.out;
    }
    EXPECT_EQ(RunProgram(Check({"--recheck-deferred", "-1", "-"}), "", Env()).exitCode, 2);
}

TEST_F(CheckCommand, WhatTheAddressTellsFollowsTheVerdict) {
    const std::string input = "info@biz.test\nanna@gmial.com\nx@mailinator.com\n";
    auto r = RunProgram(Check({"--from", "me@checker.test", "-"}), input, Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(",deliverable,accepted,role,,Google\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1,anna@gmial.com,anna@gmial.com,"), std::string::npos);
    EXPECT_NE(r.out.find(",free,anna@gmail.com,\r\n"), std::string::npos);
    EXPECT_NE(r.out.find(",disposable;free,,\r\n"), std::string::npos);
    EXPECT_NE(r.err.find("\nflags: role: 1   disposable: 1   free: 2   suggestions: 1\n"),
              std::string::npos)
        << r.err;

    r = RunProgram(Check({"--from", "me@checker.test", "--format", "jsonl", "-"}), input, Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(",\"flags\":[\"role\"],\"suggestion\":\"\",\"provider\":"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"flags\":[\"disposable\",\"free\"],\"suggestion\":\"\""),
              std::string::npos);
}

TEST_F(CheckCommand, AnInterruptStopsTheRunAndStillSavesAValidProject) {
    const std::string project = MakeProject({{"a@mute.test", 1}, {"b@mute.test", 1}});
    std::vector<std::string> argv = Check({"--from", "me@checker.test", "--save", project});
    argv[std::find(argv.begin(), argv.end(), "--timeout") - argv.begin() + 1] = "30";
    test::Subprocess p(argv, "", Env());
    ASSERT_TRUE(p.WaitForOutput("row,email", 10000, false));
    // Interrupted while both checks talk to the silent host.
    ASSERT_TRUE(test::PollUntil([&] {
        return test::EstablishedConnectionsTo(world->hostAddress("mute.test"), world->smtpPort()) ==
               2;
    }));
    p.Signal(SIGINT);
    const auto r = p.Wait(20000);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_NE(r.out.find("0,a@mute.test,a@mute.test,-8,[-8] Aborted by user,false"),
              std::string::npos)
        << r.out;
    RecipientList list;
    LoadProjectFile(list, project);
    ASSERT_EQ(list.RowCount(), 2u);
    EXPECT_EQ(list.SubItem(0, 0), "[-8] Aborted by user");
    EXPECT_EQ(list.SubItem(1, 0), "[-8] Aborted by user");
}

TEST_F(CheckCommand, BadInputSaysWhatIsWrongAndChangesNothing) {
    const std::string project = MakeProject({{"alice@good.test", 1}});
    const std::string before = test::ReadFile(project);
    test::WriteFile(dir / "garbage.mlt", "not a project at all");
    const std::string empty = (dir / "empty.mlt").string();
    SaveProjectFile(RecipientList(), empty);
    const std::string noFrom =
        "Please provide a valid e-mail address for the FROM field (Tools | Options)\n"
        "mailvetter-cli: on the command line: --from ADDRESS for this run, or\n"
        "  mailvetter-cli settings Connection/From ADDRESS to store it\n";
    struct Case {
        std::vector<std::string> args;
        std::string input;  // standard input
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--from", "me@checker.test", (dir / "missing.mlt").string()}, "", "Cannot open file"},
        {{"--from", "me@checker.test", (dir / "garbage.mlt").string()},
         "",
         "Invalid stream format"},
        {{"--from", "me@checker.test", empty}, "", "Please open / fill the recipient list before"},
        {{"--from", "nobody", "--save", project}, "", noFrom},
        {{"-"}, "", "Please open / fill the recipient list before"},
        {{"-"}, "alice@good.test\n", noFrom},
    };
    for (const Case& c : cases) {
        const auto r = RunProgram(Check(c.args), c.input, Env());
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << "a refused run writes no results, not even their header";
    }
    EXPECT_EQ(test::ReadFile(project), before);  // never modified without a completed --save
    const auto r = RunProgram(Check({"--save", "-"}), "", Env());
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(CheckCommand, TheOutputOpensOnceTheRunHasBegunAndDashIsStandardOutput) {
    const std::string file = (dir / "results.csv").string();
    test::WriteFile(file, "kept\n");
    auto r = RunProgram(Check({"--output", file, "-"}), "alice@good.test\n", Env());  // no sender
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(test::ReadFile(file), "kept\n");
    r = RunProgram(Check({"--from", "me@checker.test", "--output", "-", "-"}), "bob@good.test\n",
                   Env());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("row,email,", 0), 0u) << r.out;
}

TEST_F(CheckCommand, SettingsAreReadAndWrittenAndUsedByTheNextRun) {
    auto r = RunProgram({CliPath(), "settings"}, "", Env());
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Connection/Connections=200\n"), std::string::npos);
    EXPECT_NE(r.out.find("Connection/TimeOut=30\n"), std::string::npos);
    EXPECT_NE(r.out.find("DNS/HostFromDomain=1\n"), std::string::npos);
    r = RunProgram({CliPath(), "settings", "connection/from", "Me <me@checker.test>"}, "", Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunProgram({CliPath(), "settings", "Connection/From"}, "", Env());
    EXPECT_EQ(r.out, "Me <me@checker.test>\n");
    r = RunProgram({CliPath(), "settings", "No/Such"}, "", Env());
    EXPECT_EQ(r.exitCode, 2);
    // The stored From is used when --from is not given.
    r = RunProgram(Check({"-"}), "alice@good.test\n", Env());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(",0,[0] Valid E-mail Address!,true"), std::string::npos);
}

}  // namespace
}  // namespace mv

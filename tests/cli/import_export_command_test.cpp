// mailvetter-cli import, export and check of lists, run as a user would.
#include <gtest/gtest.h>

#include "fake_world.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

using test::CliPath;
using test::RunProgram;

class ListCommands : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        world = new test::FakeWorld(
            "host mx.good.test users=alice,bob\n"
            "host mute.test silent\n"
            "domain good.test mx 10 mx.good.test\n"
            "domain mute.test mx 10 mute.test\n");
    }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }
    void SetUp() override {
        test::WriteFile(dir / "list.csv",
                        "Name,EMail,City\r\n"
                        "Alice,alice@good.test,Oslo\r\n"
                        "\"Smith, Carol\",carol@good.test,Leeds\r\n"
                        "\r\n"
                        "Bob,bob@good.test,Porto\r\n");
    }
    test::ProcessResult Cli(std::vector<std::string> args) const {
        args.insert(args.begin(), CliPath());
        return RunProgram(args, "", {"XDG_CONFIG_HOME=" + dir.path().string()});
    }
    std::vector<std::string> CheckArgs(std::vector<std::string> extra) const {
        std::vector<std::string> a = {"check",
                                      "--from",
                                      "me@checker.test",
                                      "--dns",
                                      world->dnsServer(),
                                      "--dns-port",
                                      std::to_string(world->dnsPort()),
                                      "--smtp-port",
                                      std::to_string(world->smtpPort()),
                                      "--timeout",
                                      "1",
                                      "--per-server",
                                      "0"};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    static test::FakeWorld* world;
    test::TempDir dir;
};

test::FakeWorld* ListCommands::world = nullptr;

TEST_F(ListCommands, ACsvListIsCheckedWithTheAutomaticChoices) {
    const auto r = Cli(CheckArgs({Path("list.csv")}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("0,alice@good.test,alice@good.test,0,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1,carol@good.test,carol@good.test,550,"), std::string::npos);
    EXPECT_NE(r.out.find("2,bob@good.test,bob@good.test,0,"), std::string::npos);
}

TEST_F(ListCommands, ImportAppendReplaceAndChoices) {
    const std::string project = Path("p.mlt");
    auto r = Cli({"import", Path("list.csv"), "--to", project});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(" rows in " + project + "\n"), std::string::npos) << r.err;
    test::WriteFile(dir / "cjk.txt", "\xe5\xbc\xa0@good.test\nann@good.test\n");
    r = Cli({"import", Path("cjk.txt"), "--to", Path("cjk.mlt")});
    EXPECT_NE(r.err.find("1 rows in " + Path("cjk.mlt") +
                         " (1 refused: their local part holds characters a project file "
                         "cannot store)\n"),
              std::string::npos)
        << r.err;
    r = Cli({"import", Path("list.csv"), "--to", project});  // appended again
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Cli({"show", project});
    EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), "row,checked,Email,Result,Name,City");
    EXPECT_NE(r.out.find("5,1,bob@good.test,,Bob,Porto\r\n"), std::string::npos) << r.out;

    r = Cli({"import", Path("list.csv"), "--to", project, "--replace", "--email-column", "Name",
             "--data"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Cli({"show", project});
    EXPECT_EQ(r.out,
              "row,checked,Email,Result,EMail,City\r\n"
              "0,1,Name,,EMail,City\r\n"
              "1,1,Alice,,alice@good.test,Oslo\r\n"
              "2,1,\"Smith, Carol\",,carol@good.test,Leeds\r\n"
              "3,1,Bob,,bob@good.test,Porto\r\n");

    r = Cli({"import", Path("list.csv"), "--to", project, "--email-column", "Nope"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("No column named 'Nope'"), std::string::npos);
    r = Cli({"import", Path("missing.csv"), "--to", project});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("missing.csv"), std::string::npos) << r.err;
    r = Cli({"import", Path("list.csv"), "--to", project, "--header", "--data"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(ListCommands, ExportByToleranceOrVerdictInEachFormatAndBackThroughDbase) {
    const std::string project = Path("p.mlt");
    test::WriteFile(dir / "more.txt", "alice@good.test\ncarol@good.test\nx@mute.test\n");
    ASSERT_EQ(Cli({"import", Path("more.txt"), "--to", project}).exitCode, 0);
    auto r = Cli(CheckArgs({"--save", project}));
    ASSERT_EQ(r.exitCode, 0) << r.err;

    r = Cli({"export", project, "--to", Path("valid.txt"), "--tolerance", "zero"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir / "valid.txt"), "alice@good.test\n");
    r = Cli({"export", project, "--to", Path("some.csv"), "--tolerance", "mailbox,timeout"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string csv = test::ReadFile(dir / "some.csv");
    EXPECT_NE(csv.find("alice@good.test"), std::string::npos);
    EXPECT_NE(csv.find("carol@good.test"), std::string::npos);
    EXPECT_NE(csv.find("x@mute.test"), std::string::npos);
    // The choice persists: the next export without --tolerance uses it.
    r = Cli({"export", project, "--to", Path("again.txt")});
    EXPECT_EQ(test::ReadFile(dir / "again.txt"), "alice@good.test\ncarol@good.test\nx@mute.test\n");
    // By verdict, read from the code alone (550 undeliverable, -2 unknown).
    r = Cli({"export", project, "--to", Path("kept.txt"), "--verdict", "undeliverable,Unknown"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir / "kept.txt"), "carol@good.test\nx@mute.test\n");
    EXPECT_EQ(Cli({"export", project, "--to", Path("x.txt"), "--verdict", "maybe"}).exitCode, 2);
    EXPECT_EQ(
        Cli({"export", project, "--to", Path("x.txt"), "--verdict", "risky", "--tolerance", "zero"})
            .exitCode,
        2);

    r = Cli({"export", project, "--to", Path("valid.dbf"), "--tolerance", "zero"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Cli(CheckArgs({Path("valid.dbf")}));  // a dBase table as the list to check
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("0,alice@good.test,alice@good.test,0,"), std::string::npos) << r.out;

    EXPECT_EQ(Cli({"export", project, "--to", Path("x.doc")}).exitCode, 2);
    EXPECT_EQ(Cli({"export", project, "--to", Path("x.txt"), "--tolerance", "most"}).exitCode, 2);
}

TEST_F(ListCommands, ExportLeavesOutFlaggedRowsOfTheChosenOnes) {
    const std::string project = Path("p.mlt");
    test::WriteFile(dir / "flagged.txt",
                    "info@good.test\nalice@good.test\nx@mailinator.com\nbob@gmail.com\n");
    ASSERT_EQ(Cli({"import", Path("flagged.txt"), "--to", project}).exitCode, 0);
    ASSERT_EQ(Cli(CheckArgs({"--save", project})).exitCode, 0);
    const std::string every = "deliverable,risky,undeliverable,unknown";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--verdict", every, "--leave-out", "role,free"}, "alice@good.test\n"},
        {{"--verdict", every, "--leave-out", "Disposable"},
         "info@good.test\nalice@good.test\nbob@gmail.com\n"},
        {{"--verdict", "undeliverable", "--leave-out", "free"}, "info@good.test\n"},
        {{"--tolerance", "mailbox", "--leave-out", "role"}, "alice@good.test\n"},
    };
    for (const auto& [options, kept] : cases) {
        std::vector<std::string> args = {"export", project, "--to", Path("out.txt")};
        args.insert(args.end(), options.begin(), options.end());
        const auto r = Cli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(test::ReadFile(dir / "out.txt"), kept) << options.back();
    }
    const auto r = Cli({"export", project, "--to", Path("x.txt"), "--leave-out", "role,vip"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--leave-out is a list of role, disposable, free; not 'vip'"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace mv

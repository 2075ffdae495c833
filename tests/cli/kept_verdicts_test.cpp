// Verdicts kept with the project, as a user meets them: check --save writes
// the findings file, and opening the project again (export, import, the core
// that both programs use) gives every row the verdict and reason it was
// checked with; without the file the result codes alone decide.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "fake_world.h"
#include "project/findings/project_files.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

using test::CliPath;
using test::RunProgram;

class KeptVerdicts : public ::testing::Test {
  protected:
    test::ProcessResult Cli(std::vector<std::string> args) const {
        args.insert(args.begin(), CliPath());
        return RunProgram(args, "", {"XDG_CONFIG_HOME=" + dir.path().string()});
    }
    // The addresses that export --verdict writes.
    std::set<std::string> Exported(const std::string& verdict) const {
        const auto r =
            Cli({"export", project, "--to", (dir / "out.txt").string(), "--verdict", verdict});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::istringstream lines(test::ReadFile(dir / "out.txt"));
        std::set<std::string> addresses;
        for (std::string line; std::getline(lines, line);)
            addresses.insert(line);
        return addresses;
    }

    test::FakeWorld world{
        "host mx.ok.test users=valid\n"
        "host mx.all.test accept\n"
        "host mx.block.test blocklist\n"
        "domain ok.test mx 10 mx.ok.test\n"
        "domain all.test mx 10 mx.all.test\n"
        "domain block.test mx 10 mx.block.test\n"};
    test::TempDir dir;
    std::string project = (dir / "p.mlt").string();
};

TEST_F(KeptVerdicts, SavedCheckedAndOpenedAgain) {
    test::WriteFile(dir / "list.txt",
                    "valid@ok.test\nnobody@ok.test\nany@all.test\ndesk@block.test\n");
    ASSERT_EQ(Cli({"import", (dir / "list.txt").string(), "--to", project}).exitCode, 0);
    const auto r =
        Cli({"check", project, "--save", "--format", "jsonl", "--from", "me@checker.test", "--dns",
             world.dnsServer(), "--dns-port", std::to_string(world.dnsPort()), "--smtp-port",
             std::to_string(world.smtpPort()), "--per-server", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // As checked: address -> verdict and reason.
    std::map<std::string, std::pair<std::string, std::string>> checked;
    const std::regex fields(R"re("address":"([^"]*)".*"verdict":"([^"]*)","reason":"([^"]*)")re");
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        if (std::smatch m; std::regex_search(line, m, fields)) checked[m[1]] = {m[2], m[3]};
    ASSERT_EQ(checked.size(), 4u) << r.out;
    EXPECT_EQ(checked["any@all.test"].first, "risky");  // its code alone says deliverable

    RecipientList opened;
    EXPECT_EQ(OpenProject(opened, project), "");
    for (size_t row = 0; row < opened.RowCount(); ++row) {
        const auto& [verdict, reason] = checked[std::string(opened.Caption(row))];
        ASSERT_NE(opened.FindingOf(row), nullptr) << row;
        EXPECT_EQ(VerdictName(opened.FindingOf(row)->verdict), verdict) << row;
        EXPECT_EQ(ReasonName(opened.FindingOf(row)->reason), reason) << row;
    }
    const auto exportedAsChecked = [&] {
        for (const char* verdict : {"deliverable", "risky", "undeliverable", "unknown"}) {
            std::set<std::string> expected;
            for (const auto& [address, meaning] : checked)
                if (meaning.first == verdict) expected.insert(address);
            EXPECT_EQ(Exported(verdict), expected) << verdict;
        }
    };
    exportedAsChecked();
    // An import into the project saves the findings again.
    test::WriteFile(dir / "more.txt", "later@ok.test\n");
    ASSERT_EQ(Cli({"import", (dir / "more.txt").string(), "--to", project}).exitCode, 0);
    exportedAsChecked();

    // Without the findings file the codes decide: accept-all is deliverable.
    std::filesystem::remove(dir / "p.mlt.findings");
    EXPECT_EQ(Exported("risky"), std::set<std::string>());
    EXPECT_EQ(Exported("deliverable"), (std::set<std::string>{"any@all.test", "valid@ok.test"}));
    // A damaged one is told once and ignored.
    test::WriteFile(dir / "p.mlt.findings", "mailvetter-findings 9\n");
    const auto damaged = Cli({"export", project, "--to", (dir / "x.txt").string()});
    EXPECT_EQ(damaged.exitCode, 0);
    EXPECT_NE(damaged.err.find("p.mlt.findings is not one this program can read"),
              std::string::npos)
        << damaged.err;
    EXPECT_EQ(damaged.err.find("findings file"), damaged.err.rfind("findings file"));
}

}  // namespace
}  // namespace mv

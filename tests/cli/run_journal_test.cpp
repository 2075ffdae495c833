// The run journal from the command line: a killed check --save loses nothing
// that reached its journal, and a journal is applied only when asked for and
// only to its own project.
#include <gtest/gtest.h>

#include <random>

#include "fake_world.h"
#include "journal_crash.h"
#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

using test::CliPath;
using test::RunProgram;

TEST(RunJournalCommand, KilledChecksAreResumedWithoutLoss) {
#ifdef MV_SANITIZED
    GTEST_SKIP() << "ten killed runs take too long under AddressSanitizer";
#endif
    test::FakeWorld world(test::kSlowWorld);
    std::mt19937 moments(27);
    for (int i = 0; i < 10; ++i) {
        test::TempDir dir;
        const size_t killAfter = moments() % 50;
        EXPECT_EQ(test::CrashAndResume(world, dir.path(), 60, killAfter), "")
            << "killed after " << killAfter << " results";
    }
}

TEST(RunJournalCommand, AJournalIsAppliedOnlyWhenAskedAndOnlyToItsProject) {
    test::TempDir dir;
    const std::string project = (dir / "p.mlt").string();
    RecipientList list;
    list.AppendRow("ann@a.test", {}, kIconNotChecked, kMarkChecked);
    const std::string header = "mailvetter-findings 1\n";
    const std::string ann = "0\tann@a.test\t0\tdeliverable\taccepted\t\t\t\t\n";
    const std::string other = "0\tbob@b.test\t0\tdeliverable\taccepted\t\t\t\t\n";
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.path().string()};
    const struct {
        std::vector<std::string> args;
        std::string journal;
        int exitCode;
        const char* message;  // on standard error
        const char* shown;    // in standard output
    } cases[] = {
        {{"show", project}, header + ann, 0, "(1 result in ", "0,1,ann@a.test,\r\n"},
        {{"show", "--recover", project}, header + ann, 0, "applied", "0,0,ann@a.test,[0] Valid"},
        {{"check", "--save", project}, header + ann, 1, "saving would leave them behind", ""},
        {{"check", "--save", project}, "mailvetter-findings 9\n" + ann, 1, "move it away", ""},
        {{"check", "--recover", "--save", project},
         header + other,
         1,
         "does not belong to this project",
         ""},
        {{"check", "--from", "me@x.test", "--resume", "--save", project},
         header + ann + ann.substr(0, 9),
         0,
         "nothing left to check",
         ""},
    };
    for (const auto& c : cases) {
        SaveProjectFile(list, project);
        test::WriteFile(project + ".journal", c.journal);
        std::vector<std::string> argv = {CliPath()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto r = RunProgram(argv, "", env);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
        // Refused: kept as it was. Saved by check: gone.
        if (c.exitCode != 0) {
            EXPECT_EQ(test::ReadFile(project + ".journal"), c.journal);
        } else if (c.args[0] == "check") {
            EXPECT_FALSE(std::filesystem::exists(project + ".journal"));
        }
    }
}

}  // namespace
}  // namespace mv

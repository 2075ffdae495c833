// The run journal: each row takes its last line, a damaged end is cut and
// nothing before it lost, lines of another project are refused with the file
// kept, and a run continues the journal after its good part.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/result_codes.h"
#include "platform/loop/epoll_loop.h"
#include "project/journal/project_journal.h"
#include "project/run/run_rows.h"
#include "project/stream/project_stream.h"
#include "test_support.h"

namespace mv {
namespace {

const std::string kHeader = "mailvetter-findings 1\n";
const std::string kAnn550 = "0\tann@a.test\t550\tundeliverable\tmailbox-unknown\t\t\t\t\n";
const std::string kAnn0 = "0\tann@a.test\t0\tdeliverable\taccepted\t\tmx\tmx\t250 ok\n";
const std::string kBob = "1\tbob@b.test\t-2\tunknown\ttimeout\t\t\t\t\tnot-checked\n";

class RunJournal : public ::testing::Test {
  protected:
    void SetUp() override {
        list.Clear();
        for (const char* caption : {"Ann <ann@a.test>", "bob@b.test"})
            list.AppendRow(caption, {}, kIconNotChecked, kMarkChecked);
        SaveProjectFile(list, project);
    }
    // The Result column of each row, joined by "|".
    std::string Results() const {
        return std::string(list.SubItem(0, 0)) + "|" + std::string(list.SubItem(1, 0));
    }

    test::TempDir dir;
    std::filesystem::path project = dir / "p.mlt";
    std::filesystem::path journal = dir / "p.mlt.journal";
    RecipientList list;
};

TEST_F(RunJournal, EachRowTakesItsLastLineUpToADamagedEnd) {
    const struct {
        std::string text;
        const char* results;  // after applying; "refused" when it was refused
        bool damagedTail;
    } cases[] = {
        {kHeader + "2\tcid@c.test\t0\tdeliverable\taccepted\t\t\t\t\n" + kAnn0, "refused", false},
        {kHeader + "1\tbob@else.test\t0\tdeliverable\taccepted\t\t\t\t\n", "refused", false},
        {kHeader + kAnn0 + kBob.substr(0, 12), "[0] Valid E-mail Address!|", true},
        {kHeader + kAnn550 + "junk\n" + kBob, "[550] Mailbox unavailable|", true},
        {kHeader + kAnn550 + kBob + kAnn0, "[0] Valid E-mail Address!|[-2] ", false},
    };
    for (const auto& c : cases) {
        SetUp();
        test::WriteFile(journal, c.text);
        ProjectJournal j;
        ASSERT_TRUE(j.Look(project).pending) << c.text;
        EXPECT_EQ(j.Facts().damagedTail, c.damagedTail) << c.text;
        if (std::string(c.results) == "refused") {
            EXPECT_THROW(j.Apply(list), EJournalError) << c.text;
            EXPECT_EQ(Results(), "|") << c.text;
            EXPECT_EQ(test::ReadFile(journal), c.text);  // kept as it was
            continue;
        }
        j.Apply(list);
        EXPECT_EQ(Results().substr(0, std::string(c.results).size()), c.results) << c.text;
    }
    // The last case in full: check marks, icons and findings too.
    EXPECT_EQ(list.StateIndex(0), kMarkUnchecked);
    EXPECT_EQ(list.ImageIndex(0), kIconValid);
    ASSERT_NE(list.FindingOf(0), nullptr);
    EXPECT_EQ(list.FindingOf(0)->reason, Reason::kAccepted);
    EXPECT_EQ(list.StateIndex(1), kMarkChecked);
    EXPECT_EQ(list.ImageIndex(1), kIconFailed);
    EXPECT_TRUE(RowAwaitsResult(list, 1));  // not checked: it stays to be checked
}

TEST_F(RunJournal, NotPendingWhenOlderThanTheProjectOrNotAJournal) {
    test::WriteFile(journal, kHeader + kAnn0);
    const timespec past[2] = {{1, 0}, {1, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, journal.c_str(), past, 0), 0);
    ProjectJournal j;
    EXPECT_FALSE(j.Look(project).pending);
    test::WriteFile(journal, "mailvetter-findings 9\n" + kAnn0);
    EXPECT_FALSE(j.Look(project).pending);
    EXPECT_NE(j.Facts().problem.find("not one this program can read"), std::string::npos);
}

TEST_F(RunJournal, ARunContinuesAfterTheGoodPartAndASaveEmptiesIt) {
    test::WriteFile(journal, kHeader + kAnn550 + "1\tbob@b.te");  // torn
    EpollLoop loop;
    ProjectJournal j;
    ASSERT_EQ(j.Look(project).results, 1u);
    j.Apply(list);
    list.SetSubItem(1, 0, ResultColumnText(0));
    JournalWriter& writer = j.StartWriting(loop);
    writer.Append(list, 1);
    EXPECT_EQ(test::ReadFile(journal),
              kHeader + kAnn550 + "1\tbob@b.test\t0\tdeliverable\taccepted\t\t\t\t\n");
    // A save that keeps the journal leaves it pending; one that holds it empties it.
    SaveProjectFile(list, project);
    j.KeepAcrossSave();
    EXPECT_TRUE(ProjectJournal().Look(project).pending);
    j.Remove();
    EXPECT_EQ(test::ReadFile(journal), kHeader);
    j.EndWriting();
    j.Remove();
    EXPECT_FALSE(std::filesystem::exists(journal));
}

TEST(RunRows, TheRestIsTheMarkedRowsWithoutAResultOfTheirOwn) {
    const struct {
        const char* result;
        int32_t mark;
        bool notChecked;
        bool rest;
    } cases[] = {
        {"", kMarkChecked, false, true},
        {"", kMarkUnchecked, false, false},
        {"Checking...", kMarkChecked, false, true},
        {"[-8] Aborted by user", kMarkChecked, false, true},
        {"[550] Mailbox unavailable", kMarkChecked, false, false},
        {"[-2] Time Out", kMarkChecked, true, true},
    };
    RecipientList list;
    for (const auto& c : cases) {
        RecipientRow row;
        row.subItems = {c.result};
        row.stateIndex = c.mark;
        if (c.notChecked) {
            row.finding.emplace();
            row.finding->notChecked = true;
        }
        const size_t index = list.AppendRow(row);
        EXPECT_EQ(RunTakesRow(RunRows::kRest, list, index), c.rest) << c.result;
        EXPECT_EQ(RunTakesRow(RunRows::kMarked, list, index), c.mark == kMarkChecked);
    }
}

}  // namespace
}  // namespace mv

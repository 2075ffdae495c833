// The findings file: a row takes only a line that is its own; damage is
// skipped and counted.
#include <gtest/gtest.h>

#include "project/findings/findings_file.h"

namespace mv {
namespace {

const std::string kHeader = "mailvetter-findings 1\n";
const std::string kRow0 = "0\tany@all.test\t0\trisky\taccept-all\t2.1.5\tmx\tmx mx2\t250 Ok\n";
const std::string kRow2 = "2\tdesk@block.test\t550\tunknown\tpolicy-block\t\t\t\t\n";

void Fill(RecipientList& list) {
    const std::string_view valid[] = {"[0] Valid E-mail Address!"}, failed[] = {"[550] x"};
    list.AppendRow("Ann <any@all.test>", valid, kIconValid, kMarkUnchecked);
    list.AppendRow("old@ok.test", failed, kIconFailed, kMarkChecked);
    list.AppendRow("desk@block.test", failed, kIconFailed, kMarkChecked);
}

TEST(FindingsFile, RowsTakeTheirOwnLinesAndDamageIsSkipped) {
    using Change = void (*)(RecipientList&);
    const Change none = [](RecipientList&) {};
    const std::string file = kHeader + kRow0 + kRow2;
    const struct {
        std::string text;
        Change change;
        const char* found;  // the rows that take a finding
        size_t badLines;
    } cases[] = {
        {file, [](RecipientList& l) { l.SetCaption(0, "x@all.test"); }, "2", 0},
        {file, [](RecipientList& l) { l.SetSubItem(2, 0, "[554] x"); }, "0", 0},
        {"mailvetter-findings 2\n" + kRow0, none, "", 0},
        {kHeader + "junk\n" + kRow0 + kRow2, none, "02", 1},
        {kHeader + kRow0 + kRow2.substr(0, 20), none, "0", 1},  // a torn tail
        {kHeader + kRow2 + kRow0, none, "2", 1},                // out of order
    };
    for (const auto& c : cases) {
        RecipientList list;
        Fill(list);
        c.change(list);
        EXPECT_EQ(ReadFindings(list, c.text).badLines, c.badLines) << c.text;
        std::string found;
        for (size_t row = 0; row < list.RowCount(); ++row)
            if (list.FindingOf(row) != nullptr) found += std::to_string(row);
        EXPECT_EQ(found, c.found) << c.text;
    }
}

}  // namespace
}  // namespace mv

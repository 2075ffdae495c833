// The findings file beside a project: written findings come back to the rows
// they belong to and to no other, damage is skipped and told, and a missing
// file is no news.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "project/findings/findings_file.h"
#include "project/findings/project_files.h"
#include "test_support.h"

namespace mv {
namespace {

ResultFinding Finding(Verdict verdict, Reason reason, const std::string& reply) {
    ResultFinding f;
    f.verdict = verdict;
    f.reason = reason;
    f.reply = reply;
    f.host = "mx.shop.test";
    f.hostsTried = {"mx.shop.test"};
    return f;
}

// Rows 0 and 2 hold findings, row 1 a result without one (read from disk),
// row 3 no result.
void Fill(RecipientList& list, bool withFindings) {
    const auto add = [&](const char* caption, const char* result,
                         std::optional<ResultFinding> finding) {
        RecipientRow row;
        row.caption = caption;
        row.subItems = {result};
        if (withFindings) row.finding = std::move(finding);
        list.AppendRow(row);
    };
    add("Ann <any@all.test>", "[0] Valid E-mail Address!",
        Finding(Verdict::kRisky, Reason::kAcceptAll, "250 2.1.5 Ok"));
    add("old@ok.test", "[550] Mailbox unavailable", std::nullopt);
    add("desk@block.test", "[550] Mailbox unavailable",
        Finding(Verdict::kUnknown, Reason::kPolicyBlock, "550 5.7.1 Client host blocked"));
    add("new@ok.test", "", std::nullopt);
}

class StringSink : public ByteSink {
  public:
    void Write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
    std::string bytes;
};

std::string Written(const RecipientList& list) {
    StringSink sink;
    WriteFindings(list, sink);
    return sink.bytes;
}

TEST(FindingsFile, RowsGetBackTheirOwnFindingsOnly) {
    RecipientList saved;
    Fill(saved, true);
    const std::string text = Written(saved);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;  // header, rows 0 and 2

    struct Case {
        const char* what;
        std::function<void(RecipientList&)> change;
        std::vector<bool> found;  // per row
    };
    const Case cases[] = {
        {"same rows", nullptr, {true, false, true, false}},
        {"caption edited",
         [](RecipientList& l) { l.SetCaption(0, "other@all.test"); },
         {false, false, true, false}},
        {"code changed",
         [](RecipientList& l) { l.SetSubItem(2, 0, "[554] Transaction failed"); },
         {true, false, false, false}},
        {"row inserted",
         [](RecipientList& l) { l.InsertRow(0); },
         {false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        RecipientList opened;
        Fill(opened, false);
        if (c.change) c.change(opened);
        const FindingsTally tally = ReadFindings(opened, text);
        EXPECT_TRUE(tally.headerOk && tally.badLines == 0) << c.what;
        for (size_t row = 0; row < opened.RowCount(); ++row) {
            EXPECT_EQ(opened.FindingOf(row) != nullptr, c.found[row]) << c.what << " " << row;
            if (opened.FindingOf(row) && saved.RowCount() == opened.RowCount()) {
                EXPECT_EQ(*opened.FindingOf(row), *saved.FindingOf(row)) << c.what;
            }
        }
        EXPECT_EQ(Written(opened) == text, c.change == nullptr) << c.what;  // saved again: same
    }
}

TEST(FindingsFile, DamageIsSkippedAndCounted) {
    RecipientList saved;
    Fill(saved, true);
    const std::string text = Written(saved);
    const size_t second = text.find("\n2\t");
    const std::string header = text.substr(0, text.find('\n') + 1);
    const std::string row0 = text.substr(header.size(), second + 1 - header.size());
    const std::string row2 = text.substr(second + 1);
    struct Case {
        std::string text;
        bool headerOk;
        size_t badLines;
        bool row0, row2;
    };
    const Case cases[] = {
        {"", false, 0, false, false},
        {"mailvetter-findings 2\n" + row0 + row2, false, 0, false, false},
        {header + "junk\n" + row0 + row2, true, 1, true, true},
        {header + row0 + row2.substr(0, 30), true, 1, true, false},  // a torn tail
        {header + row2 + row0, true, 1, false, true},                // out of order
        {header + row0 + std::string(20000, 'x') + "\n" + row2, true, 1, true, true},
        {header + row0 + row2.substr(0, row2.size() - 1), true, 1, true, false},
    };
    for (const Case& c : cases) {
        RecipientList opened;
        Fill(opened, false);
        const FindingsTally tally = ReadFindings(opened, c.text);
        EXPECT_EQ(tally.headerOk, c.headerOk) << c.text.substr(0, 60);
        EXPECT_EQ(tally.badLines, c.badLines) << c.text.substr(0, 60);
        EXPECT_EQ(opened.FindingOf(0) != nullptr, c.row0) << c.text.substr(0, 60);
        EXPECT_EQ(opened.FindingOf(2) != nullptr, c.row2) << c.text.substr(0, 60);
    }
}

TEST(FindingsFile, SavedBesideTheProjectAndNoticedWhenUnreadable) {
    test::TempDir dir;
    RecipientList saved;
    Fill(saved, true);
    SaveProject(saved, dir / "p.mlt");
    EXPECT_EQ(test::ReadFile(dir / "p.mlt.findings"), Written(saved));

    RecipientList opened;
    EXPECT_EQ(OpenProject(opened, dir / "p.mlt"), "");
    EXPECT_EQ(Written(opened), Written(saved));

    std::filesystem::remove(dir / "p.mlt.findings");
    EXPECT_EQ(OpenProject(opened, dir / "p.mlt"), "");  // missing: silent
    EXPECT_EQ(opened.FindingOf(0), nullptr);

    test::WriteFile(dir / "p.mlt.findings", "mailvetter-findings 1\nbad\n");
    EXPECT_NE(OpenProject(opened, dir / "p.mlt").find("has 1 damaged line;"), std::string::npos);

    std::filesystem::remove(dir / "p.mlt.findings");
    std::filesystem::create_directory(dir / "p.mlt.findings");
    EXPECT_NE(OpenProject(opened, dir / "p.mlt").find("cannot be read"), std::string::npos);
    // Cannot be replaced by a file: the project is saved, the error says the rest.
    EXPECT_THROW(SaveProject(saved, dir / "p.mlt"), EFindingsSaveError);
}

}  // namespace
}  // namespace mv

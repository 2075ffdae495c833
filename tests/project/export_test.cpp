// Exporting the recipient list: which rows, in which format, and back again.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "engine/result_codes.h"
#include "platform/file/atomic_file.h"
#include "project/import_export/export_columns.h"
#include "project/import_export/export_settings.h"
#include "project/import_export/import_export_error.h"
#include "project/import_export/recipient_export.h"
#include "project/import_export/recipient_import.h"
#include "storage/dbf/tb_dbf.h"
#include "test_support.h"

namespace mv {
namespace {

using Texts = std::vector<std::string>;

Texts RowTexts(const RecipientList& list, size_t row) {
    std::vector<std::string_view> views;
    list.Texts(row, views);
    return {views.begin(), views.end()};
}

RecipientRow Row(std::string caption, std::vector<std::string> subItems,
                 int32_t icon = kIconNotChecked) {
    RecipientRow row;
    row.caption = std::move(caption);
    row.subItems = std::move(subItems);
    row.imageIndex = icon;
    return row;
}

// A row after a check that ended with `code`.
void AddChecked(RecipientList& list, const std::string& address, int code,
                std::vector<std::string> extras = {}) {
    RecipientRow row;
    row.caption = address;
    row.subItems = {ResultColumnText(code)};
    row.subItems.insert(row.subItems.end(), extras.begin(), extras.end());
    row.imageIndex = IsGoodResult(code) ? kIconValid : kIconFailed;
    row.stateIndex = IsGoodResult(code) ? kMarkUnchecked : kMarkChecked;
    list.AppendRow(row);
}

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list_.AddColumn("Name", 120);
        list_.AddColumn("City", 120);
        AddChecked(list_, "ok@a.org", 0, {"Ann, the first", "Oslo"});
        AddChecked(list_, "full@b.org", 552, {"Bob"});
        AddChecked(list_, "gone@c.org", 550, {"Cy", "Z\xC3\xBCrich"});
        AddChecked(list_, "slow@d.org", ResultTimeOut);
        AddChecked(list_, "nodomain@e.org", 11001);
        AddChecked(list_, "good@f.org", 0, {"Eve", "Rome"});
        AddChecked(list_, "busy@g.org", 450);
        list_.AppendRow(Row("new@h.org", {""}));  // never checked
        list_.AppendRow(Row("now@i.org", {"Checking..."}, kIconChecking));
    }

    Texts Exported(const ExportTolerance& tolerance) {
        Texts out;
        for (const size_t row : RowsToExport(list_, tolerance)) {
            out.emplace_back(list_.Caption(row));
        }
        return out;
    }

    void Reimport(const std::filesystem::path& path, ImportFirstLine firstLine,
                  RecipientList& list) {
        RecipientImport import(path);
        import.Open();
        import.SetFirstLine(firstLine);
        import.Import(list);
    }

    test::TempDir dir_;
    RecipientList list_;
};

TEST_F(ExportTest, EachToleranceChoice) {
    EXPECT_EQ(Exported({}), (Texts{"ok@a.org", "good@f.org"}));
    // Tolerance Zero ignores the failure choices.
    EXPECT_EQ(Exported({true, true, true, true}), (Texts{"ok@a.org", "good@f.org"}));
    EXPECT_EQ(Exported({false, false, false, false}), (Texts{"ok@a.org", "good@f.org"}));
    EXPECT_EQ(Exported({false, true, false, false}),
              (Texts{"ok@a.org", "gone@c.org", "good@f.org", "busy@g.org"}));
    EXPECT_EQ(Exported({false, false, true, false}),
              (Texts{"ok@a.org", "full@b.org", "good@f.org"}));
    EXPECT_EQ(Exported({false, false, false, true}),
              (Texts{"ok@a.org", "slow@d.org", "good@f.org"}));
    EXPECT_EQ(
        Exported({false, true, true, true}),
        (Texts{"ok@a.org", "full@b.org", "gone@c.org", "slow@d.org", "good@f.org", "busy@g.org"}));
}

// Rows read from disk have no finding: their verdict comes from the code
// alone. A row checked in this session has its finding.
TEST_F(ExportTest, ChoosingByVerdictUsesTheFindingOrElseTheCodeAlone) {
    ResultFinding acceptAll;
    acceptAll.verdict = Verdict::kRisky;
    acceptAll.reason = Reason::kAcceptAll;
    acceptAll.reply = "250 2.0.0 OK";
    list_.SetFinding(0, acceptAll);
    const auto captions = [&](std::initializer_list<Verdict> verdicts) {
        VerdictSet set;
        for (Verdict v : verdicts)
            set.Add(v);
        Texts out;
        for (const size_t row : RowsWithVerdicts(list_, set))
            out.emplace_back(list_.Caption(row));
        return out;
    };
    EXPECT_EQ(captions({Verdict::kDeliverable}), (Texts{"good@f.org"}));
    EXPECT_EQ(captions({Verdict::kRisky}), (Texts{"ok@a.org", "full@b.org"}));
    EXPECT_EQ(captions({Verdict::kUndeliverable, Verdict::kUnknown}),
              (Texts{"gone@c.org", "slow@d.org", "nodomain@e.org", "busy@g.org"}));

    const std::optional<RowVerdict> kept = VerdictOfRow(list_, 0);
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->derivedFromCode);
    EXPECT_EQ(kept->reason, Reason::kAcceptAll);
    EXPECT_EQ(kept->reply, "250 2.0.0 OK");
    const std::optional<RowVerdict> derived = VerdictOfRow(list_, 2);
    ASSERT_TRUE(derived);
    EXPECT_TRUE(derived->derivedFromCode);
    EXPECT_EQ(derived->verdict, Verdict::kUndeliverable);
    EXPECT_FALSE(derived->reason);
    EXPECT_FALSE(VerdictOfRow(list_, 8));  // "Checking..."

    VerdictSet risky;
    risky.Add(Verdict::kRisky);
    EXPECT_EQ(ExportRecipientsByVerdict(list_, dir_ / "risky.txt", risky), 2u);
    EXPECT_EQ(test::ReadFile(dir_ / "risky.txt"), "ok@a.org\nfull@b.org\n");
}

TEST_F(ExportTest, ResultTextsMustBeWholeToPass) {
    RecipientList list;
    for (const char* result :
         {"Mailbox unavailable", "[550]Mailbox unavailable", "[x] Mailbox unavailable",
          "[550] Mailbox unavailable!", "[550] Mailbox unavailable"}) {
        list.AppendRow(Row("a@b.c", {result}, kIconFailed));
    }
    const ExportTolerance tolerance{false, true, false, false};
    const std::vector<size_t> rows = RowsToExport(list, tolerance);
    EXPECT_EQ(rows, (std::vector<size_t>{4}));
}

TEST_F(ExportTest, TextRoundTrip) {
    const std::filesystem::path path = dir_ / "good.TXT";
    EXPECT_EQ(ExportRecipients(list_, path, {}), 2u);
    EXPECT_EQ(test::ReadFile(path), "ok@a.org\ngood@f.org\n");
    RecipientList back;
    Reimport(path, ImportFirstLine::Data, back);
    ASSERT_EQ(back.RowCount(), 2u);
    EXPECT_EQ(back.Caption(0), "ok@a.org");
    EXPECT_EQ(back.Caption(1), "good@f.org");
}

TEST_F(ExportTest, CsvRoundTrip) {
    const std::filesystem::path path = dir_ / "all.csv";
    const ExportTolerance tolerance{false, true, true, true};
    const std::vector<size_t> rows = RowsToExport(list_, tolerance);
    EXPECT_EQ(ExportRecipients(list_, path, tolerance), rows.size());
    const std::string bytes = test::ReadFile(path);
    EXPECT_EQ(bytes.rfind("Email,Result,Name,City\r\n"
                          "ok@a.org,[0] Valid E-mail Address!,\"Ann, the first\",Oslo\r\n",
                          0),
              0u);

    // Back in: the Result column comes back as an extra column of its own,
    // since an import never writes the Result column.
    RecipientList back;
    Reimport(path, ImportFirstLine::Header, back);
    EXPECT_EQ(back.ColumnCount(), 5u);
    EXPECT_EQ(back.Column(2).caption, "Result");
    ASSERT_EQ(back.RowCount(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        Texts expected = RowTexts(list_, rows[i]);
        expected.resize(4);
        expected.insert(expected.begin() + 1, "");
        EXPECT_EQ(RowTexts(back, i), expected);
    }
}

TEST_F(ExportTest, CsvQuotesWhatNeedsIt) {
    RecipientList list;
    list.AddColumn("Note \"x\"");
    list.AppendRow(Row("a@b.c", {"[0] Valid E-mail Address!", "say \"hi\"\nnow"}, kIconValid));
    const std::filesystem::path path = dir_ / "q.csv";
    ExportRecipients(list, path, {});
    EXPECT_EQ(test::ReadFile(path),
              "Email,Result,\"Note \"\"x\"\"\"\r\n"
              "a@b.c,[0] Valid E-mail Address!,\"say \"\"hi\"\"\nnow\"\r\n");
}

TEST_F(ExportTest, DbfRoundTrip) {
    ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
    list_.AddColumn("City");                   // a second "City" needs a name of its own
    list_.SetSubItem(0, 3, "\xE2\x82\xAC 5");  // the euro sign has no place in the OEM page
    const std::filesystem::path path = dir_ / "all.dbf";
    const ExportTolerance tolerance{false, true, true, true};
    const std::vector<size_t> rows = RowsToExport(list_, tolerance);
    ExportRecipients(list_, path, tolerance);

    RecipientImport import(path);
    import.Open();
    EXPECT_EQ(import.ColumnNames(), (Texts{"EMAIL", "RESULT", "NAME", "CITY", "CITY2"}));
    RecipientList back;
    import.Import(back);
    ASSERT_EQ(back.RowCount(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        Texts expected = RowTexts(list_, rows[i]);
        expected.resize(5);
        expected.insert(expected.begin() + 1, "");
        if (i == 0) {
            expected[5] = "? 5";
        }
        EXPECT_EQ(RowTexts(back, i), expected);
    }
}

TEST_F(ExportTest, DbfFieldsAreNamedValidlyAndSizedByTheLongestValue) {
    EXPECT_EQ(
        DbfFieldNames({"Email", "Result", "Last name", "e-mail", "2nd phone", "", "Gr\u00F6\u00DFe",
                       "Averyveryverylongname", "averyveryverylongname", "AVERYVERYV", "  x  "}),
        (Texts{"EMAIL", "RESULT", "LAST_NAME", "E_MAIL", "F2ND_PHONE", "FIELD", "GR__E",
               "AVERYVERYV", "AVERYVERY2", "AVERYVERY3", "X"}));
    Texts many(12, "Tag");
    const Texts names = DbfFieldNames(many);
    EXPECT_EQ(names[1], "TAG2");
    EXPECT_EQ(names[11], "TAG12");

    RecipientList list;
    list.AppendRow(Row("a@b.c", {"[0] Valid E-mail Address!"}, kIconValid));
    list.AddColumn("Long");
    list.AddColumn("Empty");
    list.SetSubItem(0, 1, std::string(300, 'x'));
    list.SetSubItem(0, 2, "");
    const std::filesystem::path path = dir_ / "sized.dbf";
    ExportRecipients(list, path, {});
    TTbDbf table("check");
    table.SetDbfFileName(path.string());
    table.SetActive(true);
    const auto& props = table.DbfFieldProps();
    ASSERT_EQ(props.size(), 4u);
    EXPECT_EQ(props[0].FieldLen, 5);
    EXPECT_EQ(props[1].FieldLen, 25);
    EXPECT_EQ(props[2].FieldLen, 254);  // cut at the widest character field
    EXPECT_EQ(props[3].FieldLen, 1);
    EXPECT_EQ(table.Fields(2).AsString(), std::string(254, 'x'));
}

TEST_F(ExportTest, FailuresLeaveTheOldFileAndNoTemporaryFiles) {
    const std::filesystem::path odd = dir_ / "list.xls";
    EXPECT_THROW(ExportRecipients(list_, odd, {}), EExportError);
    EXPECT_FALSE(std::filesystem::exists(odd));

    const std::filesystem::path path = dir_ / "wide.dbf";
    test::WriteFile(path, "old");
    RecipientList wide;
    for (int i = 0; i < 254; ++i) {
        wide.AddColumn("c" + std::to_string(i));
    }
    try {
        ExportRecipients(wide, path, {});
        FAIL() << "256 columns exported";
    } catch (const EExportError& e) {
        EXPECT_NE(std::string(e.what()).find("at most 255 fields"), std::string::npos);
    }
    EXPECT_EQ(test::ReadFile(path), "old");

    // A success replaces the old file whole.
    ExportRecipients(list_, path, {});
    EXPECT_NE(test::ReadFile(path), "old");
    EXPECT_THROW(ExportRecipients(list_, dir_ / "no" / "such.csv", {}), EFCreateError);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(ExportSettingsTest, ReadsDefaultsAndKeepsChoices) {
    test::TempDir home;
    {
        TINI ini(home.path());
        EXPECT_EQ(ReadExportTolerance(ini), ExportTolerance{});
        WriteExportTolerance(ini, {false, true, false, true});
    }
    TINI ini(home.path());
    EXPECT_EQ(ReadExportTolerance(ini), (ExportTolerance{false, true, false, true}));
}

}  // namespace
}  // namespace mv

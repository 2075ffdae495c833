// Importing dBase tables into the recipient list.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <string>
#include <vector>

#include "../storage/dbf/dbf_bytes.h"
#include "project/import_export/recipient_import.h"
#include "storage/dbf/table_error.h"
#include "test_support.h"

namespace mv {
namespace {

using Texts = std::vector<std::string>;
using test::DbfBytes;

Texts RowTexts(const RecipientList& list, size_t row) {
    std::vector<std::string_view> views;
    list.Texts(row, views);
    return {views.begin(), views.end()};
}

class DbfImportTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr); }

    std::filesystem::path Table(const std::string& bytes, const std::string& name = "list.dbf") {
        std::filesystem::path path = dir_ / name;
        test::WriteFile(path, bytes);
        return path;
    }
    // Name C 12, Email C 30, Visits N 5, Score N 8.2, Since D, Active L.
    static DbfBytes People() {
        return DbfBytes({{"NAME", 'C', 12},
                         {"EMAIL", 'C', 30},
                         {"VISITS", 'N', 5},
                         {"SCORE", 'N', 8, 2},
                         {"SINCE", 'D', 8},
                         {"ACTIVE", 'L', 1}});
    }

    test::TempDir dir_;
    RecipientList list_;
};

TEST_F(DbfImportTest, FieldNamesAreTheChoicesAndEmailIsPreselected) {
    RecipientImport import(Table(People()
                                     .Record({"Ann", "ann@a.org", "3", "3.50", "20240131", "T"})
                                     .Record({"Bob", "bob@b.org"}, true)
                                     .Build(),
                                 "PEOPLE.DBF"));
    EXPECT_EQ(import.FileKind(), ImportFileKind::DBase);
    EXPECT_STREQ(FileKindText(import.FileKind()), "dBase III Compatible Table");
    import.Open();
    EXPECT_EQ(import.ColumnNames(), (Texts{"NAME", "EMAIL", "VISITS", "SCORE", "SINCE", "ACTIVE"}));
    EXPECT_EQ(import.EmailColumn(), 1);
    EXPECT_FALSE(import.FirstLineApplies());
    EXPECT_EQ(import.ProgressMax(), 2);  // the deleted record counts

    int steps = 0;
    import.OnProgress = [&](RecipientImport&, int64_t) { ++steps;
};
EXPECT_EQ(import.Import(list_).rows, 2u);
EXPECT_EQ(steps, 2);
ASSERT_EQ(list_.ColumnCount(), 7u);
EXPECT_EQ(list_.Column(2).caption, "NAME");
EXPECT_EQ(list_.Column(6).caption, "ACTIVE");
EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann", "3", "3.5", "01/31/24", "True"}));
// The deleted record is imported like the others; its empty values read
// as the table component gives them.
EXPECT_EQ(RowTexts(list_, 1), (Texts{"bob@b.org", "", "Bob", "0", "0", "", "False"}));
EXPECT_EQ(list_.Row(1).stateIndex, kMarkChecked);
EXPECT_EQ(list_.Row(1).imageIndex, kIconNotChecked);
}  // namespace

TEST_F(DbfImportTest, OemTextIsTrimmedAndEmptyAddressesStay) {
    const std::string bytes = DbfBytes({{"MAIL", 'C', 20}, {"CITY", 'C', 10}})
                                  .Record({"  x@y.org", "Z\x81rich"})  // 0x81 is u-umlaut
                                  .Record({"", "Oslo"})
                                  .Build();
    RecipientImport import(Table(bytes));
    import.Open();
    EXPECT_EQ(import.EmailColumn(), 0);  // nothing named e-mail: the first field
    import.Import(list_);
    ASSERT_EQ(list_.RowCount(), 2u);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"x@y.org", "", "Z\xC3\xBCrich"}));
    EXPECT_EQ(RowTexts(list_, 1), (Texts{"", "", "Oslo"}));
}

TEST_F(DbfImportTest, StopAndReplaceWorkAsForText) {
    DbfBytes table({{"EMAIL", 'C', 20}});
    for (int i = 0; i < 50; ++i) {
        table.Record({"u" + std::to_string(i) + "@x.org"});
    }
    list_.AddColumn("Old");
    list_.AppendRow();
    RecipientImport import(Table(table.Build()));
    import.SetMode(ImportMode::Replace);
    import.OnProgress = [](RecipientImport & sender, int64_t position) {
        if (position == 10) {
            sender.Stop();
}
};  // namespace mv
const ImportResult result = import.Import(list_);
EXPECT_TRUE(result.stopped);
EXPECT_EQ(list_.ColumnCount(), 2u);
ASSERT_EQ(list_.RowCount(), 10u);
EXPECT_EQ(list_.Caption(9), "u9@x.org");
}

TEST_F(DbfImportTest, DamagedOrMissingTablesRaiseTableErrorsAndChangeNothing) {
    list_.AppendRow();
    const std::filesystem::path badType =
        Table(DbfBytes({{"EMAIL", 'X', 20}}).Record({"a@b.c"}).Build(), "bad.dbf");
    const std::filesystem::path notATable = Table("Email\na@b.c\n", "text.dbf");
    const std::filesystem::path missing = dir_ / "missing.dbf";
    for (const auto& path : {badType, notATable, missing}) {
        RecipientImport import(path);
        import.SetMode(ImportMode::Replace);
        EXPECT_THROW(import.Import(list_), ETableError) << path;
        EXPECT_FALSE(import.IsOpen());
        EXPECT_EQ(list_.RowCount(), 1u);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));  // not created by the attempt
}

TEST_F(DbfImportTest, ATableCutShortKeepsTheRowsReadBeforeTheError) {
    std::string bytes = DbfBytes({{"EMAIL", 'C', 20}})
                            .Record({"a@x.org"})
                            .Record({"b@x.org"})
                            .Record({"c@x.org"})
                            .Build();
    bytes.resize(bytes.size() - 10);  // the third record is incomplete
    RecipientImport import(Table(bytes));
    EXPECT_THROW(import.Import(list_), ETableError);
    EXPECT_EQ(list_.RowCount(), 2u);
    // In slices the error has ended the import when it is raised.
    RecipientImport sliced(import.FileName());
    sliced.BeginImport(list_);
    const auto past = RecipientImport::Clock::now();
    EXPECT_TRUE(sliced.ImportSome(past));  // one record a slice; moving on reads the next
    EXPECT_THROW(sliced.ImportSome(past), ETableError);
    EXPECT_FALSE(sliced.Importing());
    EXPECT_FALSE(list_.Updating());
    EXPECT_EQ(list_.RowCount(), 4u);
}

TEST_F(DbfImportTest, AWriteProtectedTableIsImported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
    const std::filesystem::path path =
        Table(DbfBytes({{"EMAIL", 'C', 20}}).Record({"a@x.org"}).Build());
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    RecipientImport import(path);
    EXPECT_EQ(import.Import(list_).rows, 1u);
}

}  // namespace
}  // namespace mv

// The table component: file names, opening and its failures, work areas,
// navigation with and without deleted records, sharing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dbf_bytes.h"
#include "storage/dbf/table_error.h"
#include "test_support.h"

namespace mv::test {
namespace {

const std::vector<FieldSpec> kFields = {{"NAME", 'C', 20}, {"EMAIL", 'C', 20}};

std::string ThreeRecords(bool middleDeleted, bool allDeleted = false) {
    return DbfBytes(kFields)
        .Record({"Ann", "ann@x.y"}, allDeleted)
        .Record({"Bob", "bob@x.y"}, middleDeleted || allDeleted)
        .Record({"Cy", "cy@x.y"}, allDeleted)
        .Build();
}

// The number and message of the ETableError `action` raises (0 if none).
template <typename Action>
std::pair<int, std::string> ErrorOf(Action action) {
    try {
        action();
    } catch (const ETableError& e) {
        return {e.Number(), e.Detail()};
    }
    return {0, ""};
}

TEST(TbDbf, FileNameRule) {
    TTbDbf table("tbDbase");
    table.SetDbfFileName("  list  ");
    EXPECT_EQ(table.DbfFileName(), "list.DBF");
    table.SetDbfFileName("list.");
    EXPECT_EQ(table.DbfFileName(), "list.");
    table.SetDbfFileName("list.txt");
    EXPECT_EQ(table.DbfFileName(), "list.txt");
    table.SetDbfFileName("dir.v2/list");
    EXPECT_EQ(table.DbfFileName(), "dir.v2/list.DBF");

    // "list." names the file without extension.
    TempDir dir;
    WriteFile(dir / "list", ThreeRecords(false));
    table.SetDbfFileName((dir / "list.").string());
    EXPECT_EQ(ReadAll(table).size(), 3u);
    // Changing the name of an open table reopens it on the new file.
    WriteFile(dir / "other.dbf", DbfBytes(kFields).Record({"Dee", "d@x.y"}).Build());
    table.SetDbfFileName((dir / "other.dbf").string());
    EXPECT_TRUE(table.Active());
    EXPECT_EQ(table.Fields(0).AsString(), "Dee");
}

TEST(TbDbf, WalksAllRecordsDeletedOnesUnlessHidden) {
    MemoryTbDbf table(ThreeRecords(true));
    EXPECT_EQ(ReadAll(table),
              (std::vector<std::string>{"Ann|ann@x.y", "*Bob|bob@x.y", "Cy|cy@x.y"}));
    EXPECT_EQ(table.RecCount(), 3);
    table.SetHideDeletedRecs(true);
    EXPECT_EQ(ReadAll(table), (std::vector<std::string>{"Ann|ann@x.y", "Cy|cy@x.y"}));
    EXPECT_EQ(table.RecCount(), 3);
    table.Last();
    table.Prior();
    EXPECT_EQ(table.RecNo(), 1u);
    table.Prior();
    EXPECT_TRUE(table.Bof());
    EXPECT_EQ(table.Fields(0).AsString(), "Ann");

    MemoryTbDbf none(ThreeRecords(false, true));
    none.SetHideDeletedRecs(true);
    EXPECT_TRUE(ReadAll(none).empty());
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(none.Fields(0).AsString(), "");

    MemoryTbDbf empty(DbfBytes(kFields).Build());
    EXPECT_TRUE(ReadAll(empty).empty());
    EXPECT_EQ(empty.RecCount(), 0);
}

TEST(TbDbf, FailuresToOpenLeaveTheTableClosed) {
    TTbDbf table("tbDbase");
    EXPECT_EQ(
        ErrorOf([&] { table.SetActive(true); }),
        (std::pair<int, std::string>{1103, "DBF file name has not been specified for tbDbase"}));
    EXPECT_EQ(ErrorOf([&] { (void)table.RecCount(); }),
              (std::pair<int, std::string>{1103, "Database is not open [tbDbase.RecCount]"}));
    EXPECT_EQ(ErrorOf([&] { table.Next(); }).second, "Database is not open [tbDbase.Next]");

    TempDir dir;
    WriteFile(dir / "x.dbf", DbfBytes({{"A", 'C', 1}, {"B", 'X', 1}}).Build());
    table.SetDbfFileName((dir / "x.dbf").string());
    EXPECT_EQ(ErrorOf([&] { table.SetActive(true); }).first, 211);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(dbf::DbfEngine::Instance().OpenWorkAreas(), 0);
    EXPECT_EQ(dbf::DbfEngine::Instance().LastError(), 211);

    WriteFile(dir / "x.dbf", ThreeRecords(false));
    table.IndexList().push_back("1,x.ndx,EMAIL");
    EXPECT_EQ(ErrorOf([&] { table.SetActive(true); }).first, 1300);
    EXPECT_EQ(dbf::DbfEngine::Instance().OpenWorkAreas(), 0);
}

TEST(TbDbf, CreateIfNotFoundWarnsAndOpensTheNewTable) {
    TempDir dir;
    TTbDbf table("tbDbase");
    std::vector<std::string> warnings;
    table.OnWarning = [&](TTbDbf& sender, const std::string& text) {
        EXPECT_EQ(&sender, &table);
        warnings.push_back(text);
    };
    const std::string missing = (dir / "missing.dbf").string();
    table.SetDbfFileName(missing);
    EXPECT_EQ(ErrorOf([&] { table.SetActive(true); }),
              (std::pair<int, std::string>{2, "Failure to open " + missing + " [USE/OpenDbf]"}));
    EXPECT_EQ(warnings,
              (std::vector<std::string>{"FieldList.Count is <= 0 trying to create a database",
                                        "Could not create '" + missing + "'"}));
    warnings.clear();
    table.SetDbfFields({"email,C"});
    EXPECT_EQ(ErrorOf([&] { table.SetActive(true); }).first, 2);
    EXPECT_EQ(warnings, std::vector<std::string>{"Could not create '" + missing + "'"});

    warnings.clear();
    table.SetDbfFields({"email,C,50,0"});
    table.SetActive(true);
    EXPECT_TRUE(warnings.empty());
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.Fields(0).FieldName(), "EMAIL");
    table.Close();

    TTbDbf plain("tbPlain");
    plain.SetCreateIfNotFound(false);
    plain.SetDbfFileName((dir / "none").string());
    EXPECT_EQ(ErrorOf([&] { plain.SetActive(true); }).first, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.DBF"));
}

TEST(TbDbf, ThirtyThreeWorkAreas) {
    TempDir dir;
    WriteFile(dir / "t.dbf", ThreeRecords(false));
    std::vector<std::unique_ptr<TTbDbf>> tables;
    for (int i = 0; i < 33; ++i) {
        tables.push_back(std::make_unique<TTbDbf>("tb" + std::to_string(i)));
        tables.back()->SetDbfFileName((dir / "t.dbf").string());
        tables.back()->SetActive(true);
    }
    TTbDbf extra("tbExtra");
    extra.SetDbfFileName((dir / "t.dbf").string());
    EXPECT_EQ(ErrorOf([&] { extra.SetActive(true); }),
              (std::pair<int, std::string>{220, "No free workarea available [Select(0)]"}));
    tables[5]->Close();
    extra.SetActive(true);
    EXPECT_EQ(dbf::DbfEngine::Instance().CurrentWorkArea(), 6);
    tables.clear();
    extra.Close();
    EXPECT_EQ(dbf::DbfEngine::Instance().OpenWorkAreas(), 0);
}

TEST(TbDbf, ExclusiveOpenRefusesSharing) {
    TempDir dir;
    WriteFile(dir / "t.dbf", ThreeRecords(false));
    TTbDbf first("tbFirst");
    TTbDbf second("tbSecond");
    first.SetDbfFileName((dir / "t.dbf").string());
    second.SetDbfFileName((dir / "t.dbf").string());
    first.SetActive(true);
    second.SetActive(true);  // both shared
    // Reopens, and cannot while the first has it open.
    EXPECT_EQ(ErrorOf([&] { second.SetExclusive(true); }).first, 32);
    EXPECT_FALSE(second.Active());
    EXPECT_TRUE(second.Exclusive());
    EXPECT_EQ(ErrorOf([&] { second.SetActive(true); }).first, 32);
    first.Close();
    second.SetActive(true);
    EXPECT_EQ(ErrorOf([&] { first.SetActive(true); }).first, 32);
}

// Opening a write-protected file for reading and writing fails with error 5.
// Run in a child without root's right to write anything.
TEST(TbDbf, WriteProtectedFile) {
    TempDir dir;
    WriteFile(dir / "t.dbf", ThreeRecords(false));
    const std::string name = (dir / "t.dbf").string();
    ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(90);
        }
        TTbDbf table("tbDbase");
        table.SetDbfFileName(name);
        const auto error = ErrorOf([&] { table.SetActive(true); });
        if (error != std::pair<int, std::string>{5, "Failure to open " + name + " [USE/OpenDbf]"}) {
            ::_exit(91);
        }
        table.SetReadOnly(true);
        table.SetActive(true);
        ::_exit(table.RecCount() == 3 ? 0 : 92);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace mv::test

// Creating tables from field definitions, appending and changing records,
// and the header that closing writes.
#include <gtest/gtest.h>

#include <clocale>
#include <ctime>

#include "dbf_bytes.h"
#include "storage/dbf/dbf_create.h"
#include "storage/dbf/table_error.h"
#include "test_support.h"

namespace mv::test {
namespace {

// The error number and message of creating a table from `lines`.
std::pair<int, std::string> CreateError(const std::vector<std::string>& lines) {
    TempDir dir;
    try {
        dbf::CreateDbf((dir / "t.dbf").string(), lines);
    } catch (const ETableError& e) {
        return {e.Number(), e.Detail()};
    }
    return {0, ""};
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<char>(local.tm_year), static_cast<char>(local.tm_mon + 1),
            static_cast<char>(local.tm_mday)};
}

TEST(DbfCreate, SingleCharacterFieldByteForByte) {
    TempDir dir;
    ASSERT_TRUE(dbf::CreateDbf((dir / "out").string(), {"email,C,50,0"}));
    const std::string bytes = ReadFile(dir / "out.DBF");
    ASSERT_EQ(bytes.size(), 66u);
    std::string expected(66, '\0');
    expected[0] = 0x03;
    expected.replace(1, 3, Today());
    expected[8] = 65;
    expected[10] = 51;
    expected.replace(32, 5, "EMAIL");
    expected[32 + 11] = 'C';
    expected[32 + 16] = 50;
    expected[64] = 0x0D;
    expected[65] = 0x1A;
    EXPECT_EQ(bytes, expected);
}

TEST(DbfCreate, DefinitionRules) {
    TempDir dir;
    const std::string name = (dir / "t.dbf").string();
    EXPECT_FALSE(dbf::CreateDbf(name, {"email,C,50,0", "name,C,30"}));  // two commas
    EXPECT_FALSE(dbf::CreateDbf(name, {"a,C,5,0,"}));
    EXPECT_FALSE(dbf::CreateDbf(name, {"skip,X,5,0"}));  // no field remains
    EXPECT_FALSE(std::filesystem::exists(name));

    const auto [number, message] = CreateError({"email,C,5,0", " ,C,5,0"});
    EXPECT_EQ(number, 220);
    EXPECT_EQ(message.rfind("Empty field name [CreateDbf(", 0), 0u) << message;
    EXPECT_TRUE(message.ends_with("t.dbf)]")) << message;
    const std::pair<int, std::string> range{201, "Range check error"};
    const std::pair<int, std::string> invalid{220, "Invalid dBASE field definition [CreateDBF]"};
    EXPECT_EQ(CreateError({"n,N,20,0"}), range);
    EXPECT_EQ(CreateError({"n,N,19,16"}), range);
    EXPECT_EQ(CreateError({"n,N,5,4"}), range);
    EXPECT_EQ(CreateError({"c,C,255,0"}), range);
    EXPECT_EQ(CreateError({"q,Q,5,0"}), range);
    EXPECT_EQ(CreateError({"c,C,0,0"}), invalid);
    EXPECT_EQ(CreateError({"n,N,,0"}), invalid);
    EXPECT_EQ(CreateError({"c,C,254,0", "n,N,19,15", "n2,N,5,3", "x,X,,"}),
              (std::pair<int, std::string>{0, ""}));
}

TEST(DbfCreate, FixedLengthsNamesAndMemoFile) {
    TempDir dir;
    ASSERT_TRUE(dbf::CreateDbf(
        (dir / "t.dbf").string(),
        {"  birthday ,d,0,3", "flag,L,9,0", "notes,M,1,0", "a_very_long_name,c,4,2"}));
    auto table = dbf::DbfTable::OpenFile((dir / "t.dbf").string(), {});
    EXPECT_EQ(table->Header().version, 0x8B);
    ASSERT_EQ(table->Fields().size(), 4u);
    const auto& f = table->Fields();
    EXPECT_EQ(f[0].FieldName, "BIRTHDAY");
    EXPECT_EQ(f[0].FieldLen, 8);
    EXPECT_EQ(f[0].FieldDec, 0);
    EXPECT_EQ(f[1].FieldLen, 1);
    EXPECT_EQ(f[2].FieldLen, 10);
    EXPECT_EQ(f[3].FieldName, "A_VERY_LON");
    EXPECT_EQ(f[3].FieldDec, 0);
    const std::string memo = ReadFile(dir / "t.dbt");
    ASSERT_EQ(memo.size(), 512u);
    EXPECT_EQ(memo[0], 1);  // next free block

    dbf::DbfEngine::Instance().Settings().memoAsNumber = true;
    ASSERT_TRUE(dbf::CreateDbf((dir / "n.dbf").string(), {"notes,M,1,0"}));
    dbf::DbfEngine::Instance().Settings().memoAsNumber = false;
    const auto numeric = dbf::DbfTable::OpenFile((dir / "n.dbf").string(), {});
    EXPECT_EQ(numeric->Fields()[0].FieldType, 'N');
    EXPECT_EQ(numeric->Fields()[0].FieldLen, 10);
    EXPECT_EQ(numeric->Header().version, 0x03);
}

TEST(DbfWrite, AppendEditDeleteAndReadBack) {
    TempDir dir;
    const std::string name = (dir / "out.dbf").string();
    {
        TTbDbf table("tbOut");
        table.SetDbfFileName(name);
        table.SetDbfFields(
            {"email,C,20,0", "n,N,5,0", "price,N,7,2", "day,D,8,0", "ok,L,1,0", "memo,M,10,0"});
        table.CreateTable();
        table.SetActive(true);
        EXPECT_TRUE(table.Eof());
        for (const char* email : {"a@b.c", "Jürgen@d.e", "x@y.z"}) {
            table.Append();
            table.Fields(0).SetAsString(email);
            table.Fields(1).SetAsString("42");
            table.Fields(2).SetAsString("3.5");
            table.Fields(3).SetAsString("2024-01-31");
            table.Fields(4).SetAsString("yes");
            table.Fields(5).SetAsString(std::string(email) + " notes");
            table.Post();
        }
        EXPECT_EQ(table.RecCount(), 3);
        table.First();
        table.Next();
        table.Delete();
        table.Edit();
        table.Fields(1).Clear();  // blanks, which read as 0
        table.Post();
        EXPECT_THROW(table.Fields(1).SetAsString("123456"), EDatabaseError);  // not editing
        table.Edit();
        EXPECT_THROW(table.Fields(1).SetAsString("123456"), ETableError);  // too wide
        EXPECT_THROW(table.Fields(1).SetAsString("abc"), EDatabaseError);
        table.Cancel();
    }
    const std::string bytes = ReadFile(name);
    EXPECT_EQ(bytes[4], 3);  // record count written on close
    EXPECT_EQ(bytes.substr(1, 3), Today());
    EXPECT_EQ(bytes.back(), '\x1A');
    const std::string first = " a@b.c" + std::string(15, ' ') + "   42   3.5020240131T" + Block(1);
    EXPECT_NE(bytes.find(first), std::string::npos);
    EXPECT_NE(bytes.find("*J\x81rgen@d.e"), std::string::npos);  // stored in code page 437

    ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
    TTbDbf table("tbIn");
    table.SetDbfFileName(name);
    EXPECT_EQ(ReadAll(table),
              (std::vector<std::string>{"a@b.c|42|3.5|01/31/24|True|a@b.c notes",
                                        "*Jürgen@d.e|0|3.5|01/31/24|True|Jürgen@d.e notes",
                                        "x@y.z|42|3.5|01/31/24|True|x@y.z notes"}));
    table.First();
    table.Next();
    table.Restore();
    EXPECT_FALSE(table.Deleted());
}

TEST(DbfWrite, AppendingAfterAnOldEndMarkKeepsOneAtTheEnd) {
    TempDir dir;
    WriteFile(dir / "t.dbf", DbfBytes({{"EMAIL", 'C', 5}}).Record({"one"}).EndMark().Build());
    {
        TTbDbf table("tb");
        table.SetDbfFileName((dir / "t.dbf").string());
        table.SetActive(true);
        table.Append();
        table.Fields(0).SetAsString("two");
        table.Post();
    }
    const std::string bytes = ReadFile(dir / "t.dbf");
    EXPECT_EQ(bytes.substr(bytes.size() - 13), " one   two  \x1A");
    EXPECT_EQ(bytes[4], 2);
}

TEST(DbfWrite, ReadOnlyTableRefusesChanges) {
    TempDir dir;
    WriteFile(dir / "t.dbf", DbfBytes({{"EMAIL", 'C', 5}}).Record({"one"}).Build());
    TTbDbf table("tb");
    table.SetDbfFileName((dir / "t.dbf").string());
    table.SetReadOnly(true);
    table.SetActive(true);
    try {
        table.Append();
        FAIL();
    } catch (const ETableError& e) {
        EXPECT_EQ(e.Number(), 5);
        EXPECT_EQ(e.Detail(),
                  "File:  " + (dir / "t.dbf").string() + " [Replace/Append/PutDbfRecord]");
    }
    EXPECT_THROW(table.Delete(), ETableError);
    table.Close();
    EXPECT_EQ(ReadFile(dir / "t.dbf"), DbfBytes({{"EMAIL", 'C', 5}}).Record({"one"}).Build());
}

}  // namespace
}  // namespace mv::test

// Memo files: both stored forms, block numbers that point nowhere, and a
// memo file that is missing.
#include <gtest/gtest.h>

#include "dbf_bytes.h"
#include "storage/dbf/table_error.h"
#include "test_support.h"

namespace mv::test {
namespace {

const std::vector<FieldSpec> kMemoFields = {{"EMAIL", 'C', 8}, {"NOTES", 'M', 10}};

std::string MemoTable(const std::vector<std::string>& blocks) {
    DbfBytes bytes(kMemoFields, 0x8B);
    for (const std::string& block : blocks) {
        bytes.Record({"x@y.z", block});
    }
    return bytes.Build();
}

std::vector<std::string> Notes(const std::string& data, const std::string& memo) {
    MemoryTbDbf table(data, memo);
    std::vector<std::string> notes;
    for (const std::string& row : ReadAll(table)) {
        notes.push_back(row.substr(row.find('|') + 1));
    }
    return notes;
}

int MemoError(const std::string& data, const std::string& memo) {
    try {
        Notes(data, memo);
    } catch (const ETableError& e) {
        return e.Number();
    }
    return 0;
}

TEST(DbfMemo, BothStoredFormsRead) {
    const std::string long_text = std::string(600, 'a') + "\r\nend";
    const std::string table = MemoTable({Block(1), Block(2), "", Block(0)});
    for (const bool lengthForm : {true, false}) {
        EXPECT_EQ(Notes(table, MemoBytes({"Call back\r\nin May", long_text}, lengthForm)),
                  (std::vector<std::string>{"Call back\r\nin May", long_text, "", ""}))
            << lengthForm;
    }
    // The second memo of a length-form file starts at block 2.
    EXPECT_EQ(MemoBytes({"a", long_text}, true).size(), 512u * 4);
}

TEST(DbfMemo, TextIsCodePage437UnlessItHoldsAZeroByte) {
    const std::string table = MemoTable({Block(1), Block(2)});
    const std::string memo = MemoBytes({"Stra\xE1"
                                        "e\x8D",
                                        std::string("Z\xFC\0", 3)},
                                       true);
    // 0x8D (a soft line break) is kept as stored; the zero byte means no conversion.
    EXPECT_EQ(Notes(table, memo),
              (std::vector<std::string>{"Straße\xC3\xAC", std::string("Zü\0", 4)}));
}

TEST(DbfMemo, TextWithoutEndMarkRunsToTheEndOfTheFile) {
    std::string memo = MemoBytes({}, false) + "open ended";
    EXPECT_EQ(Notes(MemoTable({Block(1)}), memo), std::vector<std::string>{"open ended"});
}

TEST(DbfMemo, MemosAreCutAt64KiB) {
    // A damaged file must not make every record read up to its end.
    const std::string big(70000, 'a');
    const std::string cut(65536, 'a');
    const std::string table = MemoTable({Block(1), Block(1)});
    EXPECT_EQ(Notes(table, MemoBytes({}, false) + big), (std::vector<std::string>{cut, cut}));
    EXPECT_EQ(Notes(table, MemoBytes({big}, true)), (std::vector<std::string>{cut, cut}));
}

TEST(DbfMemo, BlocksPastTheFileAreError1003) {
    const std::string memo = MemoBytes({"only one"}, false);  // 1024 bytes
    EXPECT_EQ(MemoError(MemoTable({Block(2)}), memo), 1003);
    EXPECT_EQ(MemoError(MemoTable({Block(4000000000)}), memo), 1003);
    EXPECT_EQ(MemoError(MemoTable({"    12x   "}), memo), 1003);
    // A stated length that runs past the end of the file.
    std::string cut = MemoBytes({std::string(100, 'q')}, true);
    cut[512 + 7] = '\x7F';
    EXPECT_EQ(MemoError(MemoTable({Block(1)}), cut), 1003);
}

TEST(DbfMemo, MissingMemoFile) {
    TempDir dir;
    WriteFile(dir / "list.dbf", MemoTable({Block(1)}));
    TTbDbf table("tbDbase");
    table.SetDbfFileName((dir / "list.dbf").string());
    try {
        table.SetActive(true);
        FAIL() << "opened without its memo file";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.Number(), 2);
        EXPECT_EQ(e.Detail(), "Memo file not found: " + (dir / "list.dbt").string());
    }
    EXPECT_FALSE(table.Active());
    // The memo file beside it, in either case of its extension.
    WriteFile(dir / "list.DBT", MemoBytes({"found"}, false));
    EXPECT_EQ(ReadAll(table), std::vector<std::string>{"x@y.z|found"});
}

TEST(DbfMemo, MemoFieldWithoutMemoFileIsAnError) {
    MemoryTbDbf table(
        DbfBytes(kMemoFields, 0x03).Record({"a", Block(1)}).Record({"b", ""}).Build());
    table.SetActive(true);
    try {
        (void)table.Fields(1).AsString();
        FAIL();
    } catch (const ETableError& e) {
        EXPECT_EQ(e.Number(), 1019);
    }
    table.Next();
    EXPECT_EQ(table.Fields(1).AsString(), "");
}

}  // namespace
}  // namespace mv::test

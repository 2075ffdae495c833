// Reading tables: the header checks, every field type, the older layout and
// damaged files.
#include <gtest/gtest.h>

#include <clocale>

#include "dbf_bytes.h"
#include "storage/dbf/dbf_table.h"
#include "storage/dbf/table_error.h"

namespace mv::test {
namespace {

// The engine error of opening and walking `data` as a table, or 0.
int ErrorOf(const std::string& data, std::string* detail = nullptr, const std::string& memo = {}) {
    MemoryTbDbf table(data, memo);
    try {
        ReadAll(table);
    } catch (const ETableError& e) {
        if (detail != nullptr) {
            *detail = e.Detail();
        }
        return e.Number();
    }
    return 0;
}

const std::vector<FieldSpec> kPeople = {{"EMAIL", 'C', 20}, {"AGE", 'N', 3}};

TEST(DbfRead, ErrorTextCarriesNumberDescriptionAndMessage) {
    const ETableError error(210, "x.dbf is not a dBASE database.");
    EXPECT_STREQ(error.what(),
                 "Error # 210 (Not a dBASE data file)\r\nx.dbf is not a dBASE database.");
    EXPECT_EQ(error.Number(), 210);
    EXPECT_STREQ(error.ClassName(), "ETableError");
    EXPECT_EQ(dbf::ErrorDescription(5), "File access denied");
    EXPECT_EQ(dbf::ErrorDescription(101), "Disk write error (probable cause: Disk Full).");
    EXPECT_EQ(dbf::ErrorDescription(254), "Table engine internal error");
    EXPECT_EQ(dbf::ErrorDescription(1250), "Network Error");
    EXPECT_EQ(dbf::ErrorDescription(0), "Undefined error");
    EXPECT_EQ(dbf::ErrorDescription(232), "Undefined error");
}

TEST(DbfRead, ShortFileAndVersionBytes) {
    std::string detail;
    EXPECT_EQ(ErrorOf(std::string(20, '\x03'), &detail), 210);
    EXPECT_EQ(detail,
              "memory.dbf is not a dBASE database. (Prolog is less than 32 bytes) [USE/OpenDBF]");

    std::string data = DbfBytes(kPeople).Record({"a@b.c", "  7"}).Build();
    data[0] = '\x30';
    EXPECT_EQ(ErrorOf(data, &detail), 210);
    EXPECT_EQ(detail, "memory.dbf is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
    for (const char version : {'\x03', '\x8B', '\x83', '\x0B'}) {
        data[0] = version;
        const std::string memo = (version & 0x80) != 0 ? MemoBytes({}, true) : "";
        MemoryTbDbf table(data, memo);
        EXPECT_EQ(ReadAll(table), std::vector<std::string>{"a@b.c|7"}) << int(version);
    }
}

TEST(DbfRead, FieldCountLimits) {
    std::vector<FieldSpec> fields;
    fields.reserve(256);
    for (int i = 0; i < 256; ++i) {
        fields.push_back({"F" + std::to_string(i), 'C', 1});
    }
    std::string detail;
    EXPECT_EQ(ErrorOf(DbfBytes(fields).Build(), &detail), 210);
    EXPECT_NE(detail.find("Number of fields is out of range"), std::string::npos);
    fields.pop_back();
    MemoryTbDbf table(DbfBytes(fields).Record({"x"}).Build());
    table.SetActive(true);
    EXPECT_EQ(table.FieldCount(), 255);
    EXPECT_EQ(table.Fields(254).FieldName(), "F254");
    EXPECT_EQ(ErrorOf(DbfBytes(kPeople).HeaderLength(63).Build()), 210);  // no room for one field
}

TEST(DbfRead, FieldNamesAreUpperCaseAndAtMostTenCharacters) {
    MemoryTbDbf table(
        DbfBytes({{"e-mail", 'C', 5}, {"ABCDEFGHIJK", 'C', 5}, {"", 'C', 2}}).Build());
    table.SetActive(true);
    ASSERT_EQ(table.FieldCount(), 2);  // the nameless field has no field object
    EXPECT_EQ(table.Fields(0).FieldName(), "E-MAIL");
    EXPECT_EQ(table.Fields(1).FieldName(), "ABCDEFGHIJ");
    EXPECT_EQ(table.DbfFieldProps().size(), 3u);
    EXPECT_EQ(table.DbfFieldProps()[2].FieldPos, 11);
}

TEST(DbfRead, UnknownTypeLetterIsError211) {
    std::string detail;
    EXPECT_EQ(ErrorOf(DbfBytes({{"EMAIL", 'C', 5}, {"BAD", 'X', 3}}).Build(), &detail), 211);
    EXPECT_EQ(detail, "Field: BAD [X] in memory.dbf is not a valid field type");
    EXPECT_EQ(ErrorOf(DbfBytes({{"NUL", '\0', 3}}).Build(), &detail), 211);
    EXPECT_EQ(detail, "Field: NUL [?] in memory.dbf is not a valid field type");
}

TEST(DbfRead, ValuesOfEveryFieldType) {
    ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
    const std::vector<FieldSpec> fields = {{"NAME", 'C', 20}, {"PRICE", 'N', 6, 2},
                                           {"QTY", 'N', 6},   {"RATE", 'F', 8, 2},
                                           {"DAY", 'D', 8},   {"OK", 'L', 1}};
    MemoryTbDbf table(DbfBytes(fields)
                          .Record({"Alice", " 12.50", "    42", "    3.50", "20240131", "y"})
                          .Record({"", "      ", "      ", "", "        ", "N"})
                          .Record({"  lead", "-0.50", "+7", "1e3", "20240230", "?"})
                          .Build());
    EXPECT_EQ(ReadAll(table),
              (std::vector<std::string>{"Alice|12.5|42|3.5|01/31/24|True", "|0|0|0||False",
                                        "  lead|-0.5|7|1000||False"}));
    EXPECT_EQ(table.Fields(0).DataType(), TFieldType::ftString);
    EXPECT_EQ(table.Fields(0).Size(), 20);
    EXPECT_EQ(table.Fields(1).DataType(), TFieldType::ftFloat);
    EXPECT_EQ(table.Fields(2).DataType(), TFieldType::ftInteger);
    EXPECT_EQ(table.Fields(4).DataType(), TFieldType::ftDate);
    EXPECT_EQ(dynamic_cast<TTbDateField&>(table.Fields(4)).EditMask(), "99/99/99;1; ");
    EXPECT_EQ(table.Fields(5).DataType(), TFieldType::ftBoolean);
}

TEST(DbfRead, GeneralFormatOfFloats) {
    EXPECT_EQ(FormatFloatGeneral(12.5, 6), "12.5");
    EXPECT_EQ(FormatFloatGeneral(-0.0, 6), "0");
    EXPECT_EQ(FormatFloatGeneral(1e20, 15), "1E20");
    EXPECT_EQ(FormatFloatGeneral(1.5e-7, 15), "1.5E-7");
    EXPECT_EQ(FormatFloatGeneral(0.00001, 15), "0.00001");
    EXPECT_EQ(FormatFloatGeneral(123456, 4), "1.235E5");
    EXPECT_EQ(FormatFloatGeneral(1234, 4), "1234");
    EXPECT_EQ(FormatFloatGeneral(9.99999, 3), "10");
    EXPECT_EQ(FormatFloatGeneral(-0.126, 2), "-0.13");
    // A double holds 15 significant digits; a 19-wide field shows no more.
    MemoryTbDbf table(DbfBytes({{"BIG", 'N', 19, 2}}).Record({"1234567890123456.78"}).Build());
    EXPECT_EQ(ReadAll(table), std::vector<std::string>{"1.23456789012346E15"});
}

TEST(DbfRead, IntegersThatDoNotFitAreClampedAndOthersHaveNoValue) {
    MemoryTbDbf table(DbfBytes({{"N", 'N', 12}})
                          .Record({"  9999999999"})
                          .Record({" -9999999999"})
                          .Record({"  2147483647"})
                          .Record({"  ***"})
                          .Record({"  1.5"})
                          .Record({"  1 2"})
                          .Build());
    EXPECT_EQ(ReadAll(table),
              (std::vector<std::string>{"2147483647", "-2147483648", "2147483647", "", "", ""}));
}

TEST(DbfRead, CharacterDataIsCodePage437OrWindows1252) {
    const std::string data = DbfBytes({{"CITY", 'C', 10}})
                                 .Record({"M\x81nchen"})
                                 .Record({std::string("a\0b", 3)})
                                 .Build();
    MemoryTbDbf oem(data);
    EXPECT_EQ(ReadAll(oem), (std::vector<std::string>{"München", "a"}));
    MemoryTbDbf ansi(data);
    ansi.SetTableLanguage(TTableLanguage::tlAnsi);
    EXPECT_EQ(ReadAll(ansi)[0], "M\xC2\x81nchen");  // 0x81 has no Windows-1252 letter
}

TEST(DbfRead, OlderLayout) {
    const std::vector<FieldSpec> fields = {{"NAME", 'C', 5}, {"N", 'N', 3}};
    MemoryTbDbf table(OldLayoutTable(fields, {"Ann   12", "Bob  345"}));
    EXPECT_EQ(ReadAll(table), (std::vector<std::string>{"Ann|12", "Bob|345"}));
    EXPECT_EQ(table.RecCount(), 2);

    std::string detail;
    EXPECT_EQ(ErrorOf(OldLayoutTable(fields, {}).substr(0, 520), &detail), 210);
    EXPECT_EQ(detail,
              "memory.dbf is not a dBASE database.(Header is less than 521 bytes) [Use/OpenDBF]");
    std::vector<FieldSpec> many(32, FieldSpec{"F", 'C', 1});
    EXPECT_EQ(ErrorOf(OldLayoutTable(many, {})), 0);
    std::string noEnd = OldLayoutTable(many, {});
    noEnd[520] = 'F';
    EXPECT_EQ(ErrorOf(noEnd, &detail), 210);
    EXPECT_NE(detail.find("Number of fields is out of range"), std::string::npos);
}

TEST(DbfRead, LengthsThatDisagreeAreRejected) {
    const DbfBytes good = DbfBytes(kPeople).Record({"a@b.c", "1"});
    EXPECT_EQ(ErrorOf(DbfBytes(good).RecordLength(0).Build()), 210);
    EXPECT_EQ(ErrorOf(DbfBytes(good).RecordLength(23).Build()), 210);
    // Padding after the fields: records are found by the header's length.
    MemoryTbDbf padded(DbfBytes(good).Record({"d@e.f", "22"}).RecordLength(31, 'Z').Build());
    EXPECT_EQ(ReadAll(padded), (std::vector<std::string>{"a@b.c|1", "d@e.f|22"}));
    EXPECT_EQ(ErrorOf(DbfBytes(good).HeaderLength(60000).Build()), 210);
    EXPECT_EQ(ErrorOf(DbfBytes(good).HeaderLength(32 + 32 * 5 + 1).Build()), 100);
}

TEST(DbfRead, RecordCountBeyondTheFile) {
    const std::string data =
        DbfBytes(kPeople).Record({"a@b.c", "1"}).Record({"d@e.f", "2"}).Count(0xFFFFFFFF).Build();
    MemoryTbDbf table(data);
    table.SetActive(true);
    EXPECT_EQ(table.RecCount(), 4294967295);
    table.Next();
    try {
        table.Next();
        FAIL() << "record 3 does not exist";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.Number(), 213);
        EXPECT_EQ(e.Detail(), "File:  memory.dbf  [GetDbfRecord]");
    }
    MemoryTbDbf fixed(data);
    fixed.SetAutoFixRecCount(true);
    EXPECT_EQ(ReadAll(fixed).size(), 2u);
    EXPECT_EQ(fixed.RecCount(), 2);
}

TEST(DbfRead, RecordNumbersOutsideTheTable) {
    auto table = dbf::DbfTable::OpenStreams(
        "t.dbf", std::make_unique<dbf::MemoryStream>(DbfBytes(kPeople).Record({"x"}).Build()),
        nullptr, {});
    try {
        table->ReadRecord(2);
        FAIL();
    } catch (const ETableError& e) {
        EXPECT_EQ(e.Number(), 212);
        EXPECT_EQ(e.Detail(), "Invalid record number = 2 (t.dbf)  [GetDbfRecord]");
    }
    EXPECT_THROW(table->ReadRecord(0), ETableError);
}

// Every prefix of a valid table (with memo) either reads or gives ETableError.
TEST(DbfRead, EveryTruncationIsAnErrorNotACrash) {
    const std::string memo = MemoBytes({"first memo", std::string(700, 'm')}, true);
    const std::string data =
        DbfBytes(
            {{"EMAIL", 'C', 12}, {"N", 'N', 5, 1}, {"D", 'D', 8}, {"L", 'L', 1}, {"M", 'M', 10}},
            0x8B)
            .Record({"a@b.c", " 12.5", "20240131", "T", Block(1)})
            .Record({"d@e.f", "  0.5", "", "F", Block(2)}, true)
            .EndMark()
            .Build();
    EXPECT_EQ(ErrorOf(data, nullptr, memo), 0);
    MemoryTbDbf whole(data, memo);
    EXPECT_EQ(ReadAll(whole),
              (std::vector<std::string>{"a@b.c|12.5|01/31/24|True|first memo",
                                        "*d@e.f|0.5||False|" + std::string(700, 'm')}));
    int errors = 0;
    for (std::size_t n = 0; n <= data.size(); ++n) {
        errors += ErrorOf(data.substr(0, n), nullptr, memo) != 0;
    }
    EXPECT_EQ(errors,
              static_cast<int>(data.size()) - 1);  // the whole file, with and without 0x1A, reads
    errors = 0;
    for (std::size_t n = 0; n <= memo.size(); n += 7) {
        MemoryTbDbf table(data, memo.substr(0, n));
        try {
            ReadAll(table);
        } catch (const ETableError&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0);
}

}  // namespace
}  // namespace mv::test

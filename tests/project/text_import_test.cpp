// Importing text and CSV files into the recipient list.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "project/import_export/import_export_error.h"
#include "project/import_export/recipient_import.h"
#include "test_support.h"

namespace mv {
namespace {

using Texts = std::vector<std::string>;

Texts Captions(const RecipientList& list) {
    Texts out;
    for (const ListColumn& column : list.Columns()) {
        out.push_back(column.caption);
    }
    return out;
}

// The caption and the sub-items of a row.
Texts RowTexts(const RecipientList& list, size_t row) {
    std::vector<std::string_view> views;
    list.Texts(row, views);
    return {views.begin(), views.end()};
}

class TextImportTest : public ::testing::Test {
  protected:
    std::filesystem::path File(const std::string& bytes, const std::string& name = "list.csv") {
        std::filesystem::path path = dir_ / name;
        test::WriteFile(path, bytes);
        return path;
    }
    // Previews and imports `bytes` with the automatic choices.
    ImportResult Import(const std::string& bytes, ImportMode mode = ImportMode::Append) {
        RecipientImport import(File(bytes));
        import.Open();
        import.SetMode(mode);
        return import.Import(list_);
    }

    test::TempDir dir_;
    RecipientList list_;
};

TEST_F(TextImportTest, HeaderLineWithAnEmailColumn) {
    RecipientImport import(File("Name,EMail,City\nAnn,ann@a.org,Oslo\nBob,bob@b.org,Rome\n"));
    EXPECT_EQ(import.FileKind(), ImportFileKind::Text);
    import.Open();
    EXPECT_EQ(import.ColumnNames(), (Texts{"Name", "EMail", "City"}));
    EXPECT_EQ(import.EmailColumn(), 1);
    EXPECT_EQ(import.FirstLine(), ImportFirstLine::Header);
    EXPECT_EQ(import.ProgressMax(), 3);

    const ImportResult result = import.Import(list_);
    EXPECT_EQ(result.rows, 2u);
    EXPECT_FALSE(result.stopped);
    EXPECT_TRUE(import.Stopped());  // no import runs
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Name", "City"}));
    EXPECT_EQ(list_.Column(2).width, 120);
    ASSERT_EQ(list_.RowCount(), 2u);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann", "Oslo"}));
    EXPECT_EQ(RowTexts(list_, 1), (Texts{"bob@b.org", "", "Bob", "Rome"}));
    // A new row: marked for checking, never checked, no transcript.
    EXPECT_EQ(list_.Row(0).stateIndex, kMarkChecked);
    EXPECT_EQ(list_.Row(0).imageIndex, kIconNotChecked);
    EXPECT_EQ(list_.Row(0).overlayIndex, -1);
    EXPECT_TRUE(list_.TranscriptOf(0).empty());
    EXPECT_EQ(import.ColumnMap()[0], 1);
    EXPECT_EQ(import.ColumnMap()[1], -1);
    EXPECT_EQ(import.ColumnMap()[2], 0);
    EXPECT_EQ(import.ColumnMap()[3], 2);
}

TEST_F(TextImportTest, FirstLineOfDataNamesTheExtraColumnAfterItsValue) {
    RecipientImport import(File("ann@a.org,Ann\n\"Smith, John\",john@j.org\na,b,\n"));
    import.Open();
    EXPECT_EQ(import.EmailColumn(), 0);
    EXPECT_EQ(import.FirstLine(), ImportFirstLine::Data);
    import.Import(list_);
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Ann"}));
    ASSERT_EQ(list_.RowCount(), 3u);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann"}));
    // The quoted comma stays in the field; the e-mail column is still field 0.
    EXPECT_EQ(RowTexts(list_, 1), (Texts{"Smith, John", "", "john@j.org"}));
    EXPECT_EQ(RowTexts(list_, 2), (Texts{"a", "", "b"}));
}

TEST_F(TextImportTest, EmailNamesWinOverAddressesAndNothingFoundKeepsTheSetting) {
    EXPECT_EQ(PickEmailColumn({"x@y", "E-Mail"}).index, 1);
    EXPECT_EQ(PickEmailColumn({"e-mail", "EMAIL"}).index, 1);  // "email" is looked for first
    const EmailColumnChoice none = PickEmailColumn({"a", "b"});
    EXPECT_EQ(none.index, 0);
    EXPECT_FALSE(none.firstLine.has_value());
    EXPECT_EQ(PickEmailColumn({}).index, -1);

    RecipientImport import(File("first,second\nx,y\n"));
    import.SetFirstLine(ImportFirstLine::Header);
    import.Open();
    EXPECT_EQ(import.EmailColumn(), 0);
    EXPECT_EQ(import.FirstLine(), ImportFirstLine::Header);
}

TEST_F(TextImportTest, ChoicesCanBeOverriddenBeforeImporting) {
    RecipientImport import(File("Mail,Name\nann@a.org,Ann\n"));
    import.Open();
    EXPECT_EQ(import.FirstLine(), ImportFirstLine::Data);  // "Mail" is not an e-mail name
    EXPECT_TRUE(import.SelectEmailColumn("mail"));
    EXPECT_FALSE(import.SelectEmailColumn("Phone"));
    EXPECT_THROW(import.SetEmailColumn(2), std::out_of_range);
    import.SetFirstLine(ImportFirstLine::Header);
    import.Import(list_);
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Name"}));
    ASSERT_EQ(list_.RowCount(), 1u);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann"}));
}

TEST_F(TextImportTest, BlankLinesAreSkippedButStepTheProgress) {
    RecipientImport import(File("Email\n\na@a.org\n   \t \n\nb@b.org\n \n"));
    import.Open();
    EXPECT_EQ(import.ProgressMax(), 7);
    std::vector<int64_t> positions;
    import.OnProgress = [&](RecipientImport & sender, int64_t position) {
        EXPECT_EQ(&sender, &import);
    positions.push_back(position);
};
EXPECT_EQ(import.Import(list_).rows, 2u);
EXPECT_EQ(positions, (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));  // every line after the header
EXPECT_EQ(list_.Caption(0), "a@a.org");
EXPECT_EQ(list_.Caption(1), "b@b.org");
}  // namespace

TEST_F(TextImportTest, AnAddressAProjectFileCannotStoreIsRefusedOrStoredInAscii) {
    const ImportResult result = Import(
        "Email,Name\n"
        "\xe5\xbc\xa0@x.test,Zhang\n"                    // local part: a CJK letter
        "Ann <ann@\xe4\xbe\x8b.test>,Ann\n"              // domain: a CJK letter
        "jos\xc3\xa9@m\xc3\xbcnchen.test,Jos\xc3\xa9\n"  // both fit
        "plain@x.test \xf0\x9f\x98\x80,Emoji\n");        // outside the address
    EXPECT_EQ((std::pair{result.rows, result.refused}), (std::pair<size_t, size_t>{3, 1}));
    EXPECT_EQ(list_.Caption(0), "Ann <ann@xn--fsq.test>");
    EXPECT_EQ(list_.Caption(1), "jos\xc3\xa9@m\xc3\xbcnchen.test");
    EXPECT_EQ(list_.Caption(2), "plain@x.test \xf0\x9f\x98\x80");
}

TEST_F(TextImportTest, AFirstLineWithTabsAndNoCommaSplitsEveryLineAtTabs) {
    Import("Name\tEmail\nSmith, John\tjohn@j.org\n");
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Name"}));
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"john@j.org", "", "Smith, John"}));
    // With a comma in the first line the comma rule holds.
    Import("Email,Name\tTab\nann@a.org,Ann\tB\n", ImportMode::Replace);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann\tB"}));
}

TEST_F(TextImportTest, AppendingTwiceDoublesTheRowsWithoutNewColumns) {
    const std::string file = "Name,Email\nAnn,ann@a.org\nBob,bob@b.org\n";
    Import(file);
    Import(file);
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Name"}));
    ASSERT_EQ(list_.RowCount(), 4u);
    EXPECT_EQ(RowTexts(list_, 2), RowTexts(list_, 0));
    EXPECT_EQ(RowTexts(list_, 3), RowTexts(list_, 1));

    // The same object imports again from the start of the file.
    RecipientImport import(File(file));
    import.Import(list_);
    import.Import(list_);
    EXPECT_EQ(list_.RowCount(), 8u);
}

TEST_F(TextImportTest, AppendFillsColumnsTheFileLacksWithEmptyValues) {
    Import("Email,Name\nann@a.org,Ann\n");
    Import("City,Email\nOslo,bob@b.org\n");
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Name", "City"}));
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann"}));
    EXPECT_EQ(RowTexts(list_, 1), (Texts{"bob@b.org", "", "", "Oslo"}));
}

TEST_F(TextImportTest, ReplaceResetsRowsAndColumnsFirst) {
    Import("Email,Old\nold@o.org,x\n");
    list_.SetColumnWidth(0, 300);
    Import("Email,Name\nann@a.org,Ann\n", ImportMode::Replace);
    EXPECT_EQ(list_.Columns(),
              (std::vector<ListColumn>{{"Email", 120}, {"Result", 290}, {"Name", 120}}));
    ASSERT_EQ(list_.RowCount(), 1u);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"ann@a.org", "", "Ann"}));
}

TEST_F(TextImportTest, StopLetsTheCurrentLineCompleteAndKeepsTheRows) {
    std::string file;
    for (int i = 0; i < 1000; ++i) {
        file += "user" + std::to_string(i) + "@x.org\n";
    }
    RecipientImport import(File(file));
    import.OnProgress = [](RecipientImport & sender, int64_t position) {
        EXPECT_FALSE(sender.Stopped());
    if (position == 100) {
        sender.Stop();
    }
};
const ImportResult result = import.Import(list_);
EXPECT_TRUE(result.stopped);
EXPECT_EQ(result.rows, 100u);
ASSERT_EQ(list_.RowCount(), 100u);
EXPECT_EQ(list_.Caption(99), "user99@x.org");
// A new import starts again from the first line.
import.OnProgress = nullptr;
EXPECT_EQ(import.Import(list_).rows, 1000u);
}  // namespace mv

TEST_F(TextImportTest, ColumnsOfTheSameNameShareOneListColumnAndTheLaterWins) {
    Import("Email,Tag,TAG,tag\na@a.org,one,two,three\nb@b.org,four,five\n");
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "Tag"}));
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"a@a.org", "", "three"}));
    // The later column is missing on a short line: its value is empty.
    EXPECT_EQ(RowTexts(list_, 1), (Texts{"b@b.org", "", ""}));
}

TEST_F(TextImportTest, OnlyTheFirst255ListColumnsReceiveValues) {
    std::string header = "Email";
    std::string data = "a@a.org";
    for (int i = 0; i < 300; ++i) {
        header += ",c" + std::to_string(i);
        data += ",v" + std::to_string(i);
    }
    RecipientImport import(File(header + "\n" + data + "\n"));
    import.Import(list_);
    ASSERT_EQ(list_.ColumnCount(), 302u);  // every column is added
    EXPECT_EQ(list_.Column(301).caption, "c299");
    ASSERT_EQ(list_.RowCount(), 1u);
    // Result and list columns 2..254: 1 + 253 sub-items.
    EXPECT_EQ(list_.SubItemCount(0), 254u);
    EXPECT_EQ(list_.SubItem(0, 1), "v0");
    EXPECT_EQ(list_.SubItem(0, 253), "v252");
    EXPECT_EQ(list_.SubItem(0, 254), "");
    EXPECT_EQ(import.ColumnMap()[254], 253);

    // A second file's column that lands beyond 254 gets no values either.
    Import("Email,Late\nb@b.org,late\n");
    EXPECT_EQ(list_.Column(302).caption, "Late");
    EXPECT_EQ(list_.SubItemCount(1), 254u);
}

TEST_F(TextImportTest, HugeLinesKeepTheMappedFieldsWhereverTheyAre) {
    // Repeated names map the last of them, far out in the line.
    std::string header = "Email";
    std::string data = "a@a.org";
    for (int i = 1; i <= 100000; ++i) {
        header += ",x";
        data += ",v" + std::to_string(i);
    }
    Import(header + "\n" + data + "\n" + "b@b.org" + std::string(100000, ',') + "\n");
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "x"}));
    ASSERT_EQ(list_.RowCount(), 2u);
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"a@a.org", "", "v100000"}));
    EXPECT_EQ(RowTexts(list_, 1), (Texts{"b@b.org", "", ""}));
}

TEST_F(TextImportTest, EmptyLinesAndNamesStillGetColumns) {
    RecipientImport empty(File(""));
    empty.Open();
    EXPECT_EQ(empty.ColumnNames(), (Texts{""}));
    EXPECT_EQ(empty.ProgressMax(), 1);
    EXPECT_EQ(empty.Import(list_).rows, 0u);
    EXPECT_EQ(list_.ColumnCount(), 2u);

    Import("Email,,City\na@a.org,x,Oslo\n");
    EXPECT_EQ(Captions(list_), (Texts{"Email", "Result", "", "City"}));
    EXPECT_EQ(RowTexts(list_, 0), (Texts{"a@a.org", "", "x", "Oslo"}));
}

TEST_F(TextImportTest, OneBracketOfTheListAroundTheWholeImport) {
    struct Counter : RecipientListObserver {
        int resets = 0;
        int inserts = 0;
        void Reset() override { ++resets; }
        void RowsInserted(size_t, size_t) override { ++inserts; }
    } counter;
    list_.AddObserver(&counter);
    Import("Email,Name\na@a.org,A\nb@b.org,B\n");
    list_.RemoveObserver(&counter);
    EXPECT_EQ(counter.resets, 1);
    EXPECT_EQ(counter.inserts, 0);
}

TEST_F(TextImportTest, APreviewInSlicesGivesWhatOneCallGives) {
    std::string text = "Name,Email\n";
    for (int i = 0; i < 100; ++i) {
        text += "N" + std::to_string(i) + ",n" + std::to_string(i) + "@x.org\n";
    }
    text += "Z\xe9,z@x.org\n";  // not UTF-8: the whole file is Windows-1252
    RecipientImport whole(File(text));
    whole.Open();
    RecipientImport sliced(File(text));
    sliced.BeginOpen();
    int slices = 1;
    const auto past = RecipientImport::Clock::now() - std::chrono::seconds(1);
    while (sliced.OpenSome(past)) {
        EXPECT_FALSE(sliced.IsOpen());
        ++slices;
    }
    EXPECT_GT(slices, 2);
    ASSERT_TRUE(sliced.IsOpen());
    EXPECT_EQ(sliced.ColumnNames(), whole.ColumnNames());
    EXPECT_EQ(sliced.EmailColumn(), 1);
    EXPECT_EQ(sliced.FirstLine(), ImportFirstLine::Header);
    EXPECT_EQ(sliced.ProgressMax(), 102);
    EXPECT_EQ(sliced.Encoding(), TextEncoding::Windows1252);
    sliced.BeginOpen();  // an import finishes a preview under way
    sliced.OpenSome(past);
    EXPECT_EQ(sliced.Import(list_).rows, 101u);
    EXPECT_EQ(list_.Caption(100), "z@x.org");
}

TEST_F(TextImportTest, SlicesShareOneBracketAndAStopBetweenThemKeepsTheRows) {
    struct Counter : RecipientListObserver {
        int resets = 0;
        void Reset() override { ++resets; }
    } counter;
    list_.AddObserver(&counter);
    const std::filesystem::path file = File("Email\na@x.org\n\nb@x.org\nc@x.org\n");
    RecipientImport import(file);
    import.BeginImport(list_);
    EXPECT_TRUE(list_.Updating());
    const auto past = RecipientImport::Clock::now() - std::chrono::seconds(1);
    for (int slice = 0; slice < 3; ++slice) {  // a slice past its end still takes one line
        EXPECT_TRUE(import.ImportSome(past));
    }
    EXPECT_EQ(import.Position(), 3);
    import.Stop();
    EXPECT_FALSE(import.ImportSome(past));
    const ImportResult result = import.EndImport();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.rows, 2u);
    EXPECT_EQ(list_.Caption(1), "b@x.org");
    EXPECT_FALSE(list_.Updating());
    EXPECT_EQ(counter.resets, 1);
    {
        RecipientImport abandoned(file);
        abandoned.BeginImport(list_);
        abandoned.ImportSome(past);
    }
    list_.RemoveObserver(&counter);
    EXPECT_FALSE(list_.Updating());  // destroying a running import ends it
    EXPECT_EQ(list_.RowCount(), 3u);
}

TEST_F(TextImportTest, ErrorsNameTheFileAndKeepTheList) {
    Import("a@a.org\n");
    const std::filesystem::path missing = dir_ / "missing.csv";
    RecipientImport import(missing);
    try {
        import.Import(list_);
        FAIL() << "no error";
    } catch (const EImportError& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
        EXPECT_STREQ(e.ClassName(), "EImportError");
    }
    RecipientImport folder(dir_.path());
    EXPECT_THROW(folder.Open(), Exception);
    EXPECT_EQ(list_.RowCount(), 1u);
}

TEST_F(TextImportTest, ProgressHandlerMayNotCloseTheImport) {
    RecipientImport import(File("a@a.org\nb@b.org\n"));
    import.OnProgress = [](RecipientImport & sender, int64_t) { sender.Close();
};
EXPECT_THROW(import.Import(list_), std::logic_error);
EXPECT_EQ(list_.RowCount(), 0u);
EXPECT_TRUE(import.Stopped());
import.OnProgress = nullptr;
EXPECT_EQ(import.Import(list_).rows, 2u);  // still usable
}

}  // namespace
}  // namespace mv

// How the bytes of a text import become lines and characters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/import_export/recipient_import.h"
#include "project/import_export/text_line_reader.h"
#include "test_support.h"

namespace mv {
namespace {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

class TextEncodingTest : public ::testing::Test {
  protected:
    std::filesystem::path File(const std::string& bytes) {
        std::filesystem::path path = dir_ / "list.txt";
        test::WriteFile(path, bytes);
        return path;
    }
    Texts Lines(const std::string& bytes) {
        TextLineReader reader(File(bytes));
        Texts lines;
        std::string_view line;
        while (reader.ReadLine(line)) {
            lines.emplace_back(line);
        }
        EXPECT_TRUE(reader.AtEnd());
        return lines;
    }
    // Imports `bytes` (first line data) and returns the captions.
    Texts Captions(const std::string& bytes, TextEncoding expected) {
        RecipientImport import(File(bytes));
        import.Open();
        EXPECT_EQ(import.Encoding(), expected);
        import.SetFirstLine(ImportFirstLine::Data);
        RecipientList list;
        import.Import(list);
        Texts out;
        for (size_t row = 0; row < list.RowCount(); ++row) {
            out.emplace_back(list.Caption(row));
        }
        return out;
    }

    test::TempDir dir_;
};

TEST_F(TextEncodingTest, LineEnds) {
    EXPECT_EQ(Lines("a\nb\n"), (Texts{"a", "b"}));
    EXPECT_EQ(Lines("a\r\nb\r\n"), (Texts{"a", "b"}));
    EXPECT_EQ(Lines("a\rb\r"), (Texts{"a", "b"}));
    EXPECT_EQ(Lines("a\r\n\r\nb"), (Texts{"a", "", "b"}));  // last line without an end
    EXPECT_EQ(Lines("a\n\rb\r\r\n"), (Texts{"a", "", "b", ""}));
    EXPECT_EQ(Lines(""), Texts{});
    EXPECT_EQ(Lines("\n"), (Texts{""}));
    EXPECT_EQ(Lines("x\0y\n"s), (Texts{"x\0y"s}));
}

TEST_F(TextEncodingTest, LinesAcrossReadBlocks) {
    // A CR at the end of the first 1 MiB block and its LF at the start of
    // the next; then a line far longer than a block.
    const std::string first(size_t{1} << 20, 'a');
    const std::string longLine(size_t{3} << 20, 'b');
    const std::string bytes = first.substr(1) + "\r\n" + longLine + "\nc";
    const Texts lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], first.substr(1));
    EXPECT_EQ(lines[1], longLine);
    EXPECT_EQ(lines[2], "c");
}

TEST_F(TextEncodingTest, RewindReadsFromTheFirstLineAgain) {
    TextLineReader reader(File("\xEF\xBB\xBFone\r\ntwo"));
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "one");
    EXPECT_TRUE(reader.HasByteOrderMark());
    reader.Rewind();
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "two");
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST_F(TextEncodingTest, Utf8WithAndWithoutByteOrderMark) {
    EXPECT_EQ(Captions("z\xC3\xB6@x.org\r\n\xE2\x82\xAC@y.org\r\n", TextEncoding::Utf8),
              (Texts{"z\xC3\xB6@x.org", "\xE2\x82\xAC@y.org"}));
    // The mark is not part of the first field, so "Email" is recognised.
    RecipientImport import(
        File("\xEF\xBB\xBF"
             "Email,Name\nz\xC3\xB6@x.org,J\xC3\xB6rg\n"));
    import.Open();
    EXPECT_EQ(import.ColumnNames(), (Texts{"Email", "Name"}));
    EXPECT_EQ(import.FirstLine(), ImportFirstLine::Header);
    RecipientList list;
    import.Import(list);
    ASSERT_EQ(list.RowCount(), 1u);
    EXPECT_EQ(list.SubItem(0, 1), "J\xC3\xB6rg");
}

TEST_F(TextEncodingTest, Windows1252WhenAnyLineIsNotUtf8) {
    EXPECT_EQ(Captions("z\xF6@x.org\n\x80@y.org\n", TextEncoding::Windows1252),
              (Texts{"z\xC3\xB6@x.org", "\xE2\x82\xAC@y.org"}));
    // Decided for the whole file: the UTF-8-looking first line is read as
    // Windows-1252 too.
    EXPECT_EQ(Captions("\xC3\xA9@x.org\n\xE9@y.org\n", TextEncoding::Windows1252),
              (Texts{"\xC3\x83\xC2\xA9@x.org", "\xC3\xA9@y.org"}));
}

TEST_F(TextEncodingTest, FileChangedAfterThePreviewStillGivesUtf8) {
    RecipientImport import(File("a@x.org\n"));
    import.Open();
    EXPECT_EQ(import.Encoding(), TextEncoding::Utf8);
    test::WriteFile(dir_ / "list.txt", "\xE9@x.org\n");
    RecipientList list;
    import.Import(list);
    ASSERT_EQ(list.RowCount(), 1u);
    EXPECT_EQ(list.Caption(0), "\xC3\xA9@x.org");
}

}  // namespace
}  // namespace mv

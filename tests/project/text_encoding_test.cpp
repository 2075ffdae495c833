// How the bytes of a text import become lines and characters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/import_export/import_export_error.h"
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
    Texts Lines(const std::string& bytes, size_t blockSize) {
        TextLineReader reader(File(bytes), blockSize);
        Texts lines;
        std::string_view line;
        while (reader.ReadLine(line)) {
            lines.emplace_back(line);
        }
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
    EXPECT_EQ(reader.Mark(), ByteOrderMark::Utf8);
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

// `text` in UTF-16 with its byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST_F(TextEncodingTest, Utf16WithEitherByteOrderMark) {
    // As a spreadsheet saves "Unicode Text": a mark, tabs, CR LF. U+010A
    // holds the byte of a line feed; U+1F600 is a surrogate pair.
    const std::u16string text =
        u"Na\u010Ame\tEmail\r\nJ\u00F6rg\tj@x.org\r\n\U0001F600\t\u20AC@y.org\r\n";
    for (const bool bigEndian : {false, true}) {
        RecipientImport import(File(Utf16(text, bigEndian)));
        import.Open();
        EXPECT_EQ(import.Encoding(), bigEndian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le);
        EXPECT_EQ(import.ColumnNames(), (Texts{"Na\xC4\x8Ame", "Email"}));
        EXPECT_EQ(import.FirstLine(), ImportFirstLine::Header);
        RecipientList list;
        import.Import(list);
        ASSERT_EQ(list.RowCount(), 2u) << bigEndian;
        EXPECT_EQ(list.Caption(0), "j@x.org");
        EXPECT_EQ(list.SubItem(0, 1), "J\xC3\xB6rg");
        EXPECT_EQ(list.Caption(1), "\xE2\x82\xAC@y.org");
        EXPECT_EQ(list.SubItem(1, 1), "\xF0\x9F\x98\x80");
    }
}

TEST_F(TextEncodingTest, Utf16AcrossReadBlocksAndBrokenUnits) {
    // Blocks of 5 bytes split units and surrogate pairs; a lone surrogate
    // and an odd last byte become U+FFFD.
    const std::string bytes = Utf16(u"a\U0001F600b\r\n\xD800x\r\n\xDC00", false) + "z";
    const Texts expected = {
        "a\xF0\x9F\x98\x80"
        "b",
        "\xEF\xBF\xBDx", "\xEF\xBF\xBD\xEF\xBF\xBD"};
    for (const size_t blockSize : {size_t{1}, size_t{5}, TextLineReader::kDefaultBlockSize}) {
        EXPECT_EQ(Lines(bytes, blockSize), expected) << blockSize;
    }
}

TEST_F(TextEncodingTest, ANulByteNearTheStartIsNoTextFile) {
    const auto withNulAt = [](size_t at) {
        std::string bytes(5000, 'a');
        bytes[0] = '\n';
        bytes[at] = '\0';
        return bytes;
    };
    for (const auto& [bytes, refused] :
         std::vector<std::pair<std::string, bool>>{{"a@b.c\n\0\x01\x02"s, true},
                                                   {withNulAt(4095), true},
                                                   {withNulAt(4096), false},
                                                   {Utf16(u"a@b.c", false), false}}) {
        RecipientImport import(File(bytes));
        try {
            import.Open();
            EXPECT_FALSE(refused);
        } catch (const EImportError& e) {
            EXPECT_TRUE(refused);
            EXPECT_EQ(std::string(e.what()), "Cannot import " + (dir_ / "list.txt").string() +
                                                 ": it is not a text file (it holds NUL bytes "
                                                 "and has no UTF-16 byte-order mark)");
        }
    }
}

}  // namespace
}  // namespace mv

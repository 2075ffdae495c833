#include "project/import_export/csv_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mv {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitFieldsTest, CommasQuotesAndTrimming) {
    EXPECT_EQ(SplitFields("a,b,c"), (Fields{"a", "b", "c"}));
    // A quoted comma stays inside its field; the quotes go.
    EXPECT_EQ(SplitFields("\"Smith, John\",john@example.com"),
              (Fields{"Smith, John", "john@example.com"}));
    // Blanks and control characters go from both ends, also inside quotes.
    EXPECT_EQ(SplitFields("  a\t, \" b \" ,\x01z\x1f"), (Fields{"a", "b", "z"}));
    // Every quote is removed, doubled ones too.
    EXPECT_EQ(SplitFields("say \"\"hi\"\",x"), (Fields{"say hi", "x"}));
    // Bytes above 0x7F are kept, at the ends too.
    EXPECT_EQ(SplitFields("\xC3\xA9t\xC3\xA9,x"), (Fields{"\xC3\xA9t\xC3\xA9", "x"}));
}

TEST(SplitFieldsTest, EmptyFieldsAndTheTrailingComma) {
    EXPECT_EQ(SplitFields(""), (Fields{""}));
    EXPECT_EQ(SplitFields("a,b,"), (Fields{"a", "b"}));
    EXPECT_EQ(SplitFields(","), (Fields{""}));
    EXPECT_EQ(SplitFields(",,,"), (Fields{"", "", ""}));
    EXPECT_EQ(SplitFields("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(SplitFields(",a"), (Fields{"", "a"}));
    // A trailing comma inside quotes is text, and an unclosed quote runs
    // to the end of the line.
    EXPECT_EQ(SplitFields("a,\"b,\""), (Fields{"a", "b,"}));
    EXPECT_EQ(SplitFields("a,\"b,c"), (Fields{"a", "b,c"}));
}

TEST(SplitFieldsTest, ViewsStayValidWhileQuotedFieldsAreCopied) {
    std::string buffer = "left over from before";
    std::vector<std::string_view> fields;
    const std::string line = "\"x,1\",plain,\"y\"\"2\",\"" + std::string(300, 'q') + "\"";
    SplitFields(line, buffer, fields);
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0], "x,1");
    EXPECT_EQ(fields[1], "plain");
    EXPECT_EQ(fields[2], "y2");
    EXPECT_EQ(fields[3], std::string(300, 'q'));
}

TEST(SplitFieldsTest, OnlyTheWantedFieldsAreKept) {
    std::string line = "\"a,0\"";
    for (int i = 1; i < 100000; ++i) {
        line += ",\"q" + std::to_string(i) + "\"";
    }
    std::string buffer;
    std::vector<std::string_view> fields;
    SplitWantedFields(line, ',', std::vector<size_t>{0, 7, 7, 99999, 100000}, buffer, fields);
    EXPECT_EQ(fields, (std::vector<std::string_view>{"a,0", "q7", "q7", "q99999", ""}));
    EXPECT_LT(buffer.capacity(), 100u);  // no copy of the fields that are not wanted

    SplitWantedFields(" x\t, y ,", ',', std::vector<size_t>{1, 2}, buffer, fields);
    EXPECT_EQ(fields, (std::vector<std::string_view>{"y", ""}));  // no field after the last comma
    SplitWantedFields("a\tb", '\t', std::vector<size_t>{}, buffer, fields);
    EXPECT_TRUE(fields.empty());
}

TEST(NextTokenTest, PositionsAreOneBasedAndZeroEndsTheWalk) {
    const CharSet comma = MakeCharSet(",");
    size_t position = 1;
    EXPECT_EQ(NextToken("ab,c", comma, position), "ab");
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(NextToken("ab,c", comma, position), "c");
    EXPECT_EQ(position, 0u);

    for (const size_t bad : {size_t{0}, size_t{5}, size_t{100}}) {
        position = bad;
        EXPECT_EQ(NextToken("ab,c", comma, position), "");
        EXPECT_EQ(position, 0u);
    }
    position = 1;
    EXPECT_EQ(NextToken("ab,c", CharSet(), position), "");
    EXPECT_EQ(position, 0u);

    // Several delimiters, and the quote switch across them.
    const CharSet set = MakeCharSet(";|");
    position = 2;
    EXPECT_EQ(NextToken("x\"a;b\"|c;d", set, position), "\"a;b\"");
    EXPECT_EQ(position, 8u);
    EXPECT_EQ(NextToken("x\"a;b\"|c;d", set, position), "c");
    EXPECT_EQ(position, 10u);
}

TEST(RemoveCharTest, KeepsTheLengthWithBlanksAtTheEnd) {
    std::string text = "\"a\"b\"";
    RemoveChar(text, '"');
    EXPECT_EQ(text, "ab   ");
    std::string none = "abc";
    RemoveChar(none, 'x');
    EXPECT_EQ(none, "abc");
}

}  // namespace
}  // namespace mv

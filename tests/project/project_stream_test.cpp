#include <gtest/gtest.h>

#include <string>

#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"
#include "project_stream_fixtures.h"
#include "test_support.h"

namespace mv {
namespace {

// Collects everything written.
class StringSink : public ByteSink {
  public:
    void Write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
    using ByteSink::Write;
    std::string bytes;
};

std::string Written(const RecipientList& list, const ListBounds& bounds = {}) {
    StringSink sink;
    WriteProject(list, sink, bounds);
    return sink.bytes;
}

RecipientRow MakeRow(std::string caption, std::vector<std::string> subItems, int32_t image,
                     int32_t state) {
    RecipientRow row;
    row.caption = std::move(caption);
    row.subItems = std::move(subItems);
    row.imageIndex = image;
    row.stateIndex = state;
    return row;
}

// The message of the EReadError that reading `bytes` raises.
std::string ReadError(const std::string& bytes, RecipientList* into = nullptr) {
    RecipientList local;
    try {
        ReadProject(into ? *into : local, bytes);
    } catch (const EReadError& error) {
        return error.what();
    }
    return "(no error)";
}

// Swaps one property entry name of a written stream for another of the same
// or a different length.
std::string Replace(std::string bytes, const std::string& from, const std::string& to) {
    const size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return bytes.replace(at, from.size(), to);
}

std::string Short(const std::string& text) {
    return static_cast<char>(text.size()) + text;
}

TEST(ProjectStream, EmptyProjectByteForByte) {
    RecipientList list;
    EXPECT_EQ(Written(list), test::EmptyProjectBytes());

    RecipientList read;
    read.AppendRow(MakeRow("old@row", {}, 0, 0));
    ReadProject(read, test::EmptyProjectBytes());
    EXPECT_EQ(read.RowCount(), 0u);  // a file without items empties the list
    EXPECT_EQ(read.Columns(), (std::vector<ListColumn>{{"Email", 120}, {"Result", 290}}));
}

TEST(ProjectStream, SmallProjectMatchesTheHandBuiltBytes) {
    RecipientList list;
    list.AddColumn("Name", 50);
    list.AppendRow(MakeRow("a@b.c", {"ok", "Ann"}, 0, 0));
    list.AppendRow(MakeRow("x@y.z", {}, -1, 1));
    EXPECT_EQ(Written(list), test::SmallProjectBytes());

    RecipientList read;
    ListBounds bounds{1, 2, 3, 4};
    ReadProject(read, test::SmallProjectBytes(), &bounds);
    EXPECT_EQ(bounds, ListBounds());
    ASSERT_EQ(read.RowCount(), 2u);
    EXPECT_EQ(read.Row(0), list.Row(0));
    EXPECT_EQ(read.Row(1), list.Row(1));
    EXPECT_EQ(read.Columns(), list.Columns());
}

TEST(ProjectStream, EveryIconAndMarkSurvivesARoundTripButNoTranscript) {
    RecipientList list;
    list.AddColumn("City", 120);
    list.AddColumn("Phone", 77);
    const int32_t icons[] = {-1, 0, 1, 2};
    const int32_t marks[] = {0, 1};
    for (int32_t icon : icons) {
        for (int32_t mark : marks) {
            RecipientRow row = MakeRow("r" + std::to_string(icon) + std::to_string(mark),
                                       {"[550] Mailbox unavailable", "Lisboa", ""}, icon, mark);
            row.transcript = {"HELO me", "250 ok"};
            row.overlayIndex = icon == 2 ? 7 : -1;
            list.AppendRow(row);
        }
    }
    list.AppendRow(MakeRow("", {}, -1, 1));  // empty caption, no sub-items

    RecipientList read;
    ReadProject(read, Written(list));
    ASSERT_EQ(read.RowCount(), list.RowCount());
    for (size_t i = 0; i < list.RowCount(); ++i) {
        RecipientRow expected = list.Row(i);
        expected.transcript.clear();
        EXPECT_EQ(read.Row(i), expected) << "row " << i;
    }
    EXPECT_EQ(read.Columns(), list.Columns());
}

TEST(ProjectStream, ItemTextsAreCutTo255BytesButColumnCaptionsAreNot) {
    const std::string longText(300, 'x');
    RecipientList list;
    list.AddColumn(longText, 120);
    list.AppendRow(MakeRow(longText, {longText}, -1, 1));
    const std::string bytes = Written(list);
    // The long caption travels as a long string: tag 12 and a 4-byte length.
    EXPECT_NE(bytes.find(std::string("\x0C\x2C\x01\x00\x00", 5) + longText), std::string::npos);

    RecipientList read;
    ReadProject(read, bytes);
    EXPECT_EQ(read.Caption(0), longText.substr(0, 255));
    EXPECT_EQ(read.SubItem(0, 0), longText.substr(0, 255));
    EXPECT_EQ(read.Column(2).caption, longText);

    // The cut counts bytes of the ANSI text: 300 "é" are 300 bytes there.
    RecipientList accents;
    std::string e300;
    for (int i = 0; i < 300; ++i) {
        e300 += "\xC3\xA9";
    }
    accents.AppendRow(MakeRow(e300, {}, -1, 1));
    RecipientList readAccents;
    ReadProject(readAccents, Written(accents));
    EXPECT_EQ(readAccents.Caption(0), e300.substr(0, 510));
}

TEST(ProjectStream, WidthFiftyIsLeftOutAndComesBackAsTheDefault) {
    RecipientList list;
    list.SetColumns({{"A", 50}, {"", 51}, {"", -1}});
    const std::string bytes = Written(list);
    EXPECT_NE(bytes.find(Short("Caption") + "\x06" + Short("A") + '\0'), std::string::npos);
    EXPECT_NE(bytes.find(Short("Width") + "\x02\x33"), std::string::npos);
    // An automatic width travels as "WidthType", a list with one integer.
    EXPECT_NE(bytes.find(Short("WidthType") + std::string("\x01\x02\xFF\x00", 4)),
              std::string::npos);

    RecipientList read;
    ReadProject(read, bytes);
    EXPECT_EQ(read.Columns(), list.Columns());
}

TEST(ProjectStream, IntegersTakeTheSmallestWidth) {
    RecipientList list;
    const std::string bytes = Written(list, {33, -200, 640, 50000});
    EXPECT_NE(bytes.find(Short("Left") + "\x02\x21"), std::string::npos);
    EXPECT_NE(bytes.find(Short("Top") + "\x03\x38\xFF"), std::string::npos);
    EXPECT_NE(bytes.find(Short("Width") + "\x03\x80\x02"), std::string::npos);
    EXPECT_NE(bytes.find(Short("Height") + std::string("\x04\x50\xC3\x00\x00", 5)),
              std::string::npos);
    ListBounds bounds;
    ReadProject(list, bytes, &bounds);
    EXPECT_EQ(bounds, (ListBounds{33, -200, 640, 50000}));
}

TEST(ProjectStream, TextsTravelAsWindows1252) {
    RecipientList list;
    list.SetColumnCaption(1, "Resultado ☺");
    list.AppendRow(MakeRow("josé@müller.de", {"€ 5 – ok", "日本"}, -1, 1));
    const std::string bytes = Written(list);
    EXPECT_NE(bytes.find(Short("jos\xE9@m\xFCller.de")), std::string::npos);
    EXPECT_NE(bytes.find(Short("\x80 5 \x96 ok")), std::string::npos);

    RecipientList read;
    ReadProject(read, bytes);
    EXPECT_EQ(read.Caption(0), "josé@müller.de");
    EXPECT_EQ(read.SubItem(0, 0), "€ 5 – ok");
    EXPECT_EQ(read.SubItem(0, 1), "??");  // no place in the code page
    EXPECT_EQ(read.Column(1).caption, "Resultado ?");
}

TEST(ProjectStream, ReaderAcceptsWhatOtherWritersMayProduce) {
    const std::string base = test::EmptyProjectBytes();
    // A wide-string caption and an index in front of a column item.
    const std::string columns = Short("Columns") + "\x0E" + "\x02\x05" + "\x01" + Short("Caption") +
                                "\x12" + std::string("\x02\0\0\0", 4) +
                                std::string("\xE9\x00\x3A\x26", 4) + Short("Width") + "\x02\x10" +
                                '\0' + '\0';
    const size_t from = base.find(Short("Columns"));
    const size_t to = base.find(Short("ColumnClick"));
    std::string bytes = base.substr(0, from) + columns + base.substr(to);
    // Property names compare without regard to case; references may be nil.
    bytes = Replace(bytes, Short("ReadOnly"), Short("READONLY"));
    bytes = Replace(bytes, Short("PopupMenu") + "\x07" + Short("MainForm.PopupMenu1"),
                    Short("PopupMenu") + "\x0D");
    RecipientList read;
    ReadProject(read, bytes);
    EXPECT_EQ(read.Columns(), (std::vector<ListColumn>{{"é☺", 16}}));
}

TEST(ProjectStream, EachFailureHasItsMessage) {
    const std::string good = test::SmallProjectBytes();
    EXPECT_EQ(ReadError("TPF1" + good.substr(4)), "Invalid stream format");
    EXPECT_EQ(ReadError("TP"), "Invalid stream format");
    EXPECT_EQ(ReadError(Replace(good, Short("Left"), Short("Lefty"))),
              "Error reading ListView1.Lefty: Property does not exist");
    EXPECT_EQ(ReadError(Replace(good, Short("Left"), Short("Left.X"))),
              "Error reading ListView1.Left.X: Invalid property path");
    EXPECT_EQ(ReadError(Replace(good, Short("Items.Data"), Short("Items.Date"))),
              "Error reading ListView1.Items.Date: Property does not exist");
    EXPECT_EQ(ReadError(Replace(good, Short("Caption") + "\x06" + Short("Name"),
                                Short("Title") + "\x06" + Short("Name"))),
              "Error reading TListColumn.Title: Property does not exist");
    EXPECT_EQ(ReadError(Replace(good, Short("Align") + "\x07" + Short("alClient"),
                                Short("Align") + "\x07" + Short("alMiddle"))),
              "Error reading ListView1.Align: Invalid property value");
    EXPECT_EQ(ReadError(Replace(good, Short("TabOrder") + "\x02", Short("TabOrder") + "\x09")),
              "Error reading ListView1.TabOrder: Invalid property value");
    EXPECT_EQ(ReadError(good.substr(0, good.size() - 1)), "Stream read error");
    EXPECT_EQ(ReadError(good + "junk"), "(no error)");  // what follows the object is not read
    EXPECT_EQ(ReadError(good.substr(0, good.size() - 1) + "\x01"), "Invalid stream format");
}

// The items block of the small project, changed by `edit`, inside the file.
std::string WithBlock(const std::function<void(std::string&)>& edit) {
    std::string bytes = test::SmallProjectBytes();
    const size_t at = bytes.find(Short("Items.Data")) + 12;  // at the binary length
    std::string block = bytes.substr(at + 4, 67);
    edit(block);
    const auto length = static_cast<uint32_t>(block.size());
    const std::string prefix{static_cast<char>(length), static_cast<char>(length >> 8),
                             static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
    return bytes.substr(0, at) + prefix + block + bytes.substr(at + 4 + 67);
}

void Put32(std::string& block, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        block[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

TEST(ProjectStream, BrokenItemBlocksAreRejectedWithoutReadingPastThem) {
    const std::string prefix = "Error reading ListView1.Items.Data: ";
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 0, 68); })),
              prefix + "Stream read error");  // stated size beyond the binary value
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 0, 7); })),
              prefix + "Invalid stream format");
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 4, 0xFFFFFFFF); })),
              prefix + "Invalid stream format");  // negative count
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 4, 3); })),
              prefix + "Invalid stream format");  // a third record past the end
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 4, 0x7FFFFFFF); })),
              prefix + "Invalid stream format");  // count beyond any possible size
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 8 + 12, 0xFFFFFFFF); })),
              prefix + "Invalid stream format");  // negative sub-item count
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { Put32(b, 8 + 12, 1000); })),
              prefix + "Invalid stream format");
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { b[8 + 20] = 100; })),
              prefix + "Invalid stream format");  // caption runs past the block
    // A block shorter than its binary value: the rest of the value is skipped.
    EXPECT_EQ(ReadError(WithBlock([](std::string& b) { b += "pad"; })), "(no error)");
    // A negative binary length.
    std::string bytes = test::SmallProjectBytes();
    Put32(bytes, bytes.find(Short("Items.Data")) + 12, 0xFFFFFFF0);
    EXPECT_EQ(ReadError(bytes), prefix + "Invalid stream format");
}

TEST(ProjectStream, AFailureKeepsWhatWasReadAndEmptiesEveryTranscript) {
    RecipientList list;
    RecipientRow old = MakeRow("old@row", {}, 1, 1);
    old.transcript = {"line"};
    list.AppendRow(old);

    // The second record runs past the block: the first one stays.
    const std::string broken = WithBlock([](std::string& b) { b[8 + 33 + 20] = 100; });
    EXPECT_NE(ReadError(broken, &list), "(no error)");
    ASSERT_EQ(list.RowCount(), 1u);
    EXPECT_EQ(list.Caption(0), "a@b.c");
    EXPECT_EQ(list.Column(2).caption, "Name");

    // Failing before the items leaves the earlier rows, without their logs.
    list.SetTranscript(0, {"line"});
    EXPECT_EQ(ReadError("XXXX", &list), "Invalid stream format");
    EXPECT_EQ(list.RowCount(), 1u);
    EXPECT_TRUE(list.TranscriptOf(0).empty());
}

TEST(ProjectStream, EveryTruncationFailsCleanly) {
    const std::string good = test::SmallProjectBytes();
    for (size_t length = 0; length < good.size(); ++length) {
        RecipientList list;
        list.AppendRow(MakeRow("keep", {}, 0, 0));
        EXPECT_NE(ReadError(good.substr(0, length), &list), "(no error)") << length;
        // Whatever came through is a consistent list.
        for (size_t row = 0; row < list.RowCount(); ++row) {
            EXPECT_TRUE(list.TranscriptOf(row).empty());
        }
    }
}

TEST(ProjectStream, AReadIsOneResetForObservers) {
    struct Counter : RecipientListObserver {
        int resets = 0;
        int other = 0;
        void AboutToBeReset() override { ++resets; }
        void RowsInserted(size_t, size_t) override { ++other; }
        void RowsChanged(size_t, size_t) override { ++other; }
    } counter;
    RecipientList list;
    list.AddObserver(&counter);
    ReadProject(list, test::SmallProjectBytes());
    EXPECT_EQ(counter.resets, 1);
    EXPECT_EQ(counter.other, 0);
}

TEST(ProjectFile, SaveAndLoadThroughTheFileSystem) {
    test::TempDir dir;
    RecipientList list;
    list.AppendRow(MakeRow("a@b.c", {"[0] Valid E-mail Address!"}, 0, 0));
    SaveProjectFile(list, dir / "p.mlt");
    EXPECT_EQ(test::ReadFile(dir / "p.mlt"), Written(list));

    RecipientList read;
    LoadProjectFile(read, dir / "p.mlt");
    EXPECT_EQ(read.Row(0), list.Row(0));

    RecipientRow withLog = list.Row(0);
    withLog.transcript = {"x"};
    read.AppendRow(withLog);
    try {
        LoadProjectFile(read, dir / "missing.mlt");
        FAIL();
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + (dir / "missing.mlt").string());
    }
    EXPECT_EQ(read.RowCount(), 2u);  // the rows stay, their logs do not
    EXPECT_TRUE(read.TranscriptOf(1).empty());
    EXPECT_THROW(LoadProjectFile(read, dir.path()), EFOpenError);

    try {
        SaveProjectFile(list, dir / "no" / "such" / "folder.mlt");
        FAIL();
    } catch (const EFCreateError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create file " + (dir / "no" / "such" / "folder.mlt").string());
    }
}

}  // namespace
}  // namespace mv

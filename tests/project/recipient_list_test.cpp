#include "project/list/recipient_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mv {
namespace {

// Records every notice as one line, and checks that the "AboutTo" notices
// come while the list still has its old shape.
class Recorder : public RecipientListObserver {
  public:
    explicit Recorder(RecipientList& list) : list_(list) { list_.AddObserver(this); }
    ~Recorder() override { list_.RemoveObserver(this); }

    void RowsAboutToBeInserted(size_t first, size_t count) override {
        Log("inserting", first, count);
        rowsBefore_ = list_.RowCount();
    }
    void RowsInserted(size_t first, size_t count) override {
        Log("inserted", first, count);
        EXPECT_EQ(list_.RowCount(), rowsBefore_ + count);
    }
    void RowsAboutToBeRemoved(size_t first, size_t count) override {
        Log("removing", first, count);
        rowsBefore_ = list_.RowCount();
    }
    void RowsRemoved(size_t first, size_t count) override {
        Log("removed", first, count);
        EXPECT_EQ(list_.RowCount() + count, rowsBefore_);
    }
    void RowsChanged(size_t first, size_t count) override { Log("changed", first, count); }
    void ColumnsAboutToBeInserted(size_t first, size_t count) override {
        Log("col-inserting", first, count);
        EXPECT_EQ(list_.ColumnCount(), first);
    }
    void ColumnsInserted(size_t first, size_t count) override { Log("col-inserted", first, count); }
    void ColumnChanged(size_t column) override { Log("col-changed", column, 1); }
    void AboutToBeReset() override { log.push_back("resetting"); }
    void Reset() override { log.push_back("reset"); }

    std::vector<std::string> Take() { return std::exchange(log, {}); }
    std::vector<std::string> log;

  private:
    void Log(const char* what, size_t first, size_t count) {
        log.push_back(std::string(what) + " " + std::to_string(first) + "+" +
                      std::to_string(count));
    }
    RecipientList& list_;
    size_t rowsBefore_ = 0;
};

using Log = std::vector<std::string>;

RecipientRow Row(std::string caption, std::vector<std::string> subItems = {}) {
    RecipientRow row;
    row.caption = std::move(caption);
    row.subItems = std::move(subItems);
    return row;
}

TEST(RecipientList, ANewProjectHasEmailAndResultColumns) {
    RecipientList list;
    EXPECT_EQ(list.Columns(), (std::vector<ListColumn>{{"Email", 120}, {"Result", 290}}));
    EXPECT_EQ(list.RowCount(), 0u);
    EXPECT_EQ(list.AddColumn("City", 120), 2u);
    EXPECT_EQ(list.AddColumn("Zip"), 3u);
    EXPECT_EQ(list.Column(3).width, 50);
    list.ResetColumns();
    EXPECT_EQ(list.Columns(), (std::vector<ListColumn>{{"Email", 120}, {"Result", 290}}));
}

TEST(RecipientList, RowsKeepTheirTextsMarksAndTranscripts) {
    RecipientList list;
    const std::string longText(1000, 'L');  // lengths beyond one length byte
    RecipientRow row = Row("a@b.c", {"[0] Valid E-mail Address!", "", longText});
    row.imageIndex = kIconValid;
    row.stateIndex = kMarkUnchecked;
    row.overlayIndex = 3;
    row.transcript = {"220 hello", "HELO me"};
    row.finding.emplace();
    row.finding->verdict = Verdict::kDeliverable;
    row.finding->reason = Reason::kAccepted;
    row.finding->reply = "250 OK";
    list.AppendRow(row);
    EXPECT_EQ(list.Row(0), row);
    EXPECT_EQ(list.SubItemCount(0), 3u);
    EXPECT_EQ(list.SubItem(0, 2), longText);
    EXPECT_EQ(list.SubItem(0, 7), "");  // past the end reads empty

    // A default row is what the program creates: unchecked icon, marked.
    list.AppendRow();
    EXPECT_EQ(list.Caption(1), "");
    EXPECT_EQ(list.SubItemCount(1), 0u);
    EXPECT_EQ(list.ImageIndex(1), kIconNotChecked);
    EXPECT_EQ(list.StateIndex(1), kMarkChecked);
    EXPECT_EQ(list.OverlayIndex(1), -1);
    EXPECT_TRUE(list.TranscriptOf(1).empty());
    EXPECT_EQ(list.FindingOf(1), nullptr);

    list.SetCaption(0, "new@b.c");  // the finding was about the old address
    EXPECT_EQ(list.FindingOf(0), nullptr);
    list.SetFinding(0, row.finding);
    list.SetSubItem(0, 1, "Ann");
    list.SetSubItem(1, 2, "far");  // pads with empty sub-items
    EXPECT_EQ(list.Row(0).subItems,
              (std::vector<std::string>{"[0] Valid E-mail Address!", "Ann", longText}));
    EXPECT_EQ(list.Row(1).subItems, (std::vector<std::string>{"", "", "far"}));
    list.SetSubItemCount(0, 1);
    EXPECT_EQ(list.Row(0).subItems, std::vector<std::string>{"[0] Valid E-mail Address!"});
    EXPECT_EQ(list.Caption(0), "new@b.c");

    // The transcript and the finding go separately, and both with a project read.
    list.SetTranscript(0, {});
    ASSERT_NE(list.FindingOf(0), nullptr);
    EXPECT_EQ(list.FindingOf(0)->reply, "250 OK");
    list.SetTranscript(0, {"line"});
    list.SetFinding(0, std::nullopt);
    EXPECT_EQ(list.FindingOf(0), nullptr);
    EXPECT_EQ(list.TranscriptOf(0), Transcript{"line"});
    list.SetFinding(0, row.finding);
    list.ClearTranscripts();
    EXPECT_TRUE(list.TranscriptOf(0).empty());
    EXPECT_EQ(list.FindingOf(0), nullptr);
}

TEST(RecipientList, InsertRemoveAndFilter) {
    RecipientList list;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        list.AppendRow(Row(name));
    }
    list.InsertRow(2, Row("new"));
    list.InsertRow(6, Row("last"));
    list.RemoveRows(0, 2);
    std::vector<std::string> captions;
    for (size_t i = 0; i < list.RowCount(); ++i) {
        captions.emplace_back(list.Caption(i));
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"new", "c", "d", "e", "last"}));
    EXPECT_THROW(list.InsertRow(9, Row("x")), std::out_of_range);
    EXPECT_THROW(list.RemoveRows(4, 2), std::out_of_range);
    EXPECT_THROW(list.Caption(5), std::out_of_range);

    // Removing in one pass keeps the order of the rows left.
    list.SetStateIndex(1, 0);
    list.SetStateIndex(3, 0);
    EXPECT_EQ(list.RemoveRowsIf([](const RecipientList& l, size_t row) {
        return l.StateIndex(row) == kMarkChecked;
    }),
              3u);
    EXPECT_EQ(list.RowCount(), 2u);
    EXPECT_EQ(list.Caption(0), "c");
    EXPECT_EQ(list.Caption(1), "e");
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.ColumnCount(), 2u);
}

TEST(RecipientList, ObserversHearEachChangeWithItsRows) {
    RecipientList list;
    Recorder recorder(list);
    list.AppendRow(Row("a"));
    list.AppendRow(Row("b"));
    list.InsertRow(1, Row("c"));
    list.SetSubItem(2, 0, "Checking...");
    list.SetSubItem(2, 0, "Checking...");  // no change, no notice
    list.SetImageIndex(2, kIconChecking);
    list.SetTranscript(0, {});  // already empty
    list.RemoveRow(0);
    list.AddColumn("City");
    list.SetColumnWidth(2, 80);
    list.ResetColumns();
    list.Clear();
    EXPECT_EQ(recorder.Take(),
              (Log{"inserting 0+1", "inserted 0+1", "inserting 1+1", "inserted 1+1",
                   "inserting 1+1", "inserted 1+1", "changed 2+1", "changed 2+1", "removing 0+1",
                   "removed 0+1", "col-inserting 2+1", "col-inserted 2+1", "col-changed 2+1",
                   "resetting", "reset", "removing 0+2", "removed 0+2"}));
}

TEST(RecipientList, ABracketGivesOneNotice) {
    RecipientList list;
    for (int i = 0; i < 10; ++i) {
        list.AppendRow(Row("r" + std::to_string(i)));
    }
    Recorder recorder(list);

    // Content changes only: one notice spanning them.
    list.BeginUpdate();
    list.SetStateIndex(7, 0);
    list.BeginUpdate();
    list.SetStateIndex(2, 0);
    list.EndUpdate();
    EXPECT_TRUE(recorder.log.empty());
    list.EndUpdate();
    EXPECT_EQ(recorder.Take(), (Log{"changed 2+6"}));

    // Structural changes: one reset, announced before the first of them.
    list.BeginUpdate();
    list.SetStateIndex(0, 0);
    list.AppendRow(Row("x"));
    EXPECT_EQ(recorder.log, (Log{"resetting"}));
    list.RemoveRows(0, 5);
    list.AddColumn("City");
    list.EndUpdate();
    EXPECT_EQ(recorder.Take(), (Log{"resetting", "reset"}));

    // Nothing changed: nothing heard.
    list.BeginUpdate();
    list.SetCaption(0, list.Caption(0));
    list.EndUpdate();
    EXPECT_TRUE(recorder.log.empty());

    // Filtering is a bracket of its own.
    list.RemoveRowsIf([](const RecipientList&, size_t row) { return row % 2 == 0; });
    EXPECT_EQ(recorder.Take(), (Log{"resetting", "reset"}));
}

TEST(RecipientList, MarksOfAllRowsChangeWithOneNotice) {
    RecipientList list;
    for (int32_t mark : {1, 0, 7, 1, 0}) {
        RecipientRow row = Row("r");
        row.stateIndex = mark;
        list.AppendRow(row);
    }
    Recorder recorder(list);
    auto marks = [&] {
        std::vector<int32_t> out;
        for (size_t row = 0; row < list.RowCount(); ++row) {
            out.push_back(list.StateIndex(row));
        }
        return out;
    };
    // Any mark other than 1 counts as unchecked and becomes 1.
    list.InvertStateIndexes();
    EXPECT_EQ(marks(), (std::vector<int32_t>{0, 1, 1, 0, 1}));
    // Only the rows that changed are announced, as one span.
    EXPECT_EQ(list.SetAllStateIndexes(kMarkChecked), 2u);
    EXPECT_EQ(list.SetAllStateIndexes(kMarkChecked), 0u);
    EXPECT_EQ(recorder.Take(), (Log{"changed 0+5", "changed 0+4"}));

    // Removing every row leaves the columns.
    list.AddColumn("City");
    EXPECT_EQ(list.RemoveRowsIf([](const RecipientList& l, size_t row) {
        return l.StateIndex(row) == kMarkChecked;
    }),
              5u);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.ColumnCount(), 3u);
}

TEST(RecipientList, TextsAreViewedInPlace) {
    RecipientList list;
    list.AppendRow(Row("a@b.c", {"result", "x"}));
    std::vector<std::string_view> texts;
    list.Texts(0, texts);
    EXPECT_EQ(texts, (std::vector<std::string_view>{"a@b.c", "result", "x"}));
    // The views point into the row itself: the same bytes on each call.
    EXPECT_EQ(list.Caption(0).data(), texts[0].data());

    // They stay valid while other rows come, change and go.
    const std::string_view caption = list.Caption(0);
    for (int i = 0; i < 20000; ++i) {
        list.AppendRow(Row("row" + std::to_string(i), {"r"}));
    }
    for (size_t row = 1; row < list.RowCount(); ++row) {
        list.SetSubItem(row, 0, "[550] Mailbox unavailable");
    }
    list.RemoveRows(1, 10000);
    EXPECT_EQ(caption, "a@b.c");
    // Texts too big for the shared chunks work the same way.
    const std::string huge(1 << 20, 'h');
    list.SetCaption(1, huge);
    list.SetRow(2, Row(huge, {huge}));
    EXPECT_EQ(list.Caption(1), huge);
    EXPECT_EQ(list.SubItem(2, 0), huge);
    list.RemoveRow(1);
    EXPECT_EQ(list.Caption(1), huge);
}

// The verdict kept with each row follows every change of its result and
// finding: the finding's verdict, else the code's, none without a result.
TEST(RecipientList, EachRowKeepsTheVerdictOfItsResult) {
    RecipientList list;
    list.AppendRow(Row("a@x.test"));
    std::string_view parts[] = {"[550] Mailbox unavailable"};
    list.AppendRow("b@x.test", parts, kIconFailed, kMarkChecked);
    ResultFinding risky;
    risky.verdict = Verdict::kRisky;
    using Step = std::function<void()>;
    const std::pair<Step, std::optional<Verdict>> steps[] = {
        {[] {}, std::nullopt},
        {[&] { list.SetSubItem(0, 0, "[0] Valid E-mail Address!"); }, Verdict::kDeliverable},
        {[&] { list.SetFinding(0, risky); }, Verdict::kRisky},
        {[&] { list.ClearTranscripts(); }, Verdict::kDeliverable},
        {[&] { list.SetSubItem(0, 0, "Checking..."); }, std::nullopt},
        {[&] { list.SetRow(0, list.Row(1)); }, Verdict::kUndeliverable},
    };
    for (const auto& [step, verdict] : steps) {
        step();
        EXPECT_EQ(list.VerdictOf(0), verdict);
    }
    EXPECT_EQ(list.VerdictOf(1), Verdict::kUndeliverable);
}

}  // namespace
}  // namespace mv

// The recipient list: the project as the main window shows it, without any
// window. Each row is one recipient: its caption (the e-mail address text),
// its sub-items (sub-item 0 is the Result text, sub-item k-1 is the value of
// list column k), a result icon, a check mark, an overlay index, and what its
// last check left in memory: the transcript and the finding (verdict, reason,
// deciding reply). Neither is stored in the project file. The columns carry a
// caption and a width.
//
// The list is built to hold a million rows: a row keeps all its texts in one
// packed block, cut from large chunks of memory, and an empty transcript
// costs one null pointer, so a row needs 32 bytes plus its texts. Views of the
// list (a Qt model, counters) observe it through RecipientListObserver and
// read the texts in place as string views; nothing is copied.
//
// Rows are walked by index, 0 to RowCount() - 1. A string_view returned by
// Caption() or SubItem() stays valid until that row is changed or removed, or
// rows are inserted or removed before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result_finding.h"
#include "project/list/text_arena.h"
#include "project/list/text_pack.h"

namespace mv {

// The transcript of a check: its lines in the order they happened.
using Transcript = std::vector<std::string>;

// Values of a row's result icon (image index).
inline constexpr int32_t kIconNotChecked = -1;
inline constexpr int32_t kIconValid = 0;
inline constexpr int32_t kIconFailed = 1;
inline constexpr int32_t kIconChecking = 2;

// Values of a row's check mark (state index).
inline constexpr int32_t kMarkUnchecked = 0;
inline constexpr int32_t kMarkChecked = 1;

// The width a column gets when none is given.
inline constexpr int32_t kDefaultColumnWidth = 50;

struct ListColumn {
    std::string caption;
    int32_t width = kDefaultColumnWidth;
    bool operator==(const ListColumn&) const = default;
};

// One row as a plain value, for building rows and for copies. The defaults
// are those of a row the program creates: never checked, marked for checking.
struct RecipientRow {
    std::string caption;
    std::vector<std::string> subItems;
    int32_t imageIndex = kIconNotChecked;
    int32_t stateIndex = kMarkChecked;
    int32_t overlayIndex = -1;
    Transcript transcript;
    std::optional<ResultFinding> finding;
    bool operator==(const RecipientRow&) const = default;
};

// Told about every change of a RecipientList. The "AboutTo" calls come before
// the list changes, the others after it, so that an item-model adapter can
// forward them one to one. Observers must not change the list from inside a
// notification.
class RecipientListObserver {
  public:
    virtual ~RecipientListObserver() = default;
    virtual void RowsAboutToBeInserted(size_t first, size_t count) {}
    virtual void RowsInserted(size_t first, size_t count) {}
    virtual void RowsAboutToBeRemoved(size_t first, size_t count) {}
    virtual void RowsRemoved(size_t first, size_t count) {}
    // Texts, icon, mark, overlay or transcript of rows first..first+count-1.
    virtual void RowsChanged(size_t first, size_t count) {}
    virtual void ColumnsAboutToBeInserted(size_t first, size_t count) {}
    virtual void ColumnsInserted(size_t first, size_t count) {}
    // Caption or width of one column.
    virtual void ColumnChanged(size_t column) {}
    // Anything may change between these two: rows and columns alike.
    virtual void AboutToBeReset() {}
    virtual void Reset() {}
};

class RecipientList {
  public:
    // A new project: the columns "Email" (120) and "Result" (290), no rows.
    RecipientList();
    ~RecipientList();
    RecipientList(const RecipientList&) = delete;
    RecipientList& operator=(const RecipientList&) = delete;

    // ---- Observers ----
    void AddObserver(RecipientListObserver* observer);
    void RemoveObserver(RecipientListObserver* observer);

    // ---- Bulk edits ----
    // Between the outermost BeginUpdate and its EndUpdate observers hear
    // nothing per change: a structural change (rows or columns inserted or
    // removed) gives one AboutToBeReset before it and one Reset at EndUpdate;
    // changes of row contents alone give one RowsChanged spanning them all.
    // Brackets nest.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return updateDepth_ > 0; }

    // ---- Columns ----
    size_t ColumnCount() const { return columns_.size(); }
    const ListColumn& Column(size_t index) const { return columns_.at(index); }
    const std::vector<ListColumn>& Columns() const { return columns_; }
    // Removes every column and adds "Email" (120) and "Result" (290).
    void ResetColumns();
    // Appends a column and returns its index (the number of columns minus 1).
    size_t AddColumn(std::string caption, int32_t width = kDefaultColumnWidth);
    // Replaces every column at once (an empty vector leaves no column).
    void SetColumns(std::vector<ListColumn> columns);
    void SetColumnCaption(size_t index, std::string caption);
    void SetColumnWidth(size_t index, int32_t width);

    // ---- Reading rows ----
    size_t RowCount() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }
    std::string_view Caption(size_t row) const { return At(row).texts.At(0); }
    size_t SubItemCount(size_t row) const { return At(row).texts.Count() - 1; }
    // Sub-item `index` of the row; empty when the row has fewer sub-items.
    std::string_view SubItem(size_t row, size_t index) const;
    int32_t ImageIndex(size_t row) const { return At(row).imageIndex; }
    int32_t StateIndex(size_t row) const { return At(row).stateIndex; }
    int32_t OverlayIndex(size_t row) const { return At(row).overlayIndex; }
    // The row's transcript; an empty one when it has none.
    const Transcript& TranscriptOf(size_t row) const;
    // What the row's last check found; null when it has not been checked
    // since the project was opened, or is being checked.
    const ResultFinding* FindingOf(size_t row) const;
    // What the row's result means (ClassifyResult of its Result text and
    // finding), decided when either changes and kept with the row, so that
    // views and filters read it without parsing; none without a result.
    std::optional<Verdict> VerdictOf(size_t row) const;
    // A copy of the whole row.
    RecipientRow Row(size_t row) const;
    // Replaces `out` with views of the row's caption and its sub-items in
    // order: out[0] is the caption, out[k + 1] sub-item k.
    void Texts(size_t row, std::vector<std::string_view>& out) const;

    // ---- Changing rows ----
    // A new caption drops the row's finding, which was about the old address.
    void SetCaption(size_t row, std::string_view caption);
    // Sets sub-item `index`, first adding empty sub-items up to it.
    void SetSubItem(size_t row, size_t index, std::string_view text);
    void SetSubItems(size_t row, std::span<const std::string> subItems);
    // Cuts the sub-items to `count` or pads them with empty ones.
    void SetSubItemCount(size_t row, size_t count);
    void SetImageIndex(size_t row, int32_t imageIndex);
    void SetStateIndex(size_t row, int32_t stateIndex);
    void SetOverlayIndex(size_t row, int32_t overlayIndex);
    void SetTranscript(size_t row, Transcript transcript);
    void SetFinding(size_t row, std::optional<ResultFinding> finding);
    // Gives every row an empty transcript and no finding: a project read
    // from disk keeps neither.
    void ClearTranscripts();
    // Replaces the whole row.
    void SetRow(size_t row, const RecipientRow& value);
    // Sets the check mark of every row; observers hear one change spanning
    // the rows whose mark changed. Returns how many changed.
    size_t SetAllStateIndexes(int32_t stateIndex);
    // A mark of 1 becomes 0 and any other becomes 1, on every row, with one
    // change notice for them all.
    void InvertStateIndexes();

    // ---- Inserting and removing rows ----
    // Appends a row and returns its index.
    size_t AppendRow(const RecipientRow& value = RecipientRow());
    // Appends a row from its parts without building a RecipientRow first
    // (for readers that fill a million rows); the transcript is empty.
    size_t AppendRow(std::string_view caption, std::span<const std::string_view> subItems,
                     int32_t imageIndex, int32_t stateIndex, int32_t overlayIndex = -1);
    // Inserts a row so that it stands at `index` (0..RowCount()).
    void InsertRow(size_t index, const RecipientRow& value = RecipientRow());
    void RemoveRow(size_t index) { RemoveRows(index, 1); }
    void RemoveRows(size_t first, size_t count);
    // Removes every row for which `remove(list, row)` holds, in one pass;
    // returns how many went. The rows left keep their order.
    size_t RemoveRowsIf(const std::function<bool(const RecipientList&, size_t)>& remove);
    // Removes every row; the columns stay.
    void Clear();
    // Makes room for `rows` rows without reallocating on the way.
    void Reserve(size_t rows) { rows_.reserve(rows); }

  private:
    // What the last check left; most rows have none, so it lives apart.
    struct CheckRecord {
        Transcript transcript;
        std::optional<ResultFinding> finding;
        bool Empty() const { return transcript.empty() && !finding; }
    };
    struct Item {
        TextPack texts;                       // caption, then the sub-items (in arena_)
        std::unique_ptr<CheckRecord> record;  // null while empty
        int32_t imageIndex = kIconNotChecked;
        int32_t stateIndex = kMarkChecked;
        int32_t overlayIndex = -1;
        uint8_t verdict = kNoVerdict;  // a Verdict, or kNoVerdict
    };
    static constexpr uint8_t kNoVerdict = 0xff;

    const Item& At(size_t row) const { return rows_.at(row); }
    Item& At(size_t row) { return rows_.at(row); }
    Item MakeItem(const RecipientRow& value);
    void Insert(size_t index, Item item);
    TextPack MakeTexts(std::span<const std::string_view> texts);
    // Changes the row's check record; it goes when it becomes empty.
    template <typename F>
    void ChangeRecord(size_t row, F&& change);
    void ReleaseTexts(TextPack texts) noexcept;
    void SetTexts(size_t row, TextPack texts);
    // Decides the row's verdict again from its Result text and finding.
    static void Classify(Item& item);

    // Notification helpers; inside a bracket they defer or merge.
    template <typename F>
    void Notify(F&& call);
    bool Structural();  // true when the caller must send its own notices
    void Changed(size_t first, size_t count);

    std::vector<ListColumn> columns_;
    TextArena arena_;  // holds every row's texts
    std::vector<Item> rows_;
    std::vector<RecipientListObserver*> observers_;
    int updateDepth_ = 0;
    bool resetPending_ = false;  // AboutToBeReset sent inside this bracket
    size_t dirtyFirst_ = 0;      // rows changed inside this bracket
    size_t dirtyEnd_ = 0;
    std::vector<std::string_view> scratch_;  // reused by AppendRow
};

}  // namespace mv

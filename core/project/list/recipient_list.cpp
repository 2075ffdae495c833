#include "project/list/recipient_list.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "project/list/row_verdict.h"

namespace mv {

namespace {

const Transcript& EmptyTranscript() {
    static const Transcript empty;
    return empty;
}

}  // namespace

RecipientList::RecipientList() : columns_{{"Email", 120}, {"Result", 290}} {}

RecipientList::~RecipientList() = default;

// ---- Observers and brackets ----

void RecipientList::AddObserver(RecipientListObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void RecipientList::RemoveObserver(RecipientListObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <typename F>
void RecipientList::Notify(F&& call) {
    // By index: an observer may remove itself while being told.
    for (size_t i = 0; i < observers_.size(); ++i) {
        call(*observers_[i]);
    }
}

void RecipientList::BeginUpdate() {
    ++updateDepth_;
}

void RecipientList::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) {
        return;
    }
    const size_t first = dirtyFirst_;
    const size_t count = dirtyEnd_ - dirtyFirst_;
    dirtyFirst_ = dirtyEnd_ = 0;
    if (resetPending_) {
        resetPending_ = false;
        Notify([](RecipientListObserver& o) { o.Reset(); });
    } else if (count > 0) {
        Notify([&](RecipientListObserver& o) { o.RowsChanged(first, count); });
    }
}

bool RecipientList::Structural() {
    if (updateDepth_ == 0) {
        return true;
    }
    if (!resetPending_) {
        resetPending_ = true;
        Notify([](RecipientListObserver& o) { o.AboutToBeReset(); });
    }
    return false;
}

void RecipientList::Changed(size_t first, size_t count) {
    if (count == 0) {
        return;
    }
    if (updateDepth_ == 0) {
        Notify([&](RecipientListObserver& o) { o.RowsChanged(first, count); });
    } else if (!resetPending_) {
        if (dirtyEnd_ == dirtyFirst_) {
            dirtyFirst_ = first;
            dirtyEnd_ = first + count;
        } else {
            dirtyFirst_ = std::min(dirtyFirst_, first);
            dirtyEnd_ = std::max(dirtyEnd_, first + count);
        }
    }
}

// ---- Columns ----

void RecipientList::ResetColumns() {
    SetColumns({{"Email", 120}, {"Result", 290}});
}

size_t RecipientList::AddColumn(std::string caption, int32_t width) {
    const size_t index = columns_.size();
    const bool direct = Structural();
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.ColumnsAboutToBeInserted(index, 1); });
    }
    columns_.push_back({std::move(caption), width});
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.ColumnsInserted(index, 1); });
    }
    return index;
}

void RecipientList::SetColumns(std::vector<ListColumn> columns) {
    if (columns == columns_) {
        return;
    }
    BeginUpdate();
    Structural();
    columns_ = std::move(columns);
    EndUpdate();
}

void RecipientList::SetColumnCaption(size_t index, std::string caption) {
    if (columns_.at(index).caption == caption) {
        return;
    }
    const bool direct = Structural();
    columns_[index].caption = std::move(caption);
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.ColumnChanged(index); });
    }
}

void RecipientList::SetColumnWidth(size_t index, int32_t width) {
    if (columns_.at(index).width == width) {
        return;
    }
    const bool direct = Structural();
    columns_[index].width = width;
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.ColumnChanged(index); });
    }
}

// ---- Reading rows ----

std::string_view RecipientList::SubItem(size_t row, size_t index) const {
    return At(row).texts.At(index + 1);
}

const Transcript& RecipientList::TranscriptOf(size_t row) const {
    const Item& item = At(row);
    return item.record ? item.record->transcript : EmptyTranscript();
}

const ResultFinding* RecipientList::FindingOf(size_t row) const {
    const Item& item = At(row);
    return item.record && item.record->finding ? &*item.record->finding : nullptr;
}

std::optional<Verdict> RecipientList::VerdictOf(size_t row) const {
    const uint8_t verdict = At(row).verdict;
    if (verdict == kNoVerdict) return std::nullopt;
    return static_cast<Verdict>(verdict);
}

void RecipientList::Classify(Item& item) {
    const ResultFinding* finding =
        item.record && item.record->finding ? &*item.record->finding : nullptr;
    const std::optional<Verdict> verdict = ClassifyResult(item.texts.At(1), finding);
    item.verdict = verdict ? static_cast<uint8_t>(*verdict) : kNoVerdict;
}

RecipientRow RecipientList::Row(size_t row) const {
    const Item& item = At(row);
    std::vector<std::string_view> texts;
    item.texts.Unpack(texts);
    RecipientRow value;
    value.caption = texts[0];
    value.subItems.assign(texts.begin() + 1, texts.end());
    value.imageIndex = item.imageIndex;
    value.stateIndex = item.stateIndex;
    value.overlayIndex = item.overlayIndex;
    if (item.record) {
        value.transcript = item.record->transcript;
        value.finding = item.record->finding;
    }
    return value;
}

void RecipientList::Texts(size_t row, std::vector<std::string_view>& out) const {
    out.clear();
    At(row).texts.Unpack(out);
}

// ---- Changing rows ----

TextPack RecipientList::MakeTexts(std::span<const std::string_view> texts) {
    const size_t size = TextPack::PackedSize(texts);
    return TextPack::Pack(texts, size == 0 ? nullptr : arena_.Allocate(size));
}

void RecipientList::ReleaseTexts(TextPack texts) noexcept {
    arena_.Release(texts.Block(), texts.BlockSize());
}

void RecipientList::SetTexts(size_t row, TextPack texts) {
    ReleaseTexts(std::exchange(rows_[row].texts, texts));
    Classify(rows_[row]);
    Changed(row, 1);
}

void RecipientList::SetCaption(size_t row, std::string_view caption) {
    const Item& item = At(row);
    if (item.texts.At(0) == caption) {
        return;
    }
    std::vector<std::string_view> texts;
    item.texts.Unpack(texts);
    texts[0] = caption;
    SetTexts(row, MakeTexts(texts));
    // The finding was about the old address: kept, it would be saved beside
    // the new one and read back as its verdict.
    SetFinding(row, std::nullopt);
}

void RecipientList::SetSubItem(size_t row, size_t index, std::string_view text) {
    const Item& item = At(row);
    std::vector<std::string_view> texts;
    item.texts.Unpack(texts);
    if (index + 1 < texts.size() && texts[index + 1] == text) {
        return;
    }
    if (texts.size() < index + 2) {
        texts.resize(index + 2);
    }
    texts[index + 1] = text;
    SetTexts(row, MakeTexts(texts));
}

void RecipientList::SetSubItems(size_t row, std::span<const std::string> subItems) {
    const Item& item = At(row);
    std::vector<std::string_view> texts{item.texts.At(0)};
    texts.insert(texts.end(), subItems.begin(), subItems.end());
    SetTexts(row, MakeTexts(texts));
}

void RecipientList::SetSubItemCount(size_t row, size_t count) {
    const Item& item = At(row);
    if (item.texts.Count() == count + 1) {
        return;
    }
    std::vector<std::string_view> texts;
    item.texts.Unpack(texts);
    texts.resize(count + 1);
    SetTexts(row, MakeTexts(texts));
}

void RecipientList::SetImageIndex(size_t row, int32_t imageIndex) {
    if (std::exchange(At(row).imageIndex, imageIndex) != imageIndex) {
        Changed(row, 1);
    }
}

void RecipientList::SetStateIndex(size_t row, int32_t stateIndex) {
    if (std::exchange(At(row).stateIndex, stateIndex) != stateIndex) {
        Changed(row, 1);
    }
}

void RecipientList::SetOverlayIndex(size_t row, int32_t overlayIndex) {
    if (std::exchange(At(row).overlayIndex, overlayIndex) != overlayIndex) {
        Changed(row, 1);
    }
}

template <typename F>
void RecipientList::ChangeRecord(size_t row, F&& change) {
    Item& item = At(row);
    if (!item.record) {
        item.record = std::make_unique<CheckRecord>();
    }
    change(*item.record);
    if (item.record->Empty()) {
        item.record.reset();
    }
    Classify(item);
    Changed(row, 1);
}

void RecipientList::SetTranscript(size_t row, Transcript transcript) {
    if (transcript.empty() && TranscriptOf(row).empty()) {
        return;
    }
    ChangeRecord(row, [&](CheckRecord& r) { r.transcript = std::move(transcript); });
}

void RecipientList::SetFinding(size_t row, std::optional<ResultFinding> finding) {
    const ResultFinding* current = FindingOf(row);
    if (current == nullptr ? !finding : finding && *current == *finding) {
        return;
    }
    ChangeRecord(row, [&](CheckRecord& r) { r.finding = std::move(finding); });
}

void RecipientList::SetRow(size_t row, const RecipientRow& value) {
    Item& target = At(row);
    Item item = MakeItem(value);
    ReleaseTexts(target.texts);
    target = std::move(item);
    Changed(row, 1);
}

// ---- Inserting and removing rows ----

RecipientList::Item RecipientList::MakeItem(const RecipientRow& value) {
    std::vector<std::string_view> texts{value.caption};
    texts.insert(texts.end(), value.subItems.begin(), value.subItems.end());
    Item item;
    item.texts = MakeTexts(texts);
    if (!value.transcript.empty() || value.finding) {
        item.record = std::make_unique<CheckRecord>(CheckRecord{value.transcript, value.finding});
    }
    item.imageIndex = value.imageIndex;
    item.stateIndex = value.stateIndex;
    item.overlayIndex = value.overlayIndex;
    Classify(item);
    return item;
}

size_t RecipientList::AppendRow(const RecipientRow& value) {
    InsertRow(rows_.size(), value);
    return rows_.size() - 1;
}

size_t RecipientList::AppendRow(std::string_view caption,
                                std::span<const std::string_view> subItems, int32_t imageIndex,
                                int32_t stateIndex, int32_t overlayIndex) {
    Item item;
    scratch_.clear();
    scratch_.push_back(caption);
    scratch_.insert(scratch_.end(), subItems.begin(), subItems.end());
    item.texts = MakeTexts(scratch_);
    item.imageIndex = imageIndex;
    item.stateIndex = stateIndex;
    item.overlayIndex = overlayIndex;
    Classify(item);
    Insert(rows_.size(), std::move(item));
    return rows_.size() - 1;
}

void RecipientList::InsertRow(size_t index, const RecipientRow& value) {
    if (index > rows_.size()) {
        throw std::out_of_range("RecipientList::InsertRow");
    }
    Insert(index, MakeItem(value));
}

void RecipientList::Insert(size_t index, Item item) {
    // Room first, so that nothing can fail between the two notices.
    if (rows_.size() == rows_.capacity()) {
        try {
            rows_.reserve(std::max<size_t>(16, rows_.size() * 2));
        } catch (...) {
            ReleaseTexts(item.texts);
            throw;
        }
    }
    const bool direct = Structural();
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.RowsAboutToBeInserted(index, 1); });
    }
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.RowsInserted(index, 1); });
    }
}

void RecipientList::RemoveRows(size_t first, size_t count) {
    if (first > rows_.size() || count > rows_.size() - first) {
        throw std::out_of_range("RecipientList::RemoveRows");
    }
    if (count == 0) {
        return;
    }
    const bool direct = Structural();
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.RowsAboutToBeRemoved(first, count); });
    }
    if (count == rows_.size()) {
        std::vector<Item>().swap(rows_);  // give the memory back
        arena_.ReleaseAll();
    } else {
        for (size_t row = first; row < first + count; ++row) {
            ReleaseTexts(rows_[row].texts);
        }
        const auto begin = rows_.begin() + static_cast<std::ptrdiff_t>(first);
        rows_.erase(begin, begin + static_cast<std::ptrdiff_t>(count));
    }
    if (direct) {
        Notify([&](RecipientListObserver& o) { o.RowsRemoved(first, count); });
    }
}

void RecipientList::Clear() {
    RemoveRows(0, rows_.size());
}

}  // namespace mv

// The operations of the recipient list that walk every row: marks, what the
// last checks left (transcripts and findings), and removing the rows that a rule picks. Each gives
// its observers one notice, however many rows it touches.
#include <algorithm>
#include <utility>

#include "project/list/recipient_list.h"

namespace mv {

void RecipientList::ClearTranscripts() {
    size_t first = rows_.size();
    size_t end = 0;
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (!rows_[row].record) {
            continue;
        }
        rows_[row].record.reset();
        Classify(rows_[row]);
        first = std::min(first, row);
        end = row + 1;
    }
    if (end > first) {
        Changed(first, end - first);
    }
}

size_t RecipientList::SetAllStateIndexes(int32_t stateIndex) {
    size_t first = rows_.size();
    size_t end = 0;
    size_t changed = 0;
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (std::exchange(rows_[row].stateIndex, stateIndex) == stateIndex) {
            continue;
        }
        first = std::min(first, row);
        end = row + 1;
        ++changed;
    }
    if (end > first) {
        Changed(first, end - first);
    }
    return changed;
}

void RecipientList::InvertStateIndexes() {
    for (Item& item : rows_) {
        item.stateIndex = item.stateIndex == kMarkChecked ? kMarkUnchecked : kMarkChecked;
    }
    Changed(0, rows_.size());
}

size_t RecipientList::RemoveRowsIf(
    const std::function<bool(const RecipientList&, size_t)>& remove) {
    // Decide on the unchanged list first, then close the gaps in one pass.
    std::vector<bool> doomed(rows_.size());
    size_t removed = 0;
    for (size_t row = 0; row < rows_.size(); ++row) {
        doomed[row] = remove(*this, row);
        removed += doomed[row] ? 1 : 0;
    }
    if (removed == 0) {
        return 0;
    }
    if (removed == rows_.size()) {
        Clear();  // gives the memory back at once
        return removed;
    }
    BeginUpdate();
    Structural();
    size_t kept = 0;
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (doomed[row]) {
            ReleaseTexts(rows_[row].texts);
            continue;
        }
        if (kept != row) {
            rows_[kept] = std::move(rows_[row]);
        }
        ++kept;
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(kept), rows_.end());
    EndUpdate();
    return removed;
}

}  // namespace mv

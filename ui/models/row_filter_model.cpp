#include "models/row_filter_model.h"

#include "models/recipient_model.h"

namespace mv::ui {

RowFilterModel::RowFilterModel(RecipientModel& source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source), list_(source.List()) {
    // Before the proxy's own connections, so that this holds while it works.
    connect(&source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this] { listRemoving_ = true; });
    connect(&source, &QAbstractItemModel::rowsRemoved, this, [this] { listRemoving_ = false; });
    setDynamicSortFilter(true);  // rows whose result changes are filtered again
}

void RowFilterModel::SetFilter(RowFilter filter) {
    if (filter == filter_) return;
    filter_ = filter;
    if (filter_ == RowFilter::kAll)
        setSourceModel(nullptr);  // Qt would map every changed row's parent
    else if (sourceModel() != &source_)
        setSourceModel(&source_);
    else
        invalidateRowsFilter();
}

bool RowFilterModel::Passes(const RecipientList& list, size_t row, RowFilter filter) {
    if (filter == RowFilter::kAll) return true;
    const std::optional<Verdict> verdict = list.VerdictOf(row);
    switch (filter) {
        case RowFilter::kNotChecked:
            return !verdict;
        case RowFilter::kDeliverable:
            return verdict == Verdict::kDeliverable;
        case RowFilter::kRisky:
            return verdict == Verdict::kRisky;
        case RowFilter::kUndeliverable:
            return verdict == Verdict::kUndeliverable;
        case RowFilter::kUnknown:
            return verdict == Verdict::kUnknown;
        case RowFilter::kAll:
            break;
    }
    return true;
}

bool RowFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return sourceRow >= 0 && static_cast<size_t>(sourceRow) < list_.RowCount() &&
           Passes(list_, static_cast<size_t>(sourceRow), filter_);
}

size_t RowFilterModel::ListRow(int shown) const {
    if (filter_ == RowFilter::kAll) return static_cast<size_t>(shown);  // every row, in order
    return static_cast<size_t>(mapToSource(index(shown, 0)).row());
}

std::optional<int> RowFilterModel::ShownRow(size_t row) const {
    if (row >= list_.RowCount()) return std::nullopt;
    if (filter_ == RowFilter::kAll) return static_cast<int>(row);
    const QModelIndex shown = mapFromSource(sourceModel()->index(static_cast<int>(row), 0));
    if (!shown.isValid()) return std::nullopt;
    return shown.row();
}

}  // namespace mv::ui

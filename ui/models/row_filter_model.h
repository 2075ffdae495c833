// The rows the list shows: all of them, or those of one verdict, or those
// not checked yet (never checked, or being checked). A sort-filter proxy over
// the recipient model: no row is copied, the verdict each row keeps is read
// in place, and since the recipient model sends its changes once per frame,
// rows come and go with their results once per frame during a run. Nothing
// is sorted: the rows keep the list's order.
//
// While the filter is All the proxy stands aside: it has no source and no
// rows, the list view shows the recipient model itself, and the list's
// changes cost nothing here (a million rows marked at once, a run's frames).
#pragma once

#include <QSortFilterProxyModel>
#include <cstddef>
#include <optional>

#include "project/list/recipient_list.h"

namespace mv::ui {

class RecipientModel;

enum class RowFilter { kAll, kDeliverable, kRisky, kUndeliverable, kUnknown, kNotChecked };

class RowFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit RowFilterModel(RecipientModel& source, QObject* parent = nullptr);

    RowFilter Filter() const { return filter_; }
    void SetFilter(RowFilter filter);
    // Whether the list row `row` passes `filter`.
    static bool Passes(const RecipientList& list, size_t row, RowFilter filter);

    // The list row of shown row `shown`, and the shown row of list row `row`
    // (none when the filter hides it).
    size_t ListRow(int shown) const;
    std::optional<int> ShownRow(size_t row) const;
    // True while rows leave because the list removes them, false while they
    // leave because the filter no longer lets them through.
    bool ListRemoving() const { return listRemoving_; }

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    RecipientModel& source_;
    const RecipientList& list_;
    RowFilter filter_ = RowFilter::kAll;
    bool listRemoving_ = false;
};

}  // namespace mv::ui

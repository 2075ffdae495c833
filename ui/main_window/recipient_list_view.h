// The main window's recipient list (ListView1): a report list over the
// recipient model with whole-row selection that stays visible without the
// focus, no in-place editing, and column headers that do nothing when
// clicked. A press of any mouse button within kCheckMarkWidth pixels of the
// list's left edge reports the row for its check mark to be toggled; no other
// click or key toggles it.
//
// The column widths are the list's own: the view takes them from the list
// when columns change and writes back what the user drags them to (or fits
// with a double click on a divider), so that a saved project keeps them.
//
// The view shows the rows that its filter (RowFilterModel) lets through: the
// recipient model itself while the filter is All, the filter's rows
// otherwise. Its interface speaks of list rows throughout, whatever the
// filter.
#pragma once

#include <QTableView>
#include <cstddef>
#include <optional>

namespace mv {
class RecipientList;
}

namespace mv::ui {

class RecipientModel;
class RowFilterModel;
enum class RowFilter;

class RecipientListView final : public QTableView {
    Q_OBJECT
  public:
    // The width of the check-mark image at the left edge of a row.
    static constexpr int kCheckMarkWidth = 16;

    RecipientListView(RecipientModel& model, RowFilterModel& shown, QWidget* parent = nullptr);

    // The selected row, if any.
    std::optional<size_t> SelectedRow() const;
    // Selects `row` (or nothing, also when the filter hides it) and makes it
    // the current one.
    void SelectRow(std::optional<size_t> row);
    // Scrolls so that `row` is at least partly visible (if shown), while the
    // list follows the run: from FollowRun until the user scrolls it, and
    // again once the user scrolls to its last row.
    void RevealRow(size_t row);
    void FollowRun() { following_ = true; }
    // Shows the rows that `filter` lets through; the selected row stays
    // selected if it is one of them.
    void ShowRows(RowFilter filter);
    // The rows shown, the selected one's place among them, and the list row
    // of shown row `shown`.
    size_t ShownRowCount() const;
    std::optional<size_t> SelectedShownRow() const;
    size_t ListRowAt(size_t shown) const;
    // After an import: the address column as wide as its longest address
    // (at most half the list's width), the result column the rest, up to
    // what its texts need. Neither becomes narrower.
    void FitColumnsToAddresses();

  signals:
    // A press near the left edge of `row`: its check mark is to be toggled.
    void CheckMarkPressed(size_t row);
    // The list was clicked (any button), on a row or not.
    void Clicked();
    // The selected row changed (or the selection went).
    void SelectionChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    // A row that the filter takes away takes the selection with it (Qt
    // would select the next row instead).
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void PressAt(const QPoint& position);
    void ApplyColumnWidths();
    void StoreColumnWidth(int column, int width);

    int ContentWidth(int column) const;
    bool Filtered() const;
    std::optional<int> ViewRow(size_t row) const;
    size_t ListRowOf(int viewRow) const;

    RecipientModel& model_;
    RowFilterModel& shown_;
    bool applyingWidths_ = false;
    bool insideDoubleClick_ = false;
    bool following_ = true;
};

}  // namespace mv::ui

// The main window's recipient list (ListView1): a report list over the
// recipient model with whole-row selection that stays visible without the
// focus, no in-place editing, and column headers that do nothing when
// clicked. A press of any mouse button within kCheckMarkWidth pixels of the
// list's left edge reports the row for its check mark to be toggled; no other
// click or key toggles it.
//
// The column widths are the list's own: the view takes them from the list
// when columns change and writes back what the user drags them to, so that a
// saved project keeps them.
#pragma once

#include <QTableView>
#include <cstddef>
#include <optional>

namespace mv {
class RecipientList;
}

namespace mv::ui {

class RecipientModel;

class RecipientListView final : public QTableView {
    Q_OBJECT
  public:
    // The width of the check-mark image at the left edge of a row.
    static constexpr int kCheckMarkWidth = 16;

    explicit RecipientListView(RecipientModel& model, QWidget* parent = nullptr);

    // The selected row, if any.
    std::optional<size_t> SelectedRow() const;
    // Selects `row` (or nothing) and makes it the current one.
    void SelectRow(std::optional<size_t> row);
    // Scrolls so that `row` is at least partly visible, while the list
    // follows the run: from FollowRun until the user scrolls it, and again
    // once the user scrolls to its last row.
    void RevealRow(size_t row);
    void FollowRun() { following_ = true; }

  signals:
    // A press near the left edge of `row`: its check mark is to be toggled.
    void CheckMarkPressed(size_t row);
    // The list was clicked (any button), on a row or not.
    void Clicked();
    // The selected row changed (or the selection went).
    void SelectionChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void PressAt(const QPoint& position);
    void ApplyColumnWidths();
    void StoreColumnWidth(int column, int width);

    RecipientModel& model_;
    bool applyingWidths_ = false;
    bool insideDoubleClick_ = false;
    bool following_ = true;
};

}  // namespace mv::ui

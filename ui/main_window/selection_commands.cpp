// The commands that follow the list's selection, and the press on a row's
// check mark.
#include <QAction>

#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"

namespace mv::ui {

void TMainForm::WireSelectionCommands() {
    connect(ListView1, &RecipientListView::SelectionChanged, this,
            [this] { RunCommand([this] { ListView1SelectItem(); }); });
    connect(ListView1, &RecipientListView::Clicked, this,
            [this] { RunCommand([this] { UpdateViewLogCommand(); }); });
    connect(ListView1, &RecipientListView::CheckMarkPressed, this,
            [this](size_t row) { RunCommand([this, row] { ListView1CheckMarkPressed(row); }); });
}

void TMainForm::ListView1SelectItem() {
    UpdateSelectionCommands();
}

void TMainForm::UpdateSelectionCommands() {
    const bool selected = ListView1->SelectedRow().has_value();
    // During a run, editing and deleting stay off whatever is selected: the
    // run finds its rows by their positions, which these commands change.
    if (!Running()) {
        acRecipientEdit->setEnabled(selected);
        acRecipientDelete->setEnabled(selected);
    }
    acCheck->setEnabled(selected);
    acFind->setEnabled(selected);
    acFindNext->setEnabled(selected);
    UpdateViewLogCommand();
}

void TMainForm::UpdateViewLogCommand() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    bool hasLog = false;
    if (row && *row < list_.RowCount()) {
        const int32_t icon = list_.ImageIndex(*row);
        hasLog = icon == kIconValid || icon == kIconFailed;
    }
    acViewLog->setEnabled(hasLog);
}

void TMainForm::ListView1CheckMarkPressed(size_t row) {
    // Also during a run: the run reads the marks only when it starts.
    if (row >= list_.RowCount()) return;
    list_.SetStateIndex(row, list_.StateIndex(row) == kMarkChecked ? kMarkUnchecked : kMarkChecked);
    modified_ = true;
}

}  // namespace mv::ui

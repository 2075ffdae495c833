// Adding, editing, deleting and marking recipients. Adding and editing go
// through the properties dialog; the commands on every row change the list
// in one pass with one notice, so a million rows take a blink and the view
// repaints once.
#include <QAction>
#include <QGuiApplication>

#include "common/confirm.h"
#include "common/wait_cursor.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "properties/form_properties.h"
#include "properties/property_rows.h"

namespace mv::ui {

void TMainForm::WireRecipientCommands() {
    Connect(acRecipientAdd, &TMainForm::acRecipientAddExecute);
    Connect(acRecipientEdit, &TMainForm::acRecipientEditExecute);
    Connect(acRecipientDelete, &TMainForm::acRecipientDeleteExecute);
    Connect(acRecipientDeleteSelected, &TMainForm::acRecipientDeleteSelectedExecute);
    Connect(acCheckAll, &TMainForm::acCheckAllExecute);
    Connect(acUnCheckAll, &TMainForm::acUnCheckAllExecute);
    Connect(acInvertSelection, &TMainForm::acInvertSelectionExecute);
    Connect(acCheck, &TMainForm::acCheckExecute);
    connect(ListView1, &QAbstractItemView::doubleClicked, this,
            [this] { RunCommand([this] { ListView1DblClick(); }); });
}

void TMainForm::acRecipientAddExecute() {
    TFormProperties dialog(QStringLiteral("New Recipient"), this);
    BuildPropertyRows(dialog, list_);
    const bool ok = dialog.exec() == QDialog::Accepted;
    modified_ = true;  // whether the dialog closed with OK or not
    if (!ok) return;
    // A new row stands just before the selected one, or last.
    const size_t row = ListView1->SelectedRow().value_or(list_.RowCount());
    RecipientRow value;  // marked, never checked, an empty log
    value.subItems.resize(list_.ColumnCount() > 0 ? list_.ColumnCount() - 1 : 0);
    list_.InsertRow(row, value);
    StorePropertyRows(dialog, list_, row);
    ListView1->SelectRow(row);
    ListView1->RevealRow(row);
}

void TMainForm::acRecipientEditExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row) return;
    TFormProperties dialog(QStringLiteral("Properties"), this);
    BuildPropertyRows(dialog, list_);
    LoadPropertyRows(dialog, list_, *row);
    const bool ok = dialog.exec() == QDialog::Accepted;
    modified_ = true;  // whether the dialog closed with OK or not
    if (ok && *row < list_.RowCount()) StorePropertyRows(dialog, list_, *row);
}

void TMainForm::acRecipientDeleteExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row) return;
    if (ConfirmYesNo(this, QStringLiteral("Would you like to delete this recipient?")) !=
        Answer::kYes)
        return;
    list_.RemoveRow(*row);
    modified_ = true;
    ListView1->SelectRow(std::nullopt);
    UpdateSelectionCommands();
}

void TMainForm::acRecipientDeleteSelectedExecute() {
    if (ConfirmYesNo(this, QStringLiteral("Would you like to delete all checked recipients?")) !=
        Answer::kYes)
        return;
    {
        WaitCursor wait;
        list_.BeginUpdate();
        list_.RemoveRowsIf(
            [](const RecipientList& l, size_t row) { return l.StateIndex(row) == kMarkChecked; });
        list_.EndUpdate();
    }
    modified_ = true;  // even when no row was checked
    UpdateSelectionCommands();
}

void TMainForm::acCheckAllExecute() {
    const WaitCursor wait;
    list_.SetAllStateIndexes(kMarkChecked);
    modified_ = true;
}

void TMainForm::acUnCheckAllExecute() {
    const WaitCursor wait;
    list_.SetAllStateIndexes(kMarkUnchecked);
    modified_ = true;
}

void TMainForm::acInvertSelectionExecute() {
    const WaitCursor wait;
    list_.InvertStateIndexes();
    modified_ = true;
}

void TMainForm::acCheckExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row) return;
    list_.SetStateIndex(*row,
                        list_.StateIndex(*row) == kMarkChecked ? kMarkUnchecked : kMarkChecked);
    modified_ = true;
}

void TMainForm::ListView1DblClick() {
    if (acRecipientEdit->isEnabled()) acRecipientEdit->trigger();
}

}  // namespace mv::ui

// Adding, editing, deleting and marking recipients. Adding and editing go
// through the properties dialog; the commands on every row change the list
// in one pass with one notice, so a million rows take a blink and the view
// repaints once. "&Check All", "&Uncheck All" and "&Invert Selection" act on
// the rows the list shows (all of them unless "S&how" says otherwise).
#include <QAction>
#include <QGuiApplication>
#include <vector>

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
    RecipientList& list = project_.List();
    TFormProperties dialog(QStringLiteral("New Recipient"), this);
    BuildPropertyRows(dialog, list);
    const bool ok = dialog.exec() == QDialog::Accepted;
    project_.SetModified(true);  // whether the dialog closed with OK or not
    if (!ok) return;
    // A new row stands just before the selected one, or last.
    const size_t row = ListView1->SelectedRow().value_or(list.RowCount());
    RecipientRow value;  // marked, never checked, an empty log
    value.subItems.resize(list.ColumnCount() > 0 ? list.ColumnCount() - 1 : 0);
    list.InsertRow(row, value);
    StorePropertyRows(dialog, list, row);
    ListView1->SelectRow(row);
    ListView1->RevealRow(row);
}

void TMainForm::acRecipientEditExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row) return;
    RecipientList& list = project_.List();
    TFormProperties dialog(QStringLiteral("Properties"), this);
    BuildPropertyRows(dialog, list);
    LoadPropertyRows(dialog, list, *row);
    const bool ok = dialog.exec() == QDialog::Accepted;
    project_.SetModified(true);  // whether the dialog closed with OK or not
    if (ok && *row < list.RowCount()) StorePropertyRows(dialog, list, *row);
}

void TMainForm::acRecipientDeleteExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row) return;
    if (ConfirmYesNo(this, QStringLiteral("Would you like to delete this recipient?")) !=
        Answer::kYes)
        return;
    project_.List().RemoveRow(*row);
    project_.SetModified(true);
    ListView1->SelectRow(std::nullopt);
    UpdateCommandStates();
}

void TMainForm::acRecipientDeleteSelectedExecute() {
    if (ConfirmYesNo(this, QStringLiteral("Would you like to delete all checked recipients?")) !=
        Answer::kYes)
        return;
    {
        WaitCursor wait;
        RecipientList& list = project_.List();
        list.BeginUpdate();
        list.RemoveRowsIf(
            [](const RecipientList& l, size_t row) { return l.StateIndex(row) == kMarkChecked; });
        list.EndUpdate();
    }
    project_.SetModified(true);  // even when no row was checked
    UpdateCommandStates();
}

namespace {

int32_t Checked(int32_t) {
    return kMarkChecked;
}
int32_t Unchecked(int32_t) {
    return kMarkUnchecked;
}
int32_t Inverted(int32_t mark) {
    return mark == kMarkChecked ? kMarkUnchecked : kMarkChecked;
}

}  // namespace

void TMainForm::MarkShownRows(int32_t (*mark)(int32_t current)) {
    const WaitCursor wait;
    RecipientList& list = project_.List();
    if (FilterShowsAll()) {  // the list's own passes: one notice for a million rows
        if (mark == Inverted)
            list.InvertStateIndexes();
        else
            list.SetAllStateIndexes(mark(kMarkUnchecked));
    } else {
        // The rows to mark first: marks do not change what the filter shows,
        // but the shown rows are read before the list changes.
        std::vector<size_t> rows(ListView1->ShownRowCount());
        for (size_t shown = 0; shown < rows.size(); ++shown)
            rows[shown] = ListView1->ListRowAt(shown);
        list.BeginUpdate();
        for (size_t row : rows)
            list.SetStateIndex(row, mark(list.StateIndex(row)));
        list.EndUpdate();
    }
    project_.SetModified(true);
}

void TMainForm::acCheckAllExecute() {
    MarkShownRows(Checked);
}

void TMainForm::acUnCheckAllExecute() {
    MarkShownRows(Unchecked);
}

void TMainForm::acInvertSelectionExecute() {
    MarkShownRows(Inverted);
}

void TMainForm::acCheckExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row) return;
    RecipientList& list = project_.List();
    list.SetStateIndex(*row, Inverted(list.StateIndex(*row)));
    project_.SetModified(true);
}

void TMainForm::ListView1DblClick() {
    if (acRecipientEdit->isEnabled()) acRecipientEdit->trigger();
}

}  // namespace mv::ui

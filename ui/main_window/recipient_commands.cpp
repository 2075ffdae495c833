// Adding, editing, deleting and marking recipients. Not built yet: the
// handlers do nothing so far, except that a double click runs
// "&Properties..." when that command is enabled.
#include <QAction>

#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"

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

void TMainForm::acRecipientAddExecute() {}

void TMainForm::acRecipientEditExecute() {}

void TMainForm::acRecipientDeleteExecute() {}

void TMainForm::acRecipientDeleteSelectedExecute() {}

void TMainForm::acCheckAllExecute() {}

void TMainForm::acUnCheckAllExecute() {}

void TMainForm::acInvertSelectionExecute() {}

void TMainForm::acCheckExecute() {}

void TMainForm::ListView1DblClick() {
    if (acRecipientEdit->isEnabled()) acRecipientEdit->trigger();
}

}  // namespace mv::ui

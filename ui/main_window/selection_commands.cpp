// The list's selection and the press on a row's check mark; and the one
// place that applies the commands' rules (command_states.h) to the window.
#include <QAction>

#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "models/recipient_model.h"

namespace mv::ui {

void TMainForm::WireSelectionCommands() {
    connect(ListView1, &RecipientListView::SelectionChanged, this,
            [this] { RunCommand([this] { ListView1SelectItem(); }); });
    connect(ListView1, &RecipientListView::Clicked, this,
            [this] { RunCommand([this] { UpdateCommandStates(); }); });
    connect(ListView1, &RecipientListView::CheckMarkPressed, this,
            [this](size_t row) { RunCommand([this, row] { ListView1CheckMarkPressed(row); }); });
}

void TMainForm::WireCommandStates() {
    for (const CommandRule& rule : CommandRules())
        if (auto* action = findChild<QAction*>(QString::fromLatin1(rule.action)))
            commandRules_.emplace_back(action, rule);
    // Rows come and go ("&Summary..." needs some), an import a row at a time:
    // only a list that becomes empty, or stops being so, changes a fact.
    const auto rowsChanged = [this] {
        if (factRows_ == project_.List().Empty()) UpdateCommandStates();
    };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model_, signal, this, rowsChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &TMainForm::UpdateCommandStates);
    UpdateCommandStates();
}

CommandFacts TMainForm::Facts() const {
    CommandFacts facts;
    facts.running = project_.Running();
    facts.rows = !project_.List().Empty();
    const std::optional<size_t> row = ListView1->SelectedRow();
    facts.selection = row.has_value();
    if (row && *row < project_.List().RowCount()) {
        const int32_t icon = project_.List().ImageIndex(*row);
        facts.logAvailable = icon == kIconValid || icon == kIconFailed;
    }
    return facts;
}

void TMainForm::UpdateCommandStates() {
    const CommandFacts facts = Facts();
    factRows_ = facts.rows;
    for (const auto& [action, rule] : commandRules_)
        action->setEnabled(rule.enabled(facts));
    setAcceptDrops(!facts.running);  // a dropped project would replace the one being checked
}

void TMainForm::ListView1SelectItem() {
    UpdateCommandStates();
}

void TMainForm::ListView1CheckMarkPressed(size_t row) {
    // Also during a run: the run reads the marks only when it starts.
    RecipientList& list = project_.List();
    if (row >= list.RowCount()) return;
    list.SetStateIndex(row, list.StateIndex(row) == kMarkChecked ? kMarkUnchecked : kMarkChecked);
    project_.SetModified(true);
}

}  // namespace mv::ui

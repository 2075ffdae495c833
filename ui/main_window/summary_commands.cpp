// "&Summary..." in the "&Tools" menu: the list's results counted and shown in
// the summary window, created for one modal showing and freed at once. It can
// be opened during a run too (it shows the counts of that moment); with no
// row there is nothing to count, so the command is disabled.
#include <QAction>

#include "common/wait_cursor.h"
#include "main_window/main_form.h"
#include "models/recipient_model.h"
#include "project/summary/list_summary.h"
#include "summary/summary_window.h"

namespace mv::ui {

void TMainForm::WireSummaryCommands() {
    Connect(acSummary, &TMainForm::acSummaryExecute);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model_, signal, this, &TMainForm::UpdateSummaryCommand);
    connect(model_, &QAbstractItemModel::modelReset, this, &TMainForm::UpdateSummaryCommand);
    UpdateSummaryCommand();
}

void TMainForm::UpdateSummaryCommand() {
    acSummary->setEnabled(!list_.Empty());
}

void TMainForm::acSummaryExecute() {
    ListSummary summary;
    {
        WaitCursor wait;  // a list of a million rows takes a moment
        summary = SummarizeList(list_);
    }
    TSummaryWindow window(std::move(summary), this);
    window.exec();
}

}  // namespace mv::ui

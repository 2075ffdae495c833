// "&Summary..." in the "&Tools" menu: the list's results counted and shown in
// the summary window, created for one modal showing and freed at once. It can
// be opened during a run too (it shows the counts of that moment); with no
// row there is nothing to count, so the command is disabled (its rule in
// command_states.cpp).
#include <QAction>

#include "common/wait_cursor.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "project/summary/list_summary.h"
#include "summary/summary_window.h"

namespace mv::ui {

void TMainForm::WireSummaryCommands() {
    Connect(acSummary, &TMainForm::acSummaryExecute);
}

void TMainForm::acSummaryExecute() {
    ListSummary summary;
    {
        WaitCursor wait;  // a list of a million rows takes a moment
        summary = SummarizeList(project_.List());
    }
    TSummaryWindow window(std::move(summary), fileDialog_, this);
    // The window counted once and holds its own numbers: it may stay open
    // through a run without holding up what the run frees.
    OutsideCore([&] { window.exec(); });
}

}  // namespace mv::ui

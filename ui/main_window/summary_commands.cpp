// "&Summary..." in the "&Tools" menu: the list's results counted and shown in
// the summary window, created for one modal showing and freed at once. It can
// be opened during a run too (it shows the counts of that moment); with no
// row there is nothing to count, so the command is disabled (its rule in
// command_states.cpp). It reads the address lists for the flags and
// providers, if no run or tool tip has read them yet.
#include <QAction>

#include "address/address_knowledge.h"
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
        const AddressKnowledge* lists = nullptr;
        try {
            lists = &AddressKnowledge::Installed();
        } catch (const Exception&) {
            // Without the lists the summary leaves out what addresses tell;
            // a run that starts tells the user.
        }
        summary = SummarizeList(project_.List(), lists);
    }
    TSummaryWindow window(std::move(summary), fileDialog_, this);
    // The window counted once and holds its own numbers: it may stay open
    // through a run without holding up what the run frees.
    OutsideCore([&] { window.exec(); });
}

}  // namespace mv::ui

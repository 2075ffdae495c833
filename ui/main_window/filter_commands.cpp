// "S&how" in the "&Search" menu: which rows the list shows (all, those of one
// verdict, or those not checked yet). The filter decides what the list
// shows, what Find searches, and the rows "&Check All", "&Uncheck All" and
// "&Invert Selection" act on; every other command acts on all rows, and the
// counters count all rows. While not all rows are shown, the status bar says
// how many are ("Showing N of M"). The entries stay enabled during a run.
#include <QAction>
#include <QActionGroup>

#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "main_window/status_panels.h"
#include "models/row_filter_model.h"

namespace mv::ui {

void TMainForm::WireFilterCommands() {
    connect(acShow, &QActionGroup::triggered, this, [this](QAction* entry) {
        RunCommand([this, entry] { ShowRows(static_cast<RowFilter>(entry->data().toInt())); });
    });
    // During a run the rows come and go with their results: each frame of the
    // run counts them once (ShowRunFrame).
    const auto count = [this] {
        if (!project_.Running()) UpdateShowingPanel();
    };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(shown_, signal, this, count);
    connect(shown_, &QAbstractItemModel::modelReset, this, count);
    connect(shown_, &QAbstractItemModel::layoutChanged, this, count);
}

void TMainForm::ShowRows(RowFilter filter) {
    ListView1->ShowRows(filter);
    UpdateShowingPanel();
    UpdateCommandStates();  // the selected row may have gone
}

bool TMainForm::FilterShowsAll() const {
    return shown_->Filter() == RowFilter::kAll;
}

void TMainForm::UpdateShowingPanel() {
    // Only a filter is asked for its rows: asked while All, it would map them.
    const bool filtered = !FilterShowsAll();
    StatusBar1->ShowShowing(filtered, filtered ? ListView1->ShownRowCount() : 0,
                            project_.List().RowCount());
}

}  // namespace mv::ui

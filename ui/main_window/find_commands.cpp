// "&Find..." and "Find &Next": the search in the list. The find dialog is
// modeless and lives as long as the window, so it keeps its text and options
// between searches.
#include <QAction>

#include "common/error_display.h"
#include "find/find_dialog.h"
#include "find/find_matcher.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"

namespace mv::ui {

namespace {

// The first matching row after `selected` going down, or before it going up
// (from the first or the last row when none is selected). No wrap-around.
std::optional<size_t> FindRow(const FindMatcher& matcher, const RecipientList& list,
                              std::optional<size_t> selected, bool down) {
    const size_t count = list.RowCount();
    if (down) {
        for (size_t row = selected ? *selected + 1 : 0; row < count; ++row)
            if (matcher.Matches(list, row)) return row;
    } else {
        for (size_t row = std::min(selected.value_or(count), count); row > 0; --row)
            if (matcher.Matches(list, row - 1)) return row - 1;
    }
    return std::nullopt;
}

}  // namespace

void TMainForm::WireFindCommands() {
    FindDialog = new TFindDialog(this);
    Connect(acFind, &TMainForm::acFindExecute);
    Connect(acFindNext, &TMainForm::acFindNextExecute);
    connect(FindDialog, &TFindDialog::Find, this,
            [this] { RunCommand([this] { FindDialogFind(); }); });
}

void TMainForm::acFindExecute() {
    FindDialog->Execute();
}

void TMainForm::FindDialogFind() {
    // The dialog stays open when the selection goes; its button then
    // searches from the first row (down) or the last (up).
    acFindNextExecute();
}

void TMainForm::acFindNextExecute() {
    const QString text = FindDialog->FindText();
    if (text.isEmpty()) {
        acFindExecute();
        return;
    }
    const FindMatcher matcher(text, FindDialog->MatchCase());
    const std::optional<size_t> found =
        FindRow(matcher, list_, ListView1->SelectedRow(), FindDialog->Down());
    if (!found) throw Exception("Not found '" + text.toStdString() + "'");
    ListView1->SelectRow(*found);
    ListView1->RevealRow(*found);
}

bool TMainForm::MatchesFind(const QString& text, size_t row) const {
    return FindMatcher(text, FindDialog->MatchCase()).Matches(list_, row);
}

}  // namespace mv::ui

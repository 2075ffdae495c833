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

// The first matching row the list shows after `selected` going down, or
// before it going up (from the first or the last shown row when none is
// selected). No wrap-around. Rows are counted as shown.
std::optional<size_t> FindRow(const FindMatcher& matcher, const RecipientList& list,
                              const RecipientListView& view, bool down) {
    const size_t count = view.ShownRowCount();
    const std::optional<size_t> selected = view.SelectedShownRow();
    if (down) {
        for (size_t shown = selected ? *selected + 1 : 0; shown < count; ++shown)
            if (matcher.Matches(list, view.ListRowAt(shown))) return view.ListRowAt(shown);
    } else {
        for (size_t shown = std::min(selected.value_or(count), count); shown > 0; --shown)
            if (matcher.Matches(list, view.ListRowAt(shown - 1))) return view.ListRowAt(shown - 1);
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
        FindRow(matcher, project_.List(), *ListView1, FindDialog->Down());
    if (!found) throw Exception("Not found '" + text.toStdString() + "'");
    ListView1->SelectRow(*found);
    ListView1->RevealRow(*found);
}

bool TMainForm::MatchesFind(const QString& text, size_t row) const {
    return FindMatcher(text, FindDialog->MatchCase()).Matches(project_.List(), row);
}

}  // namespace mv::ui

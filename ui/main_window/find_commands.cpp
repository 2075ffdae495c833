// "&Find..." and "Find &Next": the search in the list. Not built yet: the
// handlers do nothing so far.
#include <QAction>

#include "main_window/main_form.h"

namespace mv::ui {

void TMainForm::WireFindCommands() {
    Connect(acFind, &TMainForm::acFindExecute);
    Connect(acFindNext, &TMainForm::acFindNextExecute);
}

void TMainForm::acFindExecute() {}

void TMainForm::acFindNextExecute() {}

}  // namespace mv::ui

// "&View Log...": the transcript of the selected recipient's last check. Not
// built yet: the handler does nothing so far. When the command is enabled is
// decided by UpdateViewLogCommand (selection_commands.cpp).
#include <QAction>

#include "main_window/main_form.h"

namespace mv::ui {

void TMainForm::WireLogCommands() {
    Connect(acViewLog, &TMainForm::acViewLogExecute);
}

void TMainForm::acViewLogExecute() {}

}  // namespace mv::ui

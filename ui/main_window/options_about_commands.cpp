// "&Options..." and "&About Mailvetter....": the options dialog and the About
// box, each created for one modal showing with the main window as owner.
// Not built yet: the handlers do nothing so far.
#include <QAction>

#include "main_window/main_form.h"

namespace mv::ui {

void TMainForm::WireOptionsAboutCommands() {
    Connect(acOptions, &TMainForm::acOptionsExecute);
    Connect(acAbout, &TMainForm::acAboutExecute);
}

void TMainForm::acOptionsExecute() {}

void TMainForm::acAboutExecute() {}

}  // namespace mv::ui

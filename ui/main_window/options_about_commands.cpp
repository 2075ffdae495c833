// "&Options..." and "&About Mailvetter....": the options dialog and the About
// box, each created for one modal showing with the main window as owner and
// freed at once. The modal results are not needed: OK has saved already.
#include <QAction>

#include "about/about_box.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "options/options_form.h"

namespace mv::ui {

void TMainForm::WireOptionsAboutCommands() {
    Connect(acOptions, &TMainForm::acOptionsExecute);
    Connect(acAbout, &TMainForm::acAboutExecute);
}

void TMainForm::acOptionsExecute() {
    TFormOptions dialog(ini_, this);
    dialog.exec();
    UpdateClusterCommand();  // the cluster's address may have been set or cleared
}

void TMainForm::acAboutExecute() {
    TAboutBox box(SystemAboutSources(), this);
    OutsideCore([&] { box.exec(); });  // it may stay open through a run
}

}  // namespace mv::ui

// "&Import Recipient List..." and "&Export Recipient List...". Not built yet:
// the handlers do nothing so far.
#include <QAction>

#include "main_window/main_form.h"

namespace mv::ui {

void TMainForm::WireImportExportCommands() {
    Connect(acImportRecipient, &TMainForm::acImportRecipientExecute);
    Connect(acExportRecipient, &TMainForm::acExportRecipientExecute);
}

void TMainForm::acImportRecipientExecute() {}

void TMainForm::acExportRecipientExecute() {}

}  // namespace mv::ui

// "&View Log...": the transcript of the selected recipient's last check in
// its own window. When the command is enabled is decided by
// UpdateViewLogCommand (selection_commands.cpp).
#include <QAction>

#include "log/form_log.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"

namespace mv::ui {

void TMainForm::WireLogCommands() {
    Connect(acViewLog, &TMainForm::acViewLogExecute);
}

void TMainForm::acViewLogExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    if (!row || *row >= list_.RowCount()) return;
    const std::string_view address = list_.Caption(*row);
    TFormLog log(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())),
                 list_.TranscriptOf(*row), this);
    log.exec();
}

}  // namespace mv::ui

// "&View Log...": the transcript of the selected recipient's last check in
// its own window. When the command is enabled is decided by its rule
// (command_states.cpp).
#include <QAction>

#include "log/form_log.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"

namespace mv::ui {

void TMainForm::WireLogCommands() {
    Connect(acViewLog, &TMainForm::acViewLogExecute);
}

void TMainForm::acViewLogExecute() {
    const std::optional<size_t> row = ListView1->SelectedRow();
    const RecipientList& list = project_.List();
    if (!row || *row >= list.RowCount()) return;
    const std::string_view address = list.Caption(*row);
    TFormLog log(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())),
                 list.TranscriptOf(*row), this);
    // The window has its own copy of the transcript: it may stay open
    // through a run without holding up what the run frees.
    OutsideCore([&] { log.exec(); });
}

}  // namespace mv::ui

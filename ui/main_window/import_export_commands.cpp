// "&Import Recipient List..." and "&Export Recipient List...": the file
// dialogs, then the import dialog (ui/import) or the export dialog
// (ui/export) over the core's import and export.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include "address/address_knowledge.h"
#include "common/app_info.h"
#include "common/error_display.h"
#include "common/wait_cursor.h"
#include "export/export_dialog.h"
#include "export/export_file_dialog.h"
#include "import/import_dialog.h"
#include "import/import_file_dialog.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "project/import_export/export_leave_out.h"
#include "project/import_export/export_settings.h"
#include "project/import_export/recipient_export.h"
#include "project/list/storable_caption.h"

namespace mv::ui {

void TMainForm::WireImportExportCommands() {
    Connect(acImportRecipient, &TMainForm::acImportRecipientExecute);
    Connect(acExportRecipient, &TMainForm::acExportRecipientExecute);
}

void TMainForm::acImportRecipientExecute() {
    const QString fileName = ChooseRecipientListFile(fileDialog_, this);
    if (fileName.isEmpty()) Abort();
    TImportDialog dialog(project_.List(), fileName, this);
    {
        WaitCursor wait;   // the preview reads the whole file
        dialog.Preview();  // a file that cannot be read is reported before any dialog
    }
    dialog.exec();
    if (dialog.ImportStarted()) {
        project_.SetModified(true);
        ListView1->FitColumnsToAddresses();
    }
    UpdateCommandStates();  // Replace may have removed the selected row
    if (dialog.Refused() > 0)
        QMessageBox::information(
            this, QString::fromUtf8(kAppTitle),
            QStringLiteral("%1 rows refused: %2")
                .arg(dialog.Refused())
                .arg(QString::fromUtf8(kUnstorableLocalPart.data(),
                                       static_cast<qsizetype>(kUnstorableLocalPart.size()))));
    dialog.RethrowFailure();  // the rows read before the error stay
}

void TMainForm::acExportRecipientExecute() {
    const QString fileName = ChooseExportFile(fileDialog_, this);
    if (fileName.isEmpty()) Abort();
    TExportDialog dialog(ReadExportTolerance(ini_), ReadExportVerdicts(ini_),
                         ReadExportLeaveOut(ini_), this);
    if (dialog.exec() != QDialog::Accepted) Abort();
    const ExportTolerance tolerance = dialog.Tolerance();
    const ExportVerdictChoice verdicts = dialog.Verdicts();
    const AddressFlags leaveOut = dialog.LeaveOut();
    WriteExportTolerance(ini_, tolerance);
    WriteExportVerdicts(ini_, verdicts);
    WriteExportLeaveOut(ini_, leaveOut);
    const std::filesystem::path target(QFile::encodeName(fileName).toStdString());
    const RecipientList& list = project_.List();
    size_t written = 0;
    {
        WaitCursor wait;
        // The address lists are read only when rows are to be left out.
        const AddressKnowledge* lists = leaveOut.Empty() ? nullptr : &AddressKnowledge::Installed();
        const std::optional<VerdictSet> byVerdict =
            verdicts.byVerdict ? std::optional(verdicts.verdicts) : std::nullopt;
        written = ExportRows(list, target, [&] {
            return ChosenExportRows(list, tolerance, byVerdict, leaveOut, lists);
        });
    }
    QMessageBox::information(this, QString::fromUtf8(kAppTitle),
                             QStringLiteral("Exported %1 of %2 recipients to %3.")
                                 .arg(written)
                                 .arg(list.RowCount())
                                 .arg(QDir::toNativeSeparators(fileName)));
}

}  // namespace mv::ui

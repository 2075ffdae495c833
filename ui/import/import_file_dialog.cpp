#include "import/import_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace mv::ui {

namespace {

// "All files" is "*" here: a name needs no dot to be a file.
const QString kRecipientListFilter = QStringLiteral(
    "Data files (*.txt *.csv *.dbf);;Text files (*.txt);;CSV (*.csv);;dBase (*.dbf);;"
    "All files (*)");

}  // namespace

QString ChooseRecipientListFile(QWidget* parent, QString& folder) {
    QFileDialog dialog(parent, QStringLiteral("Open Recipient List"), folder, kRecipientListFilter);
    dialog.setObjectName(QStringLiteral("ImportRecipientDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString chosen = dialog.selectedFiles().first();
    folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

}  // namespace mv::ui

#include "export/export_file_dialog.h"

#include <QFileDialog>

namespace mv::ui {

namespace {

const QString kDataFiles = QStringLiteral("Data files (*.txt *.csv *.dbf)");
const QString kCsvFiles = QStringLiteral("CSV (*.csv)");
const QString kDbaseFiles = QStringLiteral("dBase (*.dbf)");

QString SuffixOf(const QString& filter) {
    if (filter == kCsvFiles) return QStringLiteral("csv");
    if (filter == kDbaseFiles) return QStringLiteral("dbf");
    return QStringLiteral("txt");
}

}  // namespace

QString ChooseExportFile(QWidget* parent, const QString& lastFileName) {
    QFileDialog dialog(parent, QStringLiteral("Export Recipient List"), QString(),
                       kDataFiles + ";;Text files (*.txt);;" + kCsvFiles + ";;" + kDbaseFiles);
    dialog.setObjectName(QStringLiteral("ExportRecipientDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // asks before replacing a file
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(SuffixOf(filter)); });
    if (!lastFileName.isEmpty()) dialog.selectFile(lastFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace mv::ui

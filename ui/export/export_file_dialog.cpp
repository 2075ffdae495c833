#include "export/export_file_dialog.h"

#include <QFileDialog>

#include "common/file_dialog.h"

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

QString ChooseExportFile(FileDialog& files, QWidget* parent) {
    FileDialogSpec spec;
    spec.purpose = FilePurpose::kExports;
    spec.objectName = "ExportRecipientDialog";
    spec.title = QStringLiteral("Export Recipient List");
    spec.filter = kDataFiles + ";;Text files (*.txt);;" + kCsvFiles + ";;" + kDbaseFiles;
    spec.defaultSuffix = QStringLiteral("txt");
    spec.offerLastName = true;
    spec.setUp = [](QFileDialog& dialog) {
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(SuffixOf(filter)); });
    };
    return files.SaveFile(parent, spec);
}

}  // namespace mv::ui

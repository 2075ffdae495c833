#include "import/import_file_dialog.h"

#include "common/file_dialog.h"

namespace mv::ui {

QString ChooseRecipientListFile(FileDialog& files, QWidget* parent) {
    FileDialogSpec spec;
    spec.purpose = FilePurpose::kImports;
    spec.objectName = "ImportRecipientDialog";
    spec.title = QStringLiteral("Open Recipient List");
    // "All files" is "*" here: a name needs no dot to be a file.
    spec.filter = QStringLiteral(
        "Data files (*.txt *.csv *.dbf);;Text files (*.txt);;CSV (*.csv);;dBase (*.dbf);;"
        "All files (*)");
    spec.defaultSuffix = QStringLiteral("txt");
    return files.OpenFile(parent, spec);
}

}  // namespace mv::ui

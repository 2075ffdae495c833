#include "common/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "settings/tini.h"

namespace mv::ui {

namespace {

size_t Index(FilePurpose purpose) {
    return static_cast<size_t>(purpose);
}

void SetUp(QFileDialog& dialog, const FileDialogSpec& spec) {
    dialog.setObjectName(QString::fromLatin1(spec.objectName));
    if (!spec.title.isEmpty()) dialog.setWindowTitle(spec.title);
    dialog.setNameFilter(spec.filter);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    if (spec.setUp) spec.setUp(dialog);
}

}  // namespace

FileDialog::FileDialog(TINI& ini) : ini_(ini) {}

TINILinha& FileDialog::FolderKey(FilePurpose purpose) const {
    switch (purpose) {
        case FilePurpose::kImports:
            return ini_.ilFolderImports;
        case FilePurpose::kExports:
            return ini_.ilFolderExports;
        case FilePurpose::kSummary:
            return ini_.ilFolderSummary;
        case FilePurpose::kProjects:
            break;
    }
    return ini_.ilFolderProjects;
}

QString FileDialog::OpenFile(QWidget* parent, const FileDialogSpec& spec) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    SetUp(dialog, spec);
    return Run(dialog, spec.purpose, QString());
}

QString FileDialog::SaveFile(QWidget* parent, const FileDialogSpec& spec) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // asks before replacing a file
    SetUp(dialog, spec);
    QString& last = lastSaved_[Index(spec.purpose)];
    QString chosen = Run(dialog, spec.purpose, spec.offerLastName ? last : QString());
    if (!chosen.isEmpty()) last = chosen;
    return chosen;
}

QString FileDialog::Run(QFileDialog& dialog, FilePurpose purpose, const QString& offered) {
    TINILinha& folder = FolderKey(purpose);
    if (!offered.isEmpty())
        dialog.selectFile(offered);  // in its own folder
    else if (!folder.Text().empty())
        dialog.setDirectory(QString::fromStdString(folder.Text()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString chosen = dialog.selectedFiles().first();
    // A folder that cannot be stored costs only the next dialog's start place.
    folder.SetText(QFileInfo(chosen).absolutePath().toStdString());
    return chosen;
}

}  // namespace mv::ui

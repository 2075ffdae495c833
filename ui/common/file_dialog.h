// The window's file dialogs in one place. Each dialog serves a purpose
// (projects, imported lists, exported lists, the summary's files); the
// folder of the file chosen last for a purpose is stored in the settings
// section [Folders], so the next dialog of that purpose starts there, also
// after a restart. A save dialog offers the name chosen last time for its
// purpose in this run of the program when asked to.
#pragma once

#include <QString>
#include <array>
#include <functional>

class QFileDialog;
class QWidget;

namespace mv {
class TINI;
class TINILinha;
}  // namespace mv

namespace mv::ui {

enum class FilePurpose { kProjects, kImports, kExports, kSummary };

struct FileDialogSpec {
    FilePurpose purpose = FilePurpose::kProjects;
    const char* objectName = "";
    QString title;   // empty: the platform's own
    QString filter;  // "Name (*.ext);;Other (*.x *.y)"
    QString defaultSuffix;
    // A save dialog offers the name chosen last time for the purpose.
    bool offerLastName = false;
    // Anything else the dialog needs before it is shown.
    std::function<void(QFileDialog&)> setUp;
};

class FileDialog {
  public:
    explicit FileDialog(TINI& ini);

    // An existing file to read; empty when the user cancelled.
    QString OpenFile(QWidget* parent, const FileDialogSpec& spec);
    // A file to write (an existing one only when the user agrees to replace
    // it); empty when the user cancelled.
    QString SaveFile(QWidget* parent, const FileDialogSpec& spec);

  private:
    // Shows `dialog` offering `offered`, else in the purpose's folder.
    QString Run(QFileDialog& dialog, FilePurpose purpose, const QString& offered);
    TINILinha& FolderKey(FilePurpose purpose) const;

    TINI& ini_;
    std::array<QString, 4> lastSaved_;  // by purpose
};

}  // namespace mv::ui

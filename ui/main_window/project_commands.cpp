// Project commands: New, Open..., Save, Save As..., the modified prompt, and
// reading and writing the project file (through the project, TProject).
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <exception>

#include "common/app_info.h"
#include "common/confirm.h"
#include "common/error_display.h"
#include "common/wait_cursor.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "main_window/status_panels.h"

namespace mv::ui {

namespace {

FileDialogSpec ProjectFileSpec(const char* objectName) {
    FileDialogSpec spec;
    spec.purpose = FilePurpose::kProjects;
    spec.objectName = objectName;
    spec.filter = QStringLiteral("Mailvetter Projects (*.mlt)");
    spec.defaultSuffix = QStringLiteral("mlt");
    spec.offerLastName = true;  // Save As offers the name chosen last time
    return spec;
}

}  // namespace

void TMainForm::WireProjectCommands() {
    Connect(acNew, &TMainForm::acNewExecute);
    Connect(acOpen, &TMainForm::acOpenExecute);
    Connect(acSave, &TMainForm::acSaveExecute);
    Connect(acSaveAs, &TMainForm::acSaveAsExecute);
    connect(&project_, &TProject::FileNameChanged, this, &TMainForm::UpdateCaption);
}

void TMainForm::acNewExecute() {
    AskSaveChanges();
    ClearProject();
}

// The steps of a new project after the prompt.
void TMainForm::ClearProject() {
    project_.Clear();
    UpdateCaption();
    ResetStatusBar();
    UpdateCommandStates();
}

void TMainForm::acOpenExecute() {
    AskSaveChanges();
    const QString fileName = fileDialog_.OpenFile(this, ProjectFileSpec("OpenProjectDlg"));
    if (!fileName.isEmpty()) OpenProject(fileName);
}

void TMainForm::acSaveExecute() {
    if (project_.ProjectFileName().isEmpty()) {
        acSaveAsExecute();
        return;
    }
    SaveProject(project_.ProjectFileName());
    project_.SetModified(false);
}

void TMainForm::acSaveAsExecute() {
    const QString fileName = fileDialog_.SaveFile(this, ProjectFileSpec("SaveProjectDlg"));
    if (fileName.isEmpty()) Abort();
    project_.SetProjectFileName(fileName);
    acSaveExecute();
}

void TMainForm::OpenProject(const QString& fileName) {
    const bool applyJournal = AskAboutJournal(fileName);  // Cancel opens nothing
    std::exception_ptr failure;
    std::string notice;  // about the findings file beside the project
    {
        WaitCursor wait;
        try {
            // The name and the unmodified state, whatever happens.
            notice = project_.Open(fileName);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    UpdateCaption();
    ResetStatusBar();
    if (!notice.empty()) StatusBar1->ShowNote(QString::fromStdString(notice));
    AddRecentFile(fileName);
    UpdateCommandStates();
    if (failure) std::rethrow_exception(failure);
    TakeJournal(applyJournal);
}

ListBounds TMainForm::ListViewBounds() const {
    const QRect area = ListView1->geometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

void TMainForm::SaveProject(const QString& fileName) {
    try {
        project_.Save(fileName, ListViewBounds());  // the project, then its findings
    } catch (const EFCreateError&) {
        throw;  // nothing was created
    } catch (...) {
        AddRecentFile(project_.ProjectFileName());
        throw;
    }
    AddRecentFile(project_.ProjectFileName());
    SettleJournalAfterSave(fileName);
}

void TMainForm::AskSaveChanges() {
    if (!project_.Modified()) return;
    switch (ConfirmYesNoCancel(
        this, QStringLiteral("Project has been modified.  Would you like to save before?"))) {
        case Answer::kYes:
            acSaveExecute();
            break;
        case Answer::kNo:
            project_.DiscardJournal();
            break;
        case Answer::kCancel:
            Abort();
    }
}

void TMainForm::UpdateCaption() {
    const QString& fileName = project_.ProjectFileName();
    const QString name =
        fileName.isEmpty() ? QStringLiteral("New Project") : QFileInfo(fileName).fileName();
    QString caption = QString::fromUtf8(kAppTitle) + " - [" + name + "]  ";
    // Qt reads "[*]" in a caption as the modified mark; a file named "*" keeps its name.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

void TMainForm::ResetColumns() {
    project_.List().ResetColumns();
}

size_t TMainForm::AddColumn(const QString& caption, int width) {
    return project_.List().AddColumn(caption.toStdString(), width);
}

void TMainForm::ResetStatusBar() {
    StatusBar1->Reset();
}

}  // namespace mv::ui

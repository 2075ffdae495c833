// Project commands: New, Open..., Save, Save As..., the modified prompt, and
// reading and writing the project file.
#include <QAction>
#include <QFile>
#include <QFileDialog>
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
#include "project/findings/project_files.h"

namespace mv::ui {

namespace {

const QString kProjectFilter = QStringLiteral("Mailvetter Projects (*.mlt)");

std::filesystem::path ToPath(const QString& fileName) {
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

}  // namespace

void TMainForm::WireProjectCommands() {
    Connect(acNew, &TMainForm::acNewExecute);
    Connect(acOpen, &TMainForm::acOpenExecute);
    Connect(acSave, &TMainForm::acSaveExecute);
    Connect(acSaveAs, &TMainForm::acSaveAsExecute);
}

void TMainForm::acNewExecute() {
    AskSaveChanges();
    ClearProject();
}

// The steps of a new project after the prompt.
void TMainForm::ClearProject() {
    list_.BeginUpdate();
    list_.ResetColumns();
    list_.Clear();
    list_.EndUpdate();
    modified_ = false;
    projectFileName_.clear();
    UpdateCaption();
    ResetStatusBar();
    UpdateSelectionCommands();
}

void TMainForm::acOpenExecute() {
    AskSaveChanges();
    const QString fileName = ChooseProjectToOpen();
    if (!fileName.isEmpty()) OpenProject(fileName);
}

void TMainForm::acSaveExecute() {
    if (projectFileName_.isEmpty()) {
        acSaveAsExecute();
        return;
    }
    SaveProject(projectFileName_);
    modified_ = false;
}

void TMainForm::acSaveAsExecute() {
    const QString fileName = ChooseProjectToSave();
    if (fileName.isEmpty()) Abort();
    projectFileName_ = fileName;
    UpdateCaption();
    acSaveExecute();
}

QString TMainForm::ChooseProjectToOpen() {
    QFileDialog dialog(this, QString(), lastOpenFolder_, kProjectFilter);
    dialog.setObjectName(QStringLiteral("OpenProjectDlg"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("mlt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString chosen = dialog.selectedFiles().first();
    lastOpenFolder_ = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString TMainForm::ChooseProjectToSave() {
    QFileDialog dialog(this, QString(), QString(), kProjectFilter);
    dialog.setObjectName(QStringLiteral("SaveProjectDlg"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("mlt"));
    if (!lastSaveFileName_.isEmpty()) dialog.selectFile(lastSaveFileName_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    lastSaveFileName_ = dialog.selectedFiles().first();
    return lastSaveFileName_;
}

void TMainForm::OpenProject(const QString& fileName) {
    std::exception_ptr failure;
    std::string notice;  // about the findings file beside the project
    {
        WaitCursor wait;
        try {
            notice = mv::OpenProject(list_, ToPath(fileName));  // brackets its changes itself
        } catch (...) {
            failure = std::current_exception();
        }
    }
    // Whatever happened, the project now carries this file's name.
    projectFileName_ = fileName;
    UpdateCaption();
    modified_ = false;
    ResetStatusBar();
    if (!notice.empty()) StatusBar1->showMessage(QString::fromStdString(notice));
    AddRecentFile(fileName);
    UpdateSelectionCommands();
    if (failure) std::rethrow_exception(failure);
}

void TMainForm::SaveProject(const QString& fileName) {
    const QRect area = ListView1->geometry();
    const ListBounds bounds{area.x(), area.y(), area.width(), area.height()};
    try {
        mv::SaveProject(list_, ToPath(fileName), bounds);  // the project, then its findings
    } catch (const EFCreateError&) {
        throw;  // nothing was created
    } catch (...) {
        AddRecentFile(projectFileName_);
        throw;
    }
    AddRecentFile(projectFileName_);
}

void TMainForm::AskSaveChanges() {
    if (!modified_) return;
    switch (ConfirmYesNoCancel(
        this, QStringLiteral("Project has been modified.  Would you like to save before?"))) {
        case Answer::kYes:
            acSaveExecute();
            break;
        case Answer::kNo:
            break;
        case Answer::kCancel:
            Abort();
    }
}

void TMainForm::UpdateCaption() {
    const QString name = projectFileName_.isEmpty() ? QStringLiteral("New Project")
                                                    : QFileInfo(projectFileName_).fileName();
    QString caption = QString::fromUtf8(kAppTitle) + " - [" + name + "]  ";
    // Qt reads "[*]" in a caption as the modified mark; a file named "*" keeps its name.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

void TMainForm::ResetColumns() {
    list_.ResetColumns();
}

size_t TMainForm::AddColumn(const QString& caption, int width) {
    return list_.AddColumn(caption.toStdString(), width);
}

void TMainForm::ResetStatusBar() {
    StatusBar1->Reset();
}

}  // namespace mv::ui

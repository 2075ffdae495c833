// The recently used files of the "&File" menu (MostRecentUsedList1): the
// project named by every open and save goes first; picking an entry opens
// that project.
#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "main_window/main_form.h"
#include "main_window/status_panels.h"
#include "platform/error/exception.h"
#include "recent_files/most_recent_used_list.h"
#include "settings/tini.h"

namespace mv::ui {

void TMainForm::WireRecentFiles() {
    MostRecentUsedList1 = std::make_unique<TMostRecentUsedList>(ini_.INIArquivo1.ConfigHome());
    MostRecentUsedList1->setObjectName(QStringLiteral("MostRecentUsedList1"));
    MostRecentUsedList1->SetMenuToAttach(fileMenu_);
    MostRecentUsedList1->SetRegistryKey(TINI::kKeyPath);
    // Just before the separator above "E&xit": position 11 of the menu.
    MostRecentUsedList1->MenuIndex =
        static_cast<int>(fileMenu_->actions().indexOf(recentFilesAnchor_));
    MostRecentUsedList1->OnSelectFilename = [this](const QString& fileName) {
        MostRecentUsedList1SelectFilename(fileName);
    };
    // Losing them costs little, but the user should know once.
    MostRecentUsedList1->OnSaveFailed = [this](const QString& why) {
        StatusBar1->ShowNote(QStringLiteral("The recently used files could not be saved") +
                             (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    };
    MostRecentUsedList1->Loaded();
}

void TMainForm::AddRecentFile(const QString& fileName) {
    if (!fileName.isEmpty()) MostRecentUsedList1->AddFilename(fileName);
}

void TMainForm::MostRecentUsedList1SelectFilename(const QString& fileName) {
    if (Running()) return;
    AskSaveChanges();
    if (!QFileInfo::exists(fileName))
        throw Exception("File " + fileName.toStdString() + " has been deleted");
    OpenProject(fileName);
}

}  // namespace mv::ui

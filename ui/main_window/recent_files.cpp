// The recently used files of the "&File" menu. The list itself is not built
// yet: AddRecentFile is where it learns of every open and save, the entries
// go into the "&File" menu before recentFilesAnchor_, and choosing one calls
// MostRecentUsedList1SelectFilename.
#include <QFileInfo>

#include "common/error_display.h"
#include "main_window/main_form.h"

namespace mv::ui {

void TMainForm::WireRecentFiles() {}

void TMainForm::AddRecentFile(const QString&) {}

void TMainForm::MostRecentUsedList1SelectFilename(const QString& fileName) {
    if (Running()) return;
    RunCommand([&] {
        AskSaveChanges();
        if (!QFileInfo::exists(fileName))
            throw Exception("File " + fileName.toStdString() + " has been deleted");
        OpenProject(fileName);
    });
}

}  // namespace mv::ui

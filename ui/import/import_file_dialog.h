// The file dialog of "&Import Recipient List...": an existing text, CSV or
// dBase file to import.
#pragma once

#include <QString>

class QWidget;

namespace mv::ui {

class FileDialog;

// Shows "Open Recipient List" (the file name field empty) where the last
// import was chosen, and returns the chosen file, or an empty text when the
// user cancelled.
QString ChooseRecipientListFile(FileDialog& files, QWidget* parent);

}  // namespace mv::ui

// The file dialog of "&Import Recipient List...": an existing text, CSV or
// dBase file to import.
#pragma once

#include <QString>

class QWidget;

namespace mv::ui {

// Shows "Open Recipient List" in `folder` (the file name field empty) and
// returns the chosen file, or an empty text when the user cancelled. The
// chosen file's folder becomes `folder`, where the next import starts.
QString ChooseRecipientListFile(QWidget* parent, QString& folder);

}  // namespace mv::ui

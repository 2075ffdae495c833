// The save dialog of "&Export Recipient List...": the file to write, whose
// extension (.txt, .csv or .dbf) decides the format.
#pragma once

#include <QString>

class QWidget;

namespace mv::ui {

class FileDialog;

// Shows "Export Recipient List", offering the name chosen last time, and
// returns the chosen file, or an empty text when the user cancelled. A name
// typed without an extension gets that of the chosen filter ("txt" for "Data
// files"); an existing file is replaced only when the user agrees.
QString ChooseExportFile(FileDialog& files, QWidget* parent);

}  // namespace mv::ui

// The export dialog ("Export Recipient List"): which rows an export takes.
// "Tolerance &Zero (only addresses valid)" takes the valid addresses only;
// "&Tolerance:" takes them and the rows whose result is one of the checked
// failures, which may pass on another day. The check boxes can be changed
// only with "&Tolerance:" chosen.
#pragma once

#include <QDialog>

#include "project/import_export/recipient_export.h"

class QCheckBox;
class QRadioButton;

namespace mv::ui {

class TExportDialog final : public QDialog {
    Q_OBJECT
  public:
    // Shows `tolerance` as the choices.
    TExportDialog(const ExportTolerance& tolerance, QWidget* parent);

    // The choices as they stand.
    ExportTolerance Tolerance() const;

  private:
    void CreateControls();
    void UpdateCheckBoxes();

    QRadioButton* rbToleranceZero = nullptr;
    QRadioButton* rbTolerance = nullptr;
    QCheckBox* cbMailboxUnavailable = nullptr;
    QCheckBox* cbExceededStorage = nullptr;
    QCheckBox* cbTimeOut = nullptr;
};

}  // namespace mv::ui

// The export dialog ("Export Recipient List"): which rows an export takes.
// "Tolerance &Zero (only addresses valid)" takes the valid addresses only;
// "&Tolerance:" takes them and the rows whose result is one of the checked
// failures, which may pass on another day. Beside them, "By &verdict:" takes
// the rows whose verdict is one of the checked verdicts. The check boxes
// under a choice can be changed only with that choice made, and OK needs at
// least one verdict when choosing by verdict. Below both, "Leave out:" drops
// the rows whose address is flagged (role addresses, disposable, free mail)
// from what either choice takes.
#pragma once

#include <QDialog>
#include <array>

#include "project/import_export/export_settings.h"
#include "project/import_export/recipient_export.h"

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace mv::ui {

class TExportDialog final : public QDialog {
    Q_OBJECT
  public:
    // Shows `tolerance`, `verdicts` and `leaveOut` as the choices.
    TExportDialog(const ExportTolerance& tolerance, const ExportVerdictChoice& verdicts,
                  AddressFlags leaveOut, QWidget* parent);

    // The choices as they stand.
    ExportTolerance Tolerance() const;
    ExportVerdictChoice Verdicts() const;
    AddressFlags LeaveOut() const;

  private:
    void CreateControls();
    QLayout* CreateVerdictControls();
    QLayout* CreateLeaveOutControls();
    void UpdateCheckBoxes();

    QRadioButton* rbToleranceZero = nullptr;
    QRadioButton* rbTolerance = nullptr;
    QCheckBox* cbMailboxUnavailable = nullptr;
    QCheckBox* cbExceededStorage = nullptr;
    QCheckBox* cbTimeOut = nullptr;
    QRadioButton* rbByVerdict = nullptr;
    std::array<QCheckBox*, 4> cbVerdicts{};  // in the order of kVerdictsShown
    std::array<QCheckBox*, 3> cbLeaveOut{};  // in the order of kAddressFlags
    QPushButton* okButton_ = nullptr;
    bool zeroChosen_ = true;  // the tolerance radio button chosen last
};

}  // namespace mv::ui

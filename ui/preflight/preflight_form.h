// The pre-flight check's dialog (TFormPreflight, "Check This &Computer..."):
// one row per check with its result (OK, warning, failed, skipped) and its
// line of advice, filled in as the checks end. The check runs on the
// program's message loop, so the window stays responsive; "Check &Again"
// runs it again, with the public address typed above the list when the
// computer sits behind a router. Created for one modal showing.
#pragma once

#include <QDialog>
#include <memory>

#include "project/preflight/preflight_run.h"
#include "project/preflight/preflight_settings.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace mv {
class MessageLoop;
}

namespace mv::ui {

class TFormPreflight : public QDialog {
    Q_OBJECT
  public:
    // The check starts when the dialog is shown.
    TFormPreflight(PreflightSettings settings, MessageLoop& loop, QWidget* owner);
    ~TFormPreflight() override;

    // Starts (or starts again) the check.
    void StartCheck();
    bool Checking() const { return run_ && !run_->Finished(); }

    QTableWidget* List() const { return lvChecks; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ShowItems();
    void Finished();

    PreflightSettings settings_;
    MessageLoop& loop_;
    std::unique_ptr<PreflightRun> run_;
    bool started_ = false;

    QLabel* lbIntro = nullptr;
    QLineEdit* edPublicAddress = nullptr;
    QTableWidget* lvChecks = nullptr;
    QLabel* lbStatus = nullptr;
    QPushButton* btAgain = nullptr;
    QPushButton* btClose = nullptr;
};

}  // namespace mv::ui

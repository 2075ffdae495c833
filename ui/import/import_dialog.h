// The import dialog (TImportDialog): shows what the chosen file holds (its
// kind and its columns), lets the user say which column holds the e-mail
// address, whether the first line is data or a header and whether the rows
// are appended to the list or replace it, and then drives the core's import
// (RecipientImport), which owns the rows, the columns and the stop rule.
//
// The program has one thread, so the import runs in slices of kSliceMs
// from a timer of the dialog's own event loop: between slices the window
// paints, the progress bar moves and "Cancel" is answered; the list itself
// is redrawn once, when the import ends. While "Cancel" asks whether to
// stop, the import waits; Yes ends it before the next line or record and
// keeps the rows read so far.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <exception>

#include "project/import_export/recipient_import.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace mv::ui {

class ElidedPathLabel;

class TImportDialog final : public QDialog {
    Q_OBJECT
  public:
    // How long one slice of the preview or of the import runs before the
    // event loop turns.
    static constexpr int kSliceMs = 15;
    // How long the preview may read before the dialog shows: a file read
    // through by then shows its choices at once, a larger one is read on
    // while the dialog shows. (Tests set it to 0.)
    static inline int firstPreviewMs = 30;

    // The rows go into `list`, which outlives the dialog.
    TImportDialog(RecipientList& list, const QString& fileName, QWidget* parent);
    ~TImportDialog() override;  // FormDestroy

    // FormShow's preview: opens the file, shows its kind, fills the e-mail
    // column's choices and the progress bar's maximum. Raises what the file
    // gives at once (EImportError, ETableError); the dialog is then not to
    // be shown. A large text file is read on in slices once the dialog
    // shows, with its choices and "&Import" disabled until the end; an
    // error then closes the dialog (see RethrowFailure).
    void Preview();
    // The preview is complete: the choices can be made.
    bool Ready() const { return import_.IsOpen(); }

    // "&Import" was pressed: the project has changed (rows may have come in,
    // or gone in Replace mode, even when the import failed or was stopped).
    bool ImportStarted() const { return started_; }
    // Rows the import refused: their address's local part holds characters
    // a project file cannot store.
    size_t Refused() const { return refused_; }
    // The error that ended the preview or the import, if any, raised again
    // once the dialog has closed; the rows read before it stay.
    void RethrowFailure() const;
    // The import's own counts, for those who watch it (tests, benchmarks).
    const RecipientImport& Import() const { return import_; }

    // "Cancel", Escape and the close box: closes the dialog while no import
    // runs, and asks whether to stop one that runs.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CreateControls();
    void PreviewSlice();
    void ShowChoices();
    void btImportClick();
    void ImportSlice();
    void ShowProgress();
    void FinishImport();
    void SetBusyCursor(bool busy);

    RecipientList& list_;
    RecipientImport import_;
    QTimer previewSlice_;
    QTimer slice_;
    int64_t progressScale_ = 1;  // the progress bar counts in ints
    bool started_ = false;
    bool asking_ = false;  // the stop question is open: the import waits
    bool busyCursor_ = false;
    std::exception_ptr failure_;
    size_t refused_ = 0;

    ElidedPathLabel* lbFileName = nullptr;
    QLabel* lbFileKind = nullptr;
    QComboBox* cbEmail = nullptr;
    QGroupBox* gbFirstLine = nullptr;
    QRadioButton* rbData = nullptr;
    QRadioButton* rbHeader = nullptr;
    QGroupBox* gbMode = nullptr;
    QRadioButton* rbAppend = nullptr;
    QRadioButton* rbReplace = nullptr;
    QProgressBar* PBar = nullptr;
    QPushButton* btImport = nullptr;
    QPushButton* btCancel = nullptr;
};

}  // namespace mv::ui

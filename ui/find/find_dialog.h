// The find dialog (FindDialog), in the usual shape: "Fi&nd what:", "Match
// &case", the direction "&Up" or "&Down" (down preset), "&Find Next" and
// "Cancel"; there is no whole-word option. It is modeless: it stays open
// while the user works in the main window, and keeps its settings when it
// is closed and shown again.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mv::ui {

class TFindDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString& text);
    bool MatchCase() const;
    void SetMatchCase(bool on);
    bool Down() const;
    void SetDown(bool down);

    // Shows the dialog (or brings it to the front) with the text selected.
    void Execute();

  signals:
    // "&Find Next" was pressed (FindDialogFind).
    void Find();

  private:
    QLineEdit* edFind_ = nullptr;
    QCheckBox* cbMatchCase_ = nullptr;
    QRadioButton* rbUp_ = nullptr;
    QRadioButton* rbDown_ = nullptr;
    QPushButton* btFindNext_ = nullptr;
};

}  // namespace mv::ui

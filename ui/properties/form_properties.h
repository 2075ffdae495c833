// The properties dialog of one recipient (TFormProperties): its address and
// its extra columns as a name/value grid, with "OK" and "Cancel". The caller
// sets the caption ("New Recipient", "Properties") and fills the grid
// (property_rows.h). OK refuses a blank address and keeps the dialog open.
#pragma once

#include <QDialog>

class QPushButton;

namespace mv::ui {

class TVerticalGrid;

class TFormProperties final : public QDialog {
    Q_OBJECT
  public:
    static constexpr QSize kInitialSize{250, 332};
    static constexpr QSize kMinimumSize{170, 190};

    explicit TFormProperties(const QString& caption, QWidget* parent = nullptr);

    TVerticalGrid* VerticalGrid = nullptr;
    QPushButton* Button1 = nullptr;  // "OK"
    QPushButton* Button2 = nullptr;  // "Cancel"

  protected:
    void showEvent(QShowEvent* event) override;  // FormShow

  private:
    void Button1Click();
};

}  // namespace mv::ui

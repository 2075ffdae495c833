// The options dialog (TFormOptions, "&Options..."): a page control with the
// pages "Connection", "DNS", "Proxy" and "Checks" and the buttons OK and Cancel. It is
// created for one modal showing with the main window as owner: creation loads
// the settings, OK saves them (Button1Click), Cancel changes nothing.
#pragma once

#include <QDialog>
#include <vector>

class QPushButton;
class QTabWidget;

namespace mv {
class TINI;
}

namespace mv::ui {

class OptionsPage;

class TFormOptions : public QDialog {
    Q_OBJECT
  public:
    TFormOptions(TINI& ini, QWidget* owner);

  private:
    void FormCreate();
    void Button1Click();
    // False, after telling the user, when a value could not be stored.
    bool Saved();

    TINI& ini_;
    QTabWidget* PageControl1 = nullptr;
    std::vector<OptionsPage*> pages_;
    QPushButton* Button1 = nullptr;  // OK
    QPushButton* Button2 = nullptr;  // Cancel
};

}  // namespace mv::ui

// The bar above the recipient list that tells of a warning during a check
// run (this computer cannot check: port 25 blocked, a block list) while the
// run is held, and asks how to go on: "Stop" or "Go on". Hidden otherwise.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace mv::ui {

class RunWarningBar final : public QFrame {
    Q_OBJECT
  public:
    explicit RunWarningBar(QWidget* parent = nullptr);

    // Shows the bar with "Warning: " and the message.
    void ShowWarning(const QString& message);
    QString Text() const;

  signals:
    void stopClicked();
    void goOnClicked();

  private:
    QLabel* lbRunWarning = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btGoOn = nullptr;
};

}  // namespace mv::ui

// The bar above the recipient list. It tells of a warning during a check run
// (this computer cannot check: port 25 blocked, a block list) while the run
// is held, and asks how to go on: "Stop" or "Go on". It also tells of errors
// of the program's own code while it handled the network (the loop went on
// without that handler): once per distinct message, with how often it came,
// until "Close". Hidden while it has nothing to tell.
#pragma once

#include <QFrame>
#include <QString>
#include <utility>
#include <vector>

class QLabel;
class QPushButton;

namespace mv::ui {

class RunWarningBar final : public QFrame {
    Q_OBJECT
  public:
    explicit RunWarningBar(QWidget* parent = nullptr);

    // Shows "Warning: " and the message with "Stop" and "Go on".
    void ShowWarning(const QString& message);
    void HideWarning();
    QString Text() const;  // the warning shown

    // Counts one more error with this message and shows the errors.
    void AddFailure(const QString& message);
    QString FailureText() const;  // the errors shown

    // Distinct messages shown at most; the others are counted together.
    static constexpr size_t kMaxFailures = 5;

  signals:
    void stopClicked();
    void goOnClicked();

  private:
    QWidget* AddRow(QLabel*& label, const char* name, const std::vector<QPushButton*>& buttons);
    void ShowFailures();
    void Update();

    QLabel* lbRunWarning = nullptr;
    QLabel* lbFailures = nullptr;
    QWidget* warningRow_ = nullptr;
    QWidget* failureRow_ = nullptr;
    std::vector<std::pair<QString, int>> failures_;  // message, times
    int otherFailures_ = 0;
};

}  // namespace mv::ui

// The options page "Connection" (TabSheet1): how many checks run at once, the
// idle time-out in seconds, and the sender address given in MAIL FROM.
#pragma once

#include "options/options_page.h"

class QLineEdit;
class QSpinBox;

namespace mv::ui {

class ConnectionPage : public OptionsPage {
    Q_OBJECT
  public:
    explicit ConnectionPage(QWidget* parent);
    QString Caption() const override { return QStringLiteral("Connection"); }
    void Load(TINI& ini) override;
    void Save(TINI& ini) override;

  private:
    // Each number field carries its own up/down arrows (udConnections,
    // udTimeOut); its value is the arrows' position.
    QSpinBox* edConnections = nullptr;
    QSpinBox* edTimeOut = nullptr;
    QLineEdit* edFrom = nullptr;
};

// A number field with up/down arrows that stop at 1 and 999.
QSpinBox* MakeNumberField(QWidget* parent, const char* name);

}  // namespace mv::ui

// The options page "Checks": what a check run does beyond asking about each
// address: whether it asks each domain about a made-up address to find
// domains that accept every address (Checks/AcceptAllProbe), and after how
// many seconds it checks deferred addresses again (Checks/RecheckDeferred,
// 0 = never). The page is a form, one setting per row, so that further
// settings of the checks are one more row each.
#pragma once

#include "options/options_page.h"

class QCheckBox;
class QFormLayout;
class QSpinBox;

namespace mv::ui {

class ChecksPage : public OptionsPage {
    Q_OBJECT
  public:
    explicit ChecksPage(QWidget* parent);
    QString Caption() const override { return QStringLiteral("Checks"); }
    void Load(TINI& ini) override;
    void Save(TINI& ini) override;

  private:
    QFormLayout* form_ = nullptr;
    QCheckBox* cbAcceptAllProbe = nullptr;
    QSpinBox* edRecheckDeferred = nullptr;
    // What Load found, so that Save writes only what the user changed.
    bool loadedProbe_ = true;
    int loadedRecheck_ = 0;
};

}  // namespace mv::ui
